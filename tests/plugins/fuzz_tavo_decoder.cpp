// Arbitrary blocks into the tavo protocol's decoder, over a device database
// with the demo's classes: nothing may crash, hang or read out of bounds.
// Built as a libFuzzer target (make fuzz) and as a short smoke run in CTest.

#include "tavo_decoder.h"

#include "classes/class_db.h"
#include "devices/device_db.h"
#include "foundation/app_shared.h"

#include <QCoreApplication>
#include <QList>
#include <QScriptEngine>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

struct Kernel
{
    Kernel()
    {
        share::scriptEngine = &engine;
        share::xmlClassesPath = QStringLiteral(TAVO_DEMO_DIR "/xml_classes");
        classDb = std::make_unique<ClassDb>(nullptr);
        share::classDb = classDb.get();
    }

    int argc = 1;
    char name[16] = "fuzz";
    char* argv[2] = {name, nullptr};
    QCoreApplication app {argc, argv};
    QScriptEngine engine;
    std::unique_ptr<ClassDb> classDb;
};

} // namespace

QList<QByteArray> fuzzRecords()
{
    return {"DEV " + QByteArray("tavo:E1+0001,01").toHex() + "\n",
            "DEV " + QByteArray("tavo:PSU+0001,03").toHex() + "\n",
            "DEV " + QByteArray("tavo:E1-0001").toHex() + "\n",
            "PRM 1 los 0\n",
            "PRM 1 label 11\n",
            "PRM 3 temp 2\n",
            "VAL 1 0 1\n",
            "VAL 3 2 4294967295\n",
            "STR 1 11 48656c6c6f\n",
            "STR 1 11 -\n",
            "STAT 1 1 5 10 50 2 1 9\n",
            "NTF 1 - 3\n",
            "NTF 1 0 7\n",
            "ERR 1 2 " + QByteArray("unknown").toHex() + "\n",
            "PONG\n",
            "VAL 99999 1 1\n",
            "PRM 1 " + QByteArray(300, 'x') + " 1\n"};
}

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
