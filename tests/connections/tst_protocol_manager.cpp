#include "connections/i_protocol.h"
#include "connections/protocol.h"
#include "connections/protocol_manager.h"
#include "kernel_fixture.h"
#include "test_protocol_control.h"

#include <QDir>
#include <QtTest>

namespace {

QString protocolsDir(const char* name)
{
    return QStringLiteral(TAVO_TEST_PROTOCOLS_DIR "/%1").arg(QLatin1String(name));
}

TestProtocolControl* control(IProtocol* protocol)
{
    return protocol ? qobject_cast<TestProtocolControl*>(protocol->asQObject()) : nullptr;
}

struct ManagerFixture : KernelFixture
{
    /// Loads the plug-ins of the test directory @p name.
    explicit ManagerFixture(const char* name = "good")
    {
        manager.loadPlugins(protocolsDir(name));
        // The prototypes outlive the fixture, and with them what a test
        // told them.
        for (IProtocol* prototype : qAsConst(manager.prototypes)) {
            if (TestProtocolControl* test = control(prototype))
                test->settings() = {};
        }
    }
    ProtocolManager manager;
};

} // namespace

class TstProtocolManager : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loadsEveryProtocolOfTheDirectory();
    void garbageBesideAProtocolIsLoggedAndSkipped();
    void createProtocolGivesEachConnectionItsOwnInstanceOrNone();
};

void TstProtocolManager::loadsEveryProtocolOfTheDirectory()
{
    ManagerFixture fx;
    QStringList names = fx.manager.protocolNames;
    names.sort();
    QCOMPARE(names, QStringList({"test-tcp", "test-udp"}));
    QCOMPARE(QList<int>({fx.manager.getDefaultProtocolPort("test-tcp"),
                         fx.manager.getDefaultProtocolPort("test-udp"),
                         fx.manager.getDefaultProtocolPort("snmp")}),
             QList<int>({7001, 7002, 0}));
    QCOMPARE(fx.log.messages(),
             QStringList({QStringLiteral("[ProtocolManager::loadPlugins()] Check directory '%1' "
                                         "for the protocols list")
                              .arg(protocolsDir("good")),
                          QStringLiteral("Loaded 2 protocols")}));
    QCOMPARE(fx.log.warnings() + fx.log.errors(), QStringList());

    // A second directory adds to the first: the name is listed twice, and the
    // maps keep the later plug-in.
    fx.manager.loadPlugins(protocolsDir("dup"));
    QCOMPARE(fx.manager.protocolNames.count("test-tcp"), 2);
    QCOMPARE(fx.manager.getDefaultProtocolPort("test-tcp"), 7003);
}

void TstProtocolManager::garbageBesideAProtocolIsLoggedAndSkipped()
{
    ManagerFixture fx("mixed");
    QCOMPARE(fx.manager.protocolNames, QStringList {"test-tcp"});
    // A file with a library's name but no ELF inside, and a library without
    // plug-in metadata: neither resolves. The text file is not even tried.
    const QStringList warnings = fx.log.warnings();
    QCOMPARE(warnings.size(), 2);
    const QRegularExpression unresolved(
        "^Can't resolve instance: .*(libgarbage\\.so|not_a_plugin)");
    QCOMPARE(warnings.filter(unresolved).size(), 2);
    const QString notAProtocol =
        QDir(protocolsDir("mixed")).absoluteFilePath("libtavo_test_not_a_protocol.so");
    QCOMPARE(fx.log.errors(),
             QStringList {QStringLiteral("The plug-in '%1' is not a protocol: its object can't be "
                                         "cast to IProtocol")
                              .arg(notAProtocol)});
    QCOMPARE(fx.log.messages().last(), QStringLiteral("Loaded 1 protocols"));
    // What did load works.
    QVERIFY(std::unique_ptr<Protocol>(fx.manager.createProtocol("test-tcp")));
}

void TstProtocolManager::createProtocolGivesEachConnectionItsOwnInstanceOrNone()
{
    ManagerFixture fx;
    ProtocolManager& manager = fx.manager;
    IProtocol* prototype = manager.prototypes.value("test-tcp");

    Protocol* first = manager.createProtocol("test-tcp");
    Protocol* second = manager.createProtocol("test-tcp");
    QVERIFY(first && second);
    // Shared with the prototype or the other, the instance would show the
    // variables there too.
    first->assignCustomVars({{"password", "secret"}});
    QCOMPARE(control(first->plugin())->assignedVars().value("password"), QStringLiteral("secret"));
    QVERIFY(control(second->plugin())->assignedVars().isEmpty());
    QVERIFY(control(prototype)->assignedVars().isEmpty());

    // The instance goes with its protocol.
    QPointer<QObject> instance = first->plugin()->asQObject();
    delete first;
    QVERIFY(instance.isNull());
    delete second;

    QVERIFY(!manager.createProtocol("snmp"));
    control(manager.prototypes.value("test-udp"))->settings().declineInstances = true;
    QVERIFY(!manager.createProtocol("test-udp"));
    QVERIFY(manager.findChildren<Protocol*>().isEmpty());
}

QTEST_GUILESS_MAIN(TstProtocolManager)
#include "tst_protocol_manager.moc"
