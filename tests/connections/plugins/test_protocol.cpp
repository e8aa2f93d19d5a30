#include "test_protocol_control.h"

#include "connections/i_protocol.h"
#include "connections/protocol_data_unit.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"

#include <QtPlugin>

#include <cstring>

// TEST_PROTOCOL_NAME, _PORT and _SOCKET come from the build, one set per
// module.

class TestProtocol : public QObject, public IProtocol, public TestProtocolControl
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID IProtocol_iid)
    Q_INTERFACES(IProtocol TestProtocolControl)

public:
    explicit TestProtocol(QObject* parent = nullptr)
        : QObject(parent)
    {
        object = this;
        name = QStringLiteral(TEST_PROTOCOL_NAME);
        port = TEST_PROTOCOL_PORT;
        socketType = TEST_PROTOCOL_SOCKET;
        customVars.insert(QStringLiteral("password"), QString());
        customVars.insert(QStringLiteral("request_limit"), QStringLiteral("16"));
    }

    // IProtocol
    void assignCustomVars(const QMap<QString, QString>& vars) override { m_vars = vars; }
    void init() override { m_line.clear(); }
    IProtocol* createInstance(QObject* owner) override
    {
        if (m_settings.declineInstances)
            return nullptr;
        auto* instance = new TestProtocol(owner);
        instance->m_settings = m_settings;
        return instance;
    }
    bool selectDeviceQuery(QVector<SelectedDeviceItem*>& selection) override
    {
        if (selection.isEmpty())
            return false;
        static const char list[] = "LIST\n";
        int size = int(sizeof(list) - 1);
        pdu->sendWriteToSocketSignal(list, size);
        return true;
    }
    void reserved() override { }
    void parse(const char* data, int size) override
    {
        if (m_settings.recording)
            m_received.append(data, size);
        for (int i = 0; i < size; ++i) {
            if (data[i] != '\n') {
                m_line.append(data[i]);
                continue;
            }
            handleLine(m_line);
            m_line.clear();
        }
    }
    void getWorkUpResult(ResultList& results) override
    {
        for (const QByteArray& packet : qAsConst(m_queued))
            append(results, packet);
        m_queued.clear();

        // No test writes through this plug-in.
        pdu->clearWriteQueryMap();

        for (auto it = pdu->readQueryMap.cbegin(); it != pdu->readQueryMap.cend(); ++it) {
            QByteArrayList codes;
            for (const Param* param : qAsConst(*it.value()))
                codes << QByteArray::number(param->code);
            append(results,
                   "READ " + QByteArray::number(it.key()->code) + ' ' + codes.join(',') + '\n');
        }
        pdu->clearReadQueryMap();
    }
    bool isReadyForRead(Device*) override { return true; }
    bool isParamForRead(Device*, Param*) override { return true; }
    bool isReadyForWrite(Device*) override { return true; }
    bool isParamForWrite(Device*, Param*) override { return true; }

    // TestProtocolControl
    Settings& settings() override { return m_settings; }
    QMap<QString, QString> assignedVars() const override { return m_vars; }
    QByteArray received() const override { return m_received; }
    int malformedLines() const override { return m_malformed; }
    void queuePacket(const QByteArray& packet) override { m_queued.append(packet); }

private:
    void append(ResultList& results, const QByteArray& packet)
    {
        auto* item = new ResultItem;
        item->size = packet.size();
        item->data = new char[size_t(item->size)];
        memcpy(item->data, packet.constData(), size_t(item->size));
        results.append(item);
    }

    void handleLine(const QByteArray& line)
    {
        DeviceDb* db = pdu ? pdu->deviceDb : nullptr;
        const QList<QByteArray> words = line.split(' ');
        bool ok = db != nullptr;
        auto number = [&ok](const QByteArray& word) {
            bool valid = false;
            const int value = word.toInt(&valid);
            ok = ok && valid;
            return value;
        };
        if (words.value(0) == "DEV" && words.size() == 5) {
            const int tag = number(words[2]);
            const int baseTag = number(words[3]);
            const int code = number(words[4]);
            if (ok) {
                Device* device = db->addDevice(QString::fromLatin1(words[1]), tag, baseTag, code,
                                               Tavo::NativeProtocol, QString());
                ok = device && device->populateDevice();
            }
        } else if (words.value(0) == "PRM" && words.size() == 4) {
            const int device = number(words[1]);
            const int code = number(words[3]);
            ok = ok && db->setParamCode(device, QString::fromLatin1(words[2]), code);
        } else if (words.value(0) == "VAL" && words.size() == 4) {
            const int device = number(words[1]);
            const int code = number(words[2]);
            bool valid = false;
            const uint value = words[3].toUInt(&valid);
            ok = ok && valid && db->setParamValue(device, code, value);
        } else {
            ok = false;
        }
        if (!ok)
            ++m_malformed;
    }

    Settings m_settings;
    QMap<QString, QString> m_vars;
    QByteArray m_received;
    QByteArray m_line;
    QList<QByteArray> m_queued;
    int m_malformed = 0;
};

#include "test_protocol.moc"
