#pragma once

#include <QByteArray>

class DeviceDb;

/**
 * The receiving half of the "tavo" protocol: cuts the byte stream into
 * lines, whatever its split into blocks, and stores each record's value in
 * the device database. Never reads past a block; a line that does not parse
 * is dropped and counted. Allocates nothing for numeric values.
 */
class TavoDecoder
{
public:
    static constexpr int MaxLine = 4096;
    static constexpr int MaxWords = 10;

    TavoDecoder();

    /// Forgets a half-received line, as after a reconnection.
    void reset();
    /// @p datagram: the block is a whole UDP datagram, whose unfinished last
    /// line is dropped rather than joined with the next one.
    void feed(DeviceDb* db, const char* data, int size, bool datagram);

    int malformedLines() const { return m_malformed; }
    /// ERR records received: parameters the host refused to read or write.
    int refusals() const { return m_refusals; }
    int lines() const { return m_lines; }

private:
    struct Word
    {
        const char* data;
        int size;
    };

    void handleLine(DeviceDb* db, const char* line, int size);
    bool decode(DeviceDb* db, const Word* words, int count);
    void refuse(const char* line, int size);
    /// Counts one more record in @p count; whether it may still be logged.
    /// The first record past the limit logs @p moreFollow instead.
    bool logAllowed(int& count, const char* moreFollow);

    QByteArray m_line;
    bool m_overlong = false;
    int m_malformed = 0;
    int m_refusals = 0;
    int m_lines = 0;
};
