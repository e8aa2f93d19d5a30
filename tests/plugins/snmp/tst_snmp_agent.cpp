// The kernel with the "snmp" plug-in against a real agent (snmpd on a free
// loopback port): what it finds and reads must be what the field's own
// tools read from the same agent.

#include "classes/class_db.h"
#include "connections/engine.h"
#include "connections/engine_box.h"
#include "connections/protocol_manager.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "hostgraph/host_graph.h"
#include "hosttypes/host_type_db.h"
#include "kernel_fixture.h"
#include "snmp_agent.h"
#include "udp_relay.h"

#include <QtTest>

#include <memory>

namespace {

/// The kernel as a client sets it up, with the shipped classes and host
/// types, subscribing every parameter of every device the agent shows.
struct SnmpClient : KernelFixture
{
    SnmpClient()
    {
        share::xmlClassesPath = QStringLiteral(TAVO_DEMO_DIR "/xml_classes");
        share::xmlNodeTypesPath = QStringLiteral(TAVO_DEMO_DIR "/xml_nodetypes");
        classes = std::make_unique<ClassDb>(nullptr);
        share::classDb = classes.get();
        hostTypes = std::make_unique<HostTypeDb>(nullptr);
        share::hostTypeDb = hostTypes.get();
        protocols.loadPlugins(QStringLiteral(TAVO_PROTOCOLS_DIR));
        share::protocolManager = &protocols;
        share::engineBox = box.get();
        share::isSingleMode = true;
        graph = std::make_unique<HostGraph>(nullptr);
        share::hostGraph = graph.get();
    }
    ~SnmpClient()
    {
        box.reset(); // the engines refer to the graph's hosts
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    Engine* connectTo(quint16 port, const QMap<QString, QString>& vars = {},
                      const QString& type = QStringLiteral("snmp-host"))
    {
        NodeAttr* node =
            graph->createNodeAttr(-1, type, QStringLiteral("snmp"), QStringLiteral("127.0.0.1"),
                                  port, 0, QStringLiteral("agent"));
        if (!node)
            return nullptr;
        for (auto it = vars.cbegin(); it != vars.cend(); ++it)
            node->setCustomVarValue(it.key(), it.value());
        engine = box->getEngineByNodeAttr(node);
        readEveryParamOfNewDevices(engine->deviceDb());
        engine->connectToHost();
        return engine;
    }

    DeviceDb* db() const { return engine->deviceDb(); }

    QStringList rowsOf(const QString& className) const
    {
        QStringList rows;
        for (const Device* device : qAsConst(db()->devices)) {
            if (device && device->className == className)
                rows << device->protocolText;
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    /// The parameter's value as snmpget prints it with -Oqv.
    QString valueOf(const Param* param) const
    {
        if (!param->readValid)
            return QStringLiteral("(no value)");
        switch (param->type) {
        case Tavo::INT:
            return QString::number(qint32(param->readValue));
        case Tavo::UINT:
            return QString::number(param->readValue);
        default:
            return QString::fromUtf8(param->readBytes);
        }
    }

    /// Every parameter of every device of @p className has a value, but for
    /// objects this agent does not serve: those are told once in the log.
    bool allRead(const QString& className) const
    {
        const QString absent = log.warnings().join('\n');
        int devices = 0;
        for (const Device* device : qAsConst(db()->devices)) {
            if (!device || device->className != className)
                continue;
            ++devices;
            for (const Param* param : device->parameters) {
                if (!param->isVirtual && !param->oid.isEmpty() && !param->readValid &&
                    !absent.contains(QStringLiteral("(%1)").arg(param->oid)))
                    return false;
            }
        }
        return devices > 0;
    }

    std::unique_ptr<ClassDb> classes;
    std::unique_ptr<HostTypeDb> hostTypes;
    ProtocolManager protocols {nullptr};
    std::unique_ptr<EngineBox> box = std::make_unique<EngineBox>();
    std::unique_ptr<HostGraph> graph;
    Engine* engine = nullptr;
};

QString withoutLeadingDot(QString oid)
{
    return oid.startsWith(QLatin1Char('.')) ? oid.mid(1) : oid;
}

/// The row indexes below @p column as snmpwalk lists them.
QStringList walkedRows(const SnmpAgent& agent, const QString& column)
{
    QStringList rows;
    for (const QString& line : agent.walk(column)) {
        const QString oid = withoutLeadingDot(line.section(QLatin1Char(' '), 0, 0));
        if (oid.startsWith(column + QLatin1Char('.')))
            rows << oid.mid(column.size() + 1);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

} // namespace

class TstSnmpAgent : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void devicesAndValuesAreWhatTheToolsRead();
    void writesReachTheAgentRefusalsAreToldAndARestartIsRecovered();
    void silentHostIsToldAndDiscoveredWhenBack_data();
    void silentHostIsToldAndDiscoveredWhenBack();

private:
    std::unique_ptr<SnmpAgent> agent;
    std::unique_ptr<SnmpClient> client;
};

void TstSnmpAgent::init()
{
    agent = std::make_unique<SnmpAgent>();
    QVERIFY2(agent->start(), agent->log().constData());
    client = std::make_unique<SnmpClient>();
}

void TstSnmpAgent::cleanup()
{
    client.reset();
    agent.reset();
}

void TstSnmpAgent::devicesAndValuesAreWhatTheToolsRead()
{
    QVERIFY(client->connectTo(agent->port()));
    // A device for each row that snmpwalk lists.
    const QMap<QString, QString> columns {{"IF", "1.3.6.1.2.1.2.2.1.1"},
                                          {"STORAGE", "1.3.6.1.2.1.25.2.3.1.1"},
                                          {"LOAD", "1.3.6.1.4.1.2021.10.1.1"},
                                          {"PROC", "1.3.6.1.4.1.2021.2.1.1"},
                                          {"DISK", "1.3.6.1.4.1.2021.9.1.1"}};
    for (auto it = columns.cbegin(); it != columns.cend(); ++it) {
        const QStringList expected = walkedRows(*agent, it.value());
        QVERIFY2(!expected.isEmpty(), qPrintable(it.key()));
        QTRY_COMPARE_WITH_TIMEOUT(client->rowsOf(it.key()), expected, 15000);
    }
    QCOMPARE(client->rowsOf(QStringLiteral("SYSTEM")), QStringList(QStringLiteral("0")));
    for (const char* className : {"SYSTEM", "IF", "STORAGE", "LOAD"})
        QTRY_VERIFY2_WITH_TIMEOUT(client->allRead(QLatin1String(className)), className, 20000);

    // Objects that do not change while the test runs; every row of each.
    // Load averages move: read at nearly the same time, they agree to within
    // what a second can change.
    const QStringList names = {"sysDescr",    "sysObjectID",    "sysContact",    "sysName",
                               "sysLocation", "ifDescr",        "ifType",        "ifOperStatus",
                               "ifMtu",       "hrStorageDescr", "hrStorageSize", "laNames",
                               "laConfig",    "laLoad"};
    int compared = 0;
    for (const Device* device : qAsConst(client->db()->devices)) {
        if (!device || device->protocol != Tavo::SnmpProtocol)
            continue;
        for (const Param* param : device->parameters) {
            if (!names.contains(param->DbEntity::name))
                continue;
            const QString expected = agent->getText(param->oid);
            const QString value = client->valueOf(param);
            ++compared;
            if (param->DbEntity::name == QLatin1String("laLoad"))
                QVERIFY2(qAbs(value.toDouble() - expected.toDouble()) <= 0.5, qPrintable(value));
            else if (param->DbEntity::name == QLatin1String("sysObjectID"))
                QCOMPARE(value, withoutLeadingDot(expected));
            else
                QCOMPARE(value, expected);
        }
    }
    QVERIFY(compared >= 13);
}

void TstSnmpAgent::writesReachTheAgentRefusalsAreToldAndARestartIsRecovered()
{
    Engine* engine =
        client->connectTo(agent->port(),
                          {{QStringLiteral("write_community"), SnmpAgent::writeCommunity()},
                           {QStringLiteral("timeout_ms"), QStringLiteral("300")}},
                          QStringLiteral("snmp-device"));
    QVERIFY(engine);
    const QString system = QStringLiteral("SYSTEM_0000");
    QTRY_VERIFY_WITH_TIMEOUT(client->allRead(QStringLiteral("SYSTEM")), 15000);

    QVERIFY(client->db()->writeQuery(system, QStringLiteral("sysContact"),
                                     QStringLiteral("noc@example.net"), false));
    QTRY_COMPARE_WITH_TIMEOUT(agent->getText(QStringLiteral("1.3.6.1.2.1.1.4.0")),
                              QStringLiteral("noc@example.net"), 10000);
    // Read back after the write, not only at the next period.
    const Param* contact = client->db()->getParam(system, QStringLiteral("sysContact"));
    QTRY_COMPARE_WITH_TIMEOUT(client->valueOf(contact), QStringLiteral("noc@example.net"), 5000);

    const Param* descr = client->db()->getParam(system, QStringLiteral("sysDescr"));
    const QString before = client->valueOf(descr);
    QVERIFY(client->db()->writeQuery(system, QStringLiteral("sysDescr"), QStringLiteral("forged"),
                                     true));
    const QString refusal = QStringLiteral("[snmp] 127.0.0.1:%1 refused the write to "
                                           "SYSTEM_0000.sysDescr (1.3.6.1.2.1.1.1.0): notWritable")
                                .arg(agent->port());
    QTRY_VERIFY_WITH_TIMEOUT(client->log.warnings().contains(refusal), 10000);
    QCOMPARE(client->valueOf(descr), before);

    // As a client with reconnection: a port that answers "unreachable" ends
    // the UDP connection.
    connect(engine, &Engine::signalSocketDisconnected, engine,
            [engine] { QTimer::singleShot(500, engine, [engine] { engine->connectToHost(); }); });
    agent->kill();
    QVERIFY(agent->restart());
    // The rebooted agent's uptime, read afresh.
    auto upTime = [&] {
        return client->db()->getParam(system, QStringLiteral("sysUpTime"));
    };
    QTRY_VERIFY_WITH_TIMEOUT(upTime() && upTime()->readValid && upTime()->readValue < 3000, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(client->allRead(QStringLiteral("IF")), 10000);
}

void TstSnmpAgent::silentHostIsToldAndDiscoveredWhenBack_data()
{
    QTest::addColumn<QString>("community");
    QTest::addColumn<int>("retries");
    // A wrong community is dropped by the agent unanswered: a silent host
    // for good.
    QTest::newRow("wrong community") << QStringLiteral("nope") << 1;
    QTest::newRow("host away at connect, back on a lossy path") << SnmpAgent::readCommunity() << 3;
}

void TstSnmpAgent::silentHostIsToldAndDiscoveredWhenBack()
{
    QFETCH(QString, community);
    QFETCH(int, retries);
    // Every third datagram each way is lost while the host is not blocked.
    UdpRelay relay(agent->port(), 3);
    QVERIFY(relay.start());
    relay.setBlocked(community == SnmpAgent::readCommunity());
    QVERIFY(client->connectTo(relay.port(),
                              {{QStringLiteral("community"), community},
                               {QStringLiteral("timeout_ms"), QStringLiteral("200")},
                               {QStringLiteral("retries"), QString::number(retries)}},
                              QStringLiteral("snmp-device")));
    const QString silent =
        QStringLiteral("[snmp] 127.0.0.1:%1 does not answer (no reply after %2 tries)")
            .arg(relay.port())
            .arg(retries + 1);
    QTRY_VERIFY_WITH_TIMEOUT(client->log.warnings().contains(silent), 5000);

    relay.setBlocked(false);
    if (community != SnmpAgent::readCommunity()) {
        QCOMPARE(client->rowsOf(QStringLiteral("IF")), QStringList());
        QVERIFY(agent->isRunning());
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(client->rowsOf(QStringLiteral("IF")),
                              walkedRows(*agent, QStringLiteral("1.3.6.1.2.1.2.2.1.1")), 20000);
    for (const char* className : {"SYSTEM", "IF"})
        QTRY_VERIFY2_WITH_TIMEOUT(client->allRead(QLatin1String(className)), className, 30000);
    QVERIFY(relay.dropped(UdpRelay::ToClient) > 0);
    QVERIFY(client->log.messages().contains(
        QStringLiteral("[snmp] 127.0.0.1:%1 answers again").arg(relay.port())));
}

QTEST_GUILESS_MAIN(TstSnmpAgent)
#include "tst_snmp_agent.moc"
