// Arbitrary blocks into the tavo protocol's decoder, over a device database
// with the demo's classes: nothing may crash, hang or read out of bounds.
// Built as a libFuzzer target (make fuzz) and as a short smoke run in CTest.

#include "tavo_decoder.h"

#include "classes/class_db.h"
#include "devices/device_db.h"
#include "foundation/app_shared.h"

#include <QCoreApplication>
#include <QScriptEngine>

#include <cstddef>
#include <cstdint>

namespace {

struct Kernel
{
    Kernel()
    {
        share::scriptEngine = &engine;
        share::xmlClassesPath = QStringLiteral(TAVO_DEMO_DIR "/xml_classes");
        classDb = new ClassDb(nullptr);
        share::classDb = classDb;
    }

    int argc = 1;
    char name[16] = "fuzz";
    char* argv[2] = {name, nullptr};
    QCoreApplication app {argc, argv};
    QScriptEngine engine;
    ClassDb* classDb = nullptr;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Kernel kernel;
    DeviceDb db(nullptr, nullptr);
    TavoDecoder decoder;
    if (size == 0)
        return 0;
    // The first byte chooses the way the stream is cut and whether each
    // block is a datagram; the rest is the stream.
    const int step = 1 + data[0] % 97;
    const bool datagrams = data[0] & 0x80;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const int total = int(size - 1);
    for (int at = 0; at < total; at += step)
        decoder.feed(&db, bytes + at, qMin(step, total - at), datagrams);
    // Devices removed by the input are deleted later on the event loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
