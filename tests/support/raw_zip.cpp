#include "raw_zip.h"

#include <QDataStream>

#include <zlib.h>

QByteArray rawZip(const QList<RawEntry>& entries)
{
    QByteArray out, central;
    QDataStream local(&out, QIODevice::WriteOnly), directory(&central, QIODevice::WriteOnly);
    local.setByteOrder(QDataStream::LittleEndian);
    directory.setByteOrder(QDataStream::LittleEndian);
    for (const RawEntry& e : entries) {
        const quint32 offset = quint32(out.size());
        const quint32 crc = quint32(
            crc32(0, reinterpret_cast<const Bytef*>(e.data.constData()), uInt(e.data.size())));
        // The bare deflate stream: qCompress adds 4 bytes of size and zlib's
        // 2-byte header and 4-byte checksum around it.
        const QByteArray payload = e.deflate ? qCompress(e.data).chopped(4).mid(6) : e.data;
        const quint16 method = e.deflate ? 8 : 0;
        const quint32 declared = quint32(e.declaredSize < 0 ? e.data.size() : e.declaredSize);
        // Signature, version needed, flags, method, time and date, sizes,
        // then the name and extra field lengths.
        local << quint32(0x04034b50) << quint16(20) << quint16(0) << method << quint32(0) << crc
              << quint32(payload.size()) << declared << quint16(e.name.size()) << quint16(0);
        local.writeRawData(e.name.constData(), e.name.size());
        local.writeRawData(payload.constData(), payload.size());

        // Made by Unix, so that the external attributes carry the mode.
        directory << quint32(0x02014b50) << quint16(0x031E) << quint16(20) << quint16(0) << method
                  << quint32(0) << crc << quint32(payload.size()) << declared
                  << quint16(e.name.size()) << quint16(0) << quint16(0) << quint16(0) << quint16(0)
                  << (quint32(e.symlink ? 0120777 : 0100644) << 16) << offset;
        directory.writeRawData(e.name.constData(), e.name.size());
    }
    const quint32 centralOffset = quint32(out.size());
    local.writeRawData(central.constData(), central.size());
    local << quint32(0x06054b50) << quint16(0) << quint16(0) << quint16(entries.size())
          << quint16(entries.size()) << quint32(central.size()) << centralOffset << quint16(0);
    return out;
}
