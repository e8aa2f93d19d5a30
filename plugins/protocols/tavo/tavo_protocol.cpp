// The native "tavo" protocol (docs/native-protocol.md): one source built as
// "tavo" over TCP and as "tavo-udp" over UDP.

#include "tavo_decoder.h"

#include "connections/i_protocol.h"
#include "connections/protocol_data_unit.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"

#include <QtPlugin>

#include <cstring>

#ifndef TAVO_PROTOCOL_NAME
#define TAVO_PROTOCOL_NAME "tavo"
#endif
#ifndef TAVO_PROTOCOL_PORT
#define TAVO_PROTOCOL_PORT 7070
#endif
#ifndef TAVO_PROTOCOL_SOCKET
#define TAVO_PROTOCOL_SOCKET 0
#endif

namespace {

// Ticks of 50 ms without anything sent before a keep-alive goes out.
constexpr int KeepAliveTicks = 600;
constexpr int DefaultRequestLimit = 32;
// One UDP datagram per tick carries all of a tick's requests; stay below
// what every network passes unfragmented.
constexpr int MaxDatagram = 1400;

} // namespace

class TavoProtocol : public QObject, public IProtocol
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID IProtocol_iid)
    Q_INTERFACES(IProtocol)

public:
    explicit TavoProtocol(QObject* parent = nullptr)
        : QObject(parent)
    {
        object = this;
        name = QStringLiteral(TAVO_PROTOCOL_NAME);
        port = TAVO_PROTOCOL_PORT;
        socketType = TAVO_PROTOCOL_SOCKET;
        customVars.insert(QStringLiteral("password"), QString());
        customVars.insert(QStringLiteral("request_limit"), QString::number(DefaultRequestLimit));
    }

    void assignCustomVars(const QMap<QString, QString>& vars) override
    {
        m_password = vars.value(QStringLiteral("password"));
        bool ok = false;
        const int limit = vars.value(QStringLiteral("request_limit")).toInt(&ok);
        m_requestLimit = ok && limit > 0 ? qMin(limit, 512) : DefaultRequestLimit;
    }
    void init() override
    {
        m_decoder.reset();
        m_idleTicks = 0;
    }
    IProtocol* createInstance(QObject* owner) override { return new TavoProtocol(owner); }
    bool selectDeviceQuery(QVector<SelectedDeviceItem*>&) override
    {
        QByteArray hello = "HELLO 1 ";
        hello += m_password.isEmpty() ? QByteArray("-") : m_password.toUtf8().toHex();
        hello += "\nLIST\n";
        int size = hello.size();
        pdu->sendWriteToSocketSignal(hello.constData(), size);
        return true;
    }
    void reserved() override { }
    void parse(const char* data, int size) override
    {
        m_decoder.feed(pdu ? pdu->deviceDb : nullptr, data, size, socketType == 1);
    }
    void getWorkUpResult(ResultList& results) override
    {
        m_out.resize(0);
        const int before = results.size();
        for (auto it = pdu->writeQueryMap.cbegin(); it != pdu->writeQueryMap.cend(); ++it) {
            for (const WriteItem* item : qAsConst(*it.value())) {
                const Param* param = item->targetParameter;
                m_out += "WRITE ";
                m_out += QByteArray::number(it.key()->code);
                m_out += ' ';
                m_out += QByteArray::number(param->code);
                if (param->isNumericType()) {
                    m_out += " u ";
                    m_out += QByteArray::number(item->value);
                } else {
                    m_out += " s ";
                    m_out += item->bytes.isEmpty() ? QByteArray("-") : item->bytes.toHex();
                }
                m_out += '\n';
                lineDone(results);
            }
        }
        pdu->clearWriteQueryMap();

        for (auto it = pdu->readQueryMap.cbegin(); it != pdu->readQueryMap.cend(); ++it) {
            const QList<Param*>& params = *it.value();
            for (int i = 0; i < params.size(); ++i) {
                if (i % m_requestLimit == 0) {
                    if (i) {
                        m_out += '\n';
                        lineDone(results);
                    }
                    m_out += "READ ";
                    m_out += QByteArray::number(it.key()->code);
                    m_out += ' ';
                } else {
                    m_out += ',';
                }
                m_out += QByteArray::number(params.at(i)->code);
            }
            if (!params.isEmpty()) {
                m_out += '\n';
                lineDone(results);
            }
        }
        pdu->clearReadQueryMap();
        appendPacket(results);

        if (results.size() == before) {
            if (++m_idleTicks < KeepAliveTicks)
                return;
            m_out = "PING\n";
            appendPacket(results);
        }
        m_idleTicks = 0;
    }
    bool isReadyForRead(Device*) override { return true; }
    bool isParamForRead(Device*, Param* param) override
    {
        // Only what the host bound can be asked for; virtual parameters are
        // the client's own.
        return !param->isVirtual && param->code >= 0;
    }
    bool isReadyForWrite(Device*) override { return true; }
    bool isParamForWrite(Device*, Param* param) override
    {
        return !param->isVirtual && param->code >= 0;
    }

private:
    // Over TCP every line is a packet of its own, so that the engine's
    // per-tick budget meters them; over UDP lines are gathered into
    // datagrams of a safe size.
    void lineDone(ResultList& results)
    {
        if (socketType == 0 || m_out.size() >= MaxDatagram - 200)
            appendPacket(results);
    }
    void appendPacket(ResultList& results)
    {
        if (m_out.isEmpty())
            return;
        auto* item = new ResultItem;
        item->size = m_out.size();
        item->data = new char[size_t(item->size)];
        memcpy(item->data, m_out.constData(), size_t(item->size));
        results.append(item);
        m_out.resize(0);
    }

    TavoDecoder m_decoder;
    QByteArray m_out;
    QString m_password;
    int m_requestLimit = DefaultRequestLimit;
    int m_idleTicks = 0;
};

#include "tavo_protocol.moc"
