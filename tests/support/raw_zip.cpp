#include "raw_zip.h"

#include <QtGlobal>

namespace {

quint32 crc32(const QByteArray& data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char c : data) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put16(QByteArray& out, quint16 v)
{
    out.append(char(v & 0xFF)).append(char(v >> 8));
}

void put32(QByteArray& out, quint32 v)
{
    put16(out, quint16(v & 0xFFFF));
    put16(out, quint16(v >> 16));
}

// The bare deflate stream of @p data: zlib's wrapper around it stripped.
QByteArray deflated(const QByteArray& data)
{
    const QByteArray wrapped = qCompress(data); // 4 bytes of size, zlib header, ..., adler-32
    return wrapped.mid(6, wrapped.size() - 10);
}

} // namespace

QByteArray rawZip(const QList<RawEntry>& entries)
{
    QByteArray out, central;
    for (const RawEntry& e : entries) {
        const quint32 offset = quint32(out.size());
        const quint32 crc = crc32(e.data);
        const QByteArray payload = e.deflate ? deflated(e.data) : e.data;
        const quint16 method = e.deflate ? 8 : 0;
        const quint32 declared = quint32(e.declaredSize < 0 ? e.data.size() : e.declaredSize);
        put32(out, 0x04034b50u);
        put16(out, 20);
        put16(out, 0);
        put16(out, method);
        put32(out, 0);
        put32(out, crc);
        put32(out, quint32(payload.size()));
        put32(out, declared);
        put16(out, quint16(e.name.size()));
        put16(out, 0);
        out += e.name + payload;

        put32(central, 0x02014b50u);
        put16(central, 0x031E); // made by Unix: external attributes carry the mode
        put16(central, 20);
        put16(central, 0);
        put16(central, method);
        put32(central, 0);
        put32(central, crc);
        put32(central, quint32(payload.size()));
        put32(central, declared);
        put16(central, quint16(e.name.size()));
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put32(central, quint32(e.symlink ? 0120777 : 0100644) << 16);
        put32(central, offset);
        central += e.name;
    }
    const quint32 centralOffset = quint32(out.size());
    out += central;
    put32(out, 0x06054b50u);
    put16(out, 0);
    put16(out, 0);
    put16(out, quint16(entries.size()));
    put16(out, quint16(entries.size()));
    put32(out, quint32(central.size()));
    put32(out, centralOffset);
    put16(out, 0);
    return out;
}
