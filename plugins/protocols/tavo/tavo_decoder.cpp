#include "tavo_decoder.h"

#include "devices/db_entity.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/abstractlog.h"
#include "foundation/app_shared.h"
#include "foundation/safe_text.h"

#include <QCoreApplication>

namespace {

// A host may send any number of bad or refused records; the log shows the
// first ones and then says that more follow.
constexpr int MaxLoggedRecords = 20;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool equals(const char* data, int size, const char* word)
{
    int i = 0;
    for (; i < size; ++i) {
        if (word[i] == '\0' || word[i] != data[i])
            return false;
    }
    return word[i] == '\0';
}

/// Strict decimal, no sign, within @p limit.
bool toNumber(const char* data, int size, quint64 limit, quint64& value)
{
    if (size <= 0 || size > 20)
        return false;
    quint64 result = 0;
    for (int i = 0; i < size; ++i) {
        if (data[i] < '0' || data[i] > '9')
            return false;
        result = result * 10 + quint64(data[i] - '0');
        if (result > limit)
            return false;
    }
    value = result;
    return true;
}

bool isHex(const char* data, int size)
{
    if (size % 2 != 0)
        return false;
    for (int i = 0; i < size; ++i) {
        const char c = data[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

} // namespace

TavoDecoder::TavoDecoder()
{
    m_line.reserve(MaxLine);
}

void TavoDecoder::reset()
{
    m_line.clear();
    m_overlong = false;
}

void TavoDecoder::feed(DeviceDb* db, const char* data, int size, bool datagram)
{
    for (int i = 0; i < size; ++i) {
        const char c = data[i];
        if (c != '\n') {
            if (m_line.size() < MaxLine)
                m_line.append(c);
            else
                m_overlong = true;
            continue;
        }
        if (m_overlong)
            refuse(m_line.constData(), m_line.size());
        else
            handleLine(db, m_line.constData(), m_line.size());
        m_line.resize(0);
        m_overlong = false;
    }
    if (datagram && (!m_line.isEmpty() || m_overlong)) {
        refuse(m_line.constData(), m_line.size());
        reset();
    }
}

void TavoDecoder::handleLine(DeviceDb* db, const char* line, int size)
{
    if (size > 0 && line[size - 1] == '\r')
        --size;
    Word words[MaxWords];
    int count = 0;
    int i = 0;
    while (i < size) {
        while (i < size && isBlank(line[i]))
            ++i;
        if (i >= size)
            break;
        if (count == MaxWords) {
            refuse(line, size);
            return;
        }
        const int start = i;
        while (i < size && !isBlank(line[i]))
            ++i;
        words[count++] = {line + start, i - start};
    }
    if (count == 0)
        return; // an empty line is allowed between records
    ++m_lines;
    if (!db || !decode(db, words, count))
        refuse(line, size);
}

bool TavoDecoder::decode(DeviceDb* db, const Word* words, int count)
{
    const Word& type = words[0];
    quint64 dev = 0, prm = 0, value = 0;
    auto codes = [&] {
        return count >= 3 && toNumber(words[1].data, words[1].size, 65535, dev) &&
            toNumber(words[2].data, words[2].size, 65535, prm);
    };

    if (equals(type.data, type.size, "VAL")) {
        if (count != 4 || !codes() || !toNumber(words[3].data, words[3].size, 0xffffffffu, value))
            return false;
        db->setParamValue(int(dev), int(prm), static_cast<unsigned long>(value));
        return true;
    }
    if (equals(type.data, type.size, "STR")) {
        if (count != 4 || !codes())
            return false;
        const Word& text = words[3];
        if (equals(text.data, text.size, "-")) { // the empty text
            db->setParamStringValue(int(dev), int(prm), QByteArray());
            return true;
        }
        if (!isHex(text.data, text.size))
            return false;
        db->setParamStringValue(int(dev), int(prm), QByteArray::fromRawData(text.data, text.size));
        return true;
    }
    if (equals(type.data, type.size, "DEV")) {
        if (count != 2 || !isHex(words[1].data, words[1].size) || words[1].size == 0)
            return false;
        // The service device's root parameter takes the system device message.
        db->setParamStringValue(0, 0, QByteArray(words[1].data, words[1].size));
        return true;
    }
    if (equals(type.data, type.size, "PRM")) {
        if (count != 4 || !toNumber(words[1].data, words[1].size, 65535, dev) ||
            !toNumber(words[3].data, words[3].size, 65535, prm) || words[2].size > 256)
            return false;
        // Devices announced by the host are populated lazily; binding needs
        // the parameters to exist.
        if (Device* device = db->getDeviceByCode(int(dev)))
            device->populateDevice();
        db->setParamCode(int(dev), QString::fromLatin1(words[2].data, words[2].size), int(prm));
        return true;
    }
    if (equals(type.data, type.size, "STAT")) {
        quint64 numbers[6] = {};
        if (count != 9 || !codes())
            return false;
        for (int k = 0; k < 6; ++k) {
            if (!toNumber(words[3 + k].data, words[3 + k].size, 0xffffffffu, numbers[k]))
                return false;
        }
        if (numbers[3] > 0x7fffffff)
            return false;
        db->setParamStatValue(int(dev), int(prm), static_cast<unsigned long>(numbers[0]),
                              static_cast<unsigned long>(numbers[1]),
                              static_cast<unsigned long>(numbers[2]), int(numbers[3]),
                              static_cast<unsigned long>(numbers[4]),
                              static_cast<unsigned long>(numbers[5]));
        return true;
    }
    if (equals(type.data, type.size, "NTF")) {
        if (count != 4 || !toNumber(words[1].data, words[1].size, 65535, dev) ||
            !toNumber(words[3].data, words[3].size, 0x7fffffff, value))
            return false;
        const auto message = DbEntity::NotifyMessage(qint32(value));
        if (equals(words[2].data, words[2].size, "-")) {
            db->notifyDevice(int(dev), message);
            return true;
        }
        if (!toNumber(words[2].data, words[2].size, 65535, prm))
            return false;
        db->notifyParam(int(dev), int(prm), message);
        return true;
    }
    if (equals(type.data, type.size, "ERR")) {
        if (count != 4 || !codes() ||
            !(isHex(words[3].data, words[3].size) || equals(words[3].data, words[3].size, "-")))
            return false;
        if (logAllowed(m_refusals,
                       QT_TRANSLATE_NOOP("TavoProtocol",
                                         "[tavo] More refusals from the host follow; they are "
                                         "not logged")))
            share::pLog->logWarning(
                QCoreApplication::translate("TavoProtocol",
                                            "[tavo] The host refused parameter %1 of device %2: %3")
                    .arg(prm)
                    .arg(dev)
                    .arg(utils::escapeControlCharacters(QString::fromUtf8(QByteArray::fromHex(
                        QByteArray::fromRawData(words[3].data, words[3].size))))));
        return true;
    }
    if (equals(type.data, type.size, "PONG"))
        return count == 1;
    return false;
}

bool TavoDecoder::logAllowed(int& count, const char* moreFollow)
{
    ++count;
    if (!share::pLog || count > MaxLoggedRecords + 1)
        return false;
    if (count == MaxLoggedRecords + 1) {
        share::pLog->logWarning(QCoreApplication::translate("TavoProtocol", moreFollow));
        return false;
    }
    return true;
}

void TavoDecoder::refuse(const char* line, int size)
{
    if (!logAllowed(m_malformed,
                    QT_TRANSLATE_NOOP("TavoProtocol",
                                      "[tavo] More malformed lines follow; they are dropped "
                                      "unlogged")))
        return;
    const QByteArray head = QByteArray::fromRawData(line, qMin(size, 60));
    QString printable;
    for (char c : head)
        printable += (c >= 0x20 && c < 0x7f) ? QChar(c) : QChar('.');
    share::pLog->logWarning(QCoreApplication::translate(
                                "TavoProtocol", "[tavo] Malformed line dropped (%1 bytes): '%2'")
                                .arg(size)
                                .arg(printable));
}
