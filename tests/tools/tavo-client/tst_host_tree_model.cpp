#include "alarm_model.h"
#include "client_fixture.h"
#include "connections/engine.h"
#include "connections/engine_box.h"
#include "connections/protocol_manager.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "host_dialog.h"
#include "host_tree_model.h"
#include "hostgraph/host_graph.h"
#include "hosttypes/host_type_db.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

#include <tuple>

namespace {

using Vars = QMap<QString, QString>;

HostTreeModel* makeModel(ClientFixture& fixture, QObject* parent)
{
    auto* model = new HostTreeModel(fixture.kernel->hostGraph.get(),
                                    fixture.kernel->engineBox.get(), nullptr, parent);
    new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::QtTest,
                                 model);
    return model;
}

bool addHost(HostGraph* graph, int key, int parentKey, const QString& alias)
{
    return graph->createNodeAttr(key, QStringLiteral("tavo-ne"), QStringLiteral("tavo"),
                                 QStringLiteral("10.0.0.%1").arg(key), quint16(5000 + key),
                                 parentKey, alias);
}

int parentKeyInModel(const HostTreeModel& model, int key)
{
    const QModelIndex parent = model.indexOfKey(key).parent();
    return parent.isValid() ? parent.data(HostTreeModel::KeyRole).toInt() : 0;
}

QList<int> childKeys(const HostTreeModel& model, const QModelIndex& parent = {})
{
    QList<int> keys;
    for (int row = 0; row < model.rowCount(parent); ++row)
        keys.append(model.index(row, 0, parent).data(HostTreeModel::KeyRole).toInt());
    return keys;
}

HostSettings simulatorSettings(const ClientFixture& fixture, const QString& alias)
{
    HostSettings settings;
    settings.alias = alias;
    settings.url = QStringLiteral("127.0.0.1");
    settings.port = fixture.simulatorPort();
    settings.hostType = QStringLiteral("tavo-ne");
    return settings;
}

// A parameter of a fresh device of the host, for the alarm model to count.
const Param* paramOfHost(ClientFixture& fixture, int key)
{
    Engine* engine = fixture.kernel->engineBox->getEngine(key);
    Device* device =
        engine ? engine->deviceDb()->createEmptyDevice(QStringLiteral("E1"), 1, 0, 1) : nullptr;
    if (!device)
        return nullptr;
    device->populateDevice();
    return device->parameters.value(0);
}

QSet<int> changedKeys(const QSignalSpy& spy)
{
    QSet<int> keys;
    for (const QList<QVariant>& arguments : spy)
        keys.insert(arguments.at(0).toModelIndex().data(HostTreeModel::KeyRole).toInt());
    return keys;
}

} // namespace

class TestHostTreeModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void showsGraphItemsUnderTheirFolders_data();
    void showsGraphItemsUnderTheirFolders();
    void changesKeepModelAndGraphInStep();
    void refusesFolderBelowItself_data();
    void refusesFolderBelowItself();
    void addHostFillsProtocolAndPort_data();
    void addHostFillsProtocolAndPort();
    void hostAddedOutsideAppearsAndShowsConnection();
    void alarmsColourHostAndEnclosingFolders();
    void hostDeletedOutsideDisappears();
    void editedHostKeepsKeyAndIsReconnected();
    void saveFailureIsAnnounced_data();
    void saveFailureIsAnnounced();
    void dialogRoundTripsSettings_data();
    void dialogRoundTripsSettings();
    void dialogListsProtocolVariablesWithDefaults_data();
    void dialogListsProtocolVariablesWithDefaults();
    void dialogOkNeedsNameAndAddress_data();
    void dialogOkNeedsNameAndAddress();
};

void TestHostTreeModel::showsGraphItemsUnderTheirFolders_data()
{
    QTest::addColumn<int>("parentKey");
    QTest::addColumn<QList<int>>("children");

    // Folders before hosts, each in key order; a parent key naming no folder
    // is the top level.
    QTest::newRow("top level") << 0 << QList<int> {1, 6, 4, 5};
    QTest::newRow("folder with a subfolder and a host") << 1 << QList<int> {2, 7};
    QTest::newRow("nested folder") << 2 << QList<int> {3};
    QTest::newRow("empty folder") << 6 << QList<int> {};
}

void TestHostTreeModel::showsGraphItemsUnderTheirFolders()
{
    QFETCH(int, parentKey);
    QFETCH(QList<int>, children);

    ClientFixture fixture;
    HostGraph* graph = fixture.kernel->hostGraph.get();
    QVERIFY(graph->createFolder(1, 0, QStringLiteral("Core")));
    QVERIFY(graph->createFolder(2, 1, QStringLiteral("Edge")));
    QVERIFY(addHost(graph, 3, 2, QStringLiteral("a")));
    QVERIFY(addHost(graph, 4, 0, QStringLiteral("b")));
    QVERIFY(addHost(graph, 5, 99, QStringLiteral("c")));
    QVERIFY(graph->createFolder(6, 0, QStringLiteral("Lab")));
    QVERIFY(addHost(graph, 7, 1, QStringLiteral("d\x1b[31m")));

    QObject owner;
    HostTreeModel* model = makeModel(fixture, &owner);
    const QModelIndex parent = model->indexOfKey(parentKey);
    QCOMPARE(parent.isValid(), parentKey != 0);
    QCOMPARE(childKeys(*model, parent), children);
    for (int key : children) {
        QCOMPARE(parentKeyInModel(*model, key), parentKey);
        const QModelIndex name = model->indexOfKey(key);
        const bool host = graph->hostsByKey.contains(key);
        QCOMPARE(name.data(HostTreeModel::IsHostRole).toBool(), host);
        QCOMPARE(model->hostAt(name) != nullptr, host);
        QCOMPARE(model->folderAt(name) != nullptr, !host);
        if (!host)
            continue;
        const NodeAttr* node = graph->hostsByKey.value(key);
        QCOMPARE(model->indexOfKey(key, HostTreeModel::AddressColumn).data().toString(),
                 QStringLiteral("%1:%2").arg(node->url()).arg(node->port()));
        QCOMPARE(model->indexOfKey(key, HostTreeModel::StateColumn).data().toString(),
                 QStringLiteral("not connected"));
        QVERIFY(!name.data().toString().contains(QChar(0x1b)));
    }
}

void TestHostTreeModel::changesKeepModelAndGraphInStep()
{
    ClientFixture fixture;
    HostGraph* graph = fixture.kernel->hostGraph.get();
    QObject owner;
    HostTreeModel* model = makeModel(fixture, &owner);
    QSignalSpy moved(model, &QAbstractItemModel::rowsMoved);
    QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy saveFailed(model, &HostTreeModel::saveFailed);

    FolderItem* site = model->addFolder(0, QStringLiteral("Site"));
    QVERIFY(site);
    const int siteKey = site->key();
    FolderItem* rack = model->addFolder(siteKey, QStringLiteral("Rack"));
    QVERIFY(rack);
    const int rackKey = rack->key();
    QVERIFY(!model->addFolder(siteKey, QString()));

    HostSettings settings;
    settings.alias = QStringLiteral("ne1");
    settings.url = QStringLiteral("192.0.2.1");
    settings.hostType = QStringLiteral("tavo-ne");
    settings.vars.insert(QStringLiteral("password"), QStringLiteral("pw"));
    settings.description = QStringLiteral("first floor");
    QString error;
    NodeAttr* host = model->addHost(0, settings, &error);
    QVERIFY2(host, qPrintable(error));
    const int hostKey = host->key();
    host->autoconnect = 2;
    QCOMPARE(childKeys(*model), (QList<int> {siteKey, hostKey}));
    // A new folder goes before the hosts of its folder.
    FolderItem* spare = model->addFolder(0, QStringLiteral("Spare"));
    QVERIFY(spare);
    const int spareKey = spare->key();
    QCOMPARE(childKeys(*model), (QList<int> {siteKey, spareKey, hostKey}));
    QVERIFY(model->removeItem(spareKey));
    QCOMPARE(removed.count(), 1);
    removed.clear();
    const QPersistentModelIndex hostIndex = model->indexOfKey(hostKey);

    QVERIFY(model->moveItem(hostKey, rackKey));
    QCOMPARE(moved.count(), 1);
    host = graph->hostsByKey.value(hostKey);
    QVERIFY(host);
    QCOMPARE(host->parentKey(), rackKey);
    QCOMPARE(host->description, settings.description);
    QCOMPARE(host->autoconnect, 2);
    QCOMPARE(host->customVars().value(QStringLiteral("password")), QStringLiteral("pw"));
    QVERIFY(hostIndex.isValid());
    QCOMPARE(hostIndex.data(HostTreeModel::KeyRole).toInt(), hostKey);
    QCOMPARE(hostIndex.parent().data(HostTreeModel::KeyRole).toInt(), rackKey);

    QVERIFY(model->renameFolder(siteKey, QStringLiteral("Campus")));
    QCOMPARE(graph->foldersByKey.value(siteKey)->alias(), QStringLiteral("Campus"));
    QCOMPARE(model->indexOfKey(siteKey).data().toString(), QStringLiteral("Campus"));
    QCOMPARE(parentKeyInModel(*model, rackKey), siteKey);
    QCOMPARE(parentKeyInModel(*model, hostKey), rackKey);
    QCOMPARE(graph->hostsByKey.value(hostKey)->description, settings.description);

    settings.alias = QStringLiteral("ne1 renamed");
    QVERIFY2(model->editHost(hostKey, settings, &error), qPrintable(error));
    QCOMPARE(hostIndex.data().toString(), settings.alias);
    QCOMPARE(graph->hostsByKey.value(hostKey)->parentKey(), rackKey);
    QCOMPARE(graph->hostsByKey.value(hostKey)->autoconnect, 2);

    // A folder moves with everything below it, keys and all.
    QVERIFY(model->moveItem(rackKey, 0));
    QCOMPARE(moved.count(), 2);
    QCOMPARE(childKeys(*model), (QList<int> {siteKey, rackKey}));
    QCOMPARE(parentKeyInModel(*model, hostKey), rackKey);
    QCOMPARE(hostIndex.parent().data(HostTreeModel::KeyRole).toInt(), rackKey);
    QCOMPARE(graph->hostsByKey.value(hostKey)->alias(), settings.alias);
    QVERIFY(model->moveItem(rackKey, siteKey));

    QVERIFY(model->removeItem(siteKey));
    QCOMPARE(removed.count(), 1);
    QCOMPARE(model->rowCount(), 0);
    QVERIFY(graph->foldersByKey.isEmpty());
    QVERIFY(graph->hostsByKey.isEmpty());
    QVERIFY(!hostIndex.isValid());
    QVERIFY(!model->removeItem(siteKey));
    QCOMPARE(saveFailed.count(), 0);
}

void TestHostTreeModel::refusesFolderBelowItself_data()
{
    QTest::addColumn<int>("target");

    QTest::newRow("itself") << 1;
    QTest::newRow("its subfolder") << 2;
    QTest::newRow("below its subfolder") << 3;
    QTest::newRow("a folder that does not exist") << 42;
}

void TestHostTreeModel::refusesFolderBelowItself()
{
    QFETCH(int, target);

    ClientFixture fixture;
    HostGraph* graph = fixture.kernel->hostGraph.get();
    QVERIFY(graph->createFolder(1, 0, QStringLiteral("a")));
    QVERIFY(graph->createFolder(2, 1, QStringLiteral("b")));
    QVERIFY(graph->createFolder(3, 2, QStringLiteral("c")));
    QObject owner;
    HostTreeModel* model = makeModel(fixture, &owner);

    QVERIFY(!model->moveItem(1, target));
    QCOMPARE(graph->foldersByKey.value(1)->parentKey(), 0);
    QCOMPARE(graph->foldersByKey.size(), 3);
    QCOMPARE(childKeys(*model), QList<int> {1});
}

void TestHostTreeModel::addHostFillsProtocolAndPort_data()
{
    QTest::addColumn<QString>("hostType");
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("expectedProtocol"); // empty: the host is refused
    QTest::addColumn<int>("expectedPort"); // 0: the protocol's default

    QTest::newRow("host type's protocol, its default port")
        << "tavo-ne" << QString() << 0 << "tavo" << 0;
    QTest::newRow("another host type's protocol")
        << "tavo-ne-udp" << QString() << 0 << "tavo-udp" << 0;
    QTest::newRow("unknown host type: tavo") << "xyz" << QString() << 0 << "tavo" << 0;
    QTest::newRow("protocol and port given") << "tavo-ne"
                                             << "tavo-udp" << 1234 << "tavo-udp" << 1234;
    QTest::newRow("protocol not loaded: refused") << "tavo-ne"
                                                  << "no-such-protocol" << 0 << QString() << 0;
}

void TestHostTreeModel::addHostFillsProtocolAndPort()
{
    QFETCH(QString, hostType);
    QFETCH(QString, protocol);
    QFETCH(int, port);
    QFETCH(QString, expectedProtocol);
    QFETCH(int, expectedPort);

    ClientFixture fixture;
    QObject owner;
    HostTreeModel* model = makeModel(fixture, &owner);
    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
    HostSettings settings;
    settings.alias = QStringLiteral("ne");
    settings.url = QStringLiteral("192.0.2.9");
    settings.hostType = hostType;
    settings.protocol = protocol;
    settings.port = quint16(port);
    settings.vars.insert(QStringLiteral("request_limit"), QStringLiteral("2"));
    settings.description = QStringLiteral("spare");
    QString error;

    NodeAttr* host = model->addHost(0, settings, &error);
    if (expectedProtocol.isEmpty()) {
        QVERIFY(!host);
        QVERIFY2(error.contains(protocol), qPrintable(error));
        QCOMPARE(inserted.count(), 0);
        QCOMPARE(model->rowCount(), 0);
        QVERIFY(fixture.kernel->hostGraph->hostsByKey.isEmpty());
        return;
    }
    QVERIFY2(host, qPrintable(error));
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(host->protocolName(), expectedProtocol);
    const int defaultPort = fixture.kernel->protocols->getDefaultProtocolPort(expectedProtocol);
    QCOMPARE(int(host->port()), expectedPort ? expectedPort : defaultPort);
    QCOMPARE(host->description, settings.description);
    const Vars defaults = fixture.kernel->protocols->getCustomVars(expectedProtocol);
    if (defaults.contains(QStringLiteral("request_limit")))
        QCOMPARE(host->customVars().value(QStringLiteral("request_limit")), QStringLiteral("2"));
    QCOMPARE(host->customVars().keys(), defaults.keys());
    QCOMPARE(HostTreeModel::settingsOf(host).protocol, expectedProtocol);
    QVERIFY(fixture.kernel->engineBox->getEngineByNodeAttr(host));
}

void TestHostTreeModel::hostAddedOutsideAppearsAndShowsConnection()
{
    ClientFixture fixture;
    QVERIFY(fixture.simulatorRunning());
    QObject owner;
    HostTreeModel* model = makeModel(fixture, &owner);
    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);

    NodeAttr* host = fixture.addSimulatorHost();
    QVERIFY(host);
    QCOMPARE(inserted.count(), 1);
    const QPersistentModelIndex state = model->indexOfKey(host->key(), HostTreeModel::StateColumn);
    QCOMPARE(state.data().toString(), QStringLiteral("not connected"));
    QCOMPARE(state.data(HostTreeModel::ConnectedRole).toBool(), false);

    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
    Engine* engine = fixture.kernel->engineBox->getEngineByNodeAttr(host);
    QVERIFY(engine);
    engine->connectToHost();
    QTRY_COMPARE(state.data().toString(), QStringLiteral("connected"));
    QVERIFY(state.data(HostTreeModel::ConnectedRole).toBool());
    QVERIFY(!changed.isEmpty());

    engine->disconnectFromHost();
    QTRY_COMPARE(state.data().toString(), QStringLiteral("not connected"));
}

void TestHostTreeModel::alarmsColourHostAndEnclosingFolders()
{
    ClientFixture fixture;
    HostGraph* graph = fixture.kernel->hostGraph.get();
    QVERIFY(graph->createFolder(1, 0, QStringLiteral("outer")));
    QVERIFY(graph->createFolder(2, 1, QStringLiteral("inner")));
    QVERIFY(addHost(graph, 3, 2, QStringLiteral("deep")));
    QVERIFY(addHost(graph, 4, 1, QStringLiteral("shallow")));
    const Param* deep = paramOfHost(fixture, 3);
    const Param* shallow = paramOfHost(fixture, 4);
    QVERIFY(deep && shallow);
    AlarmModel alarms(nullptr);
    HostTreeModel model(graph, fixture.kernel->engineBox.get(), &alarms);
    new QAbstractItemModelTester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest,
                                 &model);
    const auto severity = [&model](int key) {
        return model.indexOfKey(key).data(HostTreeModel::SeverityRole).toInt();
    };
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    alarms.paramStateChanged(deep, Tavo::WARNING, Tavo::NORM);
    QCOMPARE(changedKeys(changed), (QSet<int> {3, 2, 1}));
    QCOMPARE(severity(3), int(Tavo::WARNING));
    QCOMPARE(severity(2), int(Tavo::WARNING));
    QCOMPARE(severity(1), int(Tavo::WARNING));
    QCOMPARE(severity(4), int(Tavo::NORM));
    QVERIFY(!model.indexOfKey(4).data(Qt::BackgroundRole).isValid());

    changed.clear();
    alarms.paramStateChanged(shallow, Tavo::CRIT, Tavo::NORM);
    QCOMPARE(changedKeys(changed), (QSet<int> {4, 1}));
    QCOMPARE(severity(1), int(Tavo::CRIT));
    QCOMPARE(severity(2), int(Tavo::WARNING));
    QCOMPARE(model.indexOfKey(1).data(Qt::BackgroundRole).value<QColor>(),
             share::colorForAlarmType(Tavo::CRIT));
    QCOMPARE(
        model.indexOfKey(2, HostTreeModel::StateColumn).data(Qt::BackgroundRole).value<QColor>(),
        share::colorForAlarmType(Tavo::WARNING));

    changed.clear();
    alarms.paramStateChanged(deep, Tavo::NORM, Tavo::WARNING);
    QCOMPARE(changedKeys(changed), (QSet<int> {3, 2, 1}));
    QCOMPARE(severity(2), int(Tavo::NORM));
    QCOMPARE(severity(1), int(Tavo::CRIT));
}

void TestHostTreeModel::hostDeletedOutsideDisappears()
{
    ClientFixture fixture;
    HostGraph* graph = fixture.kernel->hostGraph.get();
    QVERIFY(graph->createFolder(1, 0, QStringLiteral("f")));
    QVERIFY(addHost(graph, 2, 1, QStringLiteral("h")));
    QObject owner;
    HostTreeModel* model = makeModel(fixture, &owner);
    QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);

    QVERIFY(graph->deleteHost(2));
    QCOMPARE(removed.count(), 1);
    QCOMPARE(model->rowCount(model->indexOfKey(1)), 0);
}

void TestHostTreeModel::editedHostKeepsKeyAndIsReconnected()
{
    ClientFixture fixture;
    QVERIFY(fixture.simulatorRunning());
    QObject owner;
    HostTreeModel* model = makeModel(fixture, &owner);
    QString error;
    NodeAttr* host = model->addHost(0, simulatorSettings(fixture, QStringLiteral("sim")), &error);
    QVERIFY2(host, qPrintable(error));
    const int key = host->key();
    const QPersistentModelIndex state = model->indexOfKey(key, HostTreeModel::StateColumn);
    QPointer<Engine> engine = fixture.kernel->engineBox->getEngineByNodeAttr(host);
    engine->connectToHost();
    QTRY_VERIFY(state.data(HostTreeModel::ConnectedRole).toBool());

    QVERIFY2(model->editHost(key, simulatorSettings(fixture, QStringLiteral("renamed")), &error),
             qPrintable(error));
    host = fixture.kernel->hostGraph->hostsByKey.value(key);
    QVERIFY(host);
    QCOMPARE(host->alias(), QStringLiteral("renamed"));
    QCOMPARE(state.sibling(state.row(), HostTreeModel::NameColumn).data().toString(),
             QStringLiteral("renamed"));
    Engine* newEngine = fixture.kernel->engineBox->getEngineByNodeAttr(host);
    QVERIFY(newEngine);
    QVERIFY(newEngine != engine);
    QTRY_VERIFY(newEngine->isConnected());
    QTRY_COMPARE(state.data().toString(), QStringLiteral("connected"));
}

void TestHostTreeModel::saveFailureIsAnnounced_data()
{
    QTest::addColumn<bool>("blocked");

    QTest::newRow("settings folder writable") << false;
    QTest::newRow("a file where the settings folder belongs") << true;
}

void TestHostTreeModel::saveFailureIsAnnounced()
{
    QFETCH(bool, blocked);

    ClientFixture fixture;
    if (blocked) {
        // A file in the folder's place stops even root from writing there.
        QVERIFY(
            QDir(fixture.dir.filePath(QStringLiteral("settings/tavo-client"))).removeRecursively());
        QFile file(fixture.dir.filePath(QStringLiteral("settings/tavo-client")));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QObject owner;
    HostTreeModel* model = makeModel(fixture, &owner);
    QSignalSpy saveFailed(model, &HostTreeModel::saveFailed);

    QVERIFY(model->addFolder(0, QStringLiteral("Site")));
    QCOMPARE(saveFailed.count(), blocked ? 1 : 0);
    QCOMPARE(fixture.kernel->hostGraph->modified, blocked);
    if (blocked)
        QCOMPARE(saveFailed.at(0).at(0).toString(), HostGraph::userFilePath());
    else
        QVERIFY(QFile::exists(HostGraph::userFilePath()));
}

void TestHostTreeModel::dialogRoundTripsSettings_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<int>("port");

    QTest::newRow("protocol and port given") << "tavo" << 4001;
    QTest::newRow("host type's protocol, default port") << QString() << 0;
}

void TestHostTreeModel::dialogRoundTripsSettings()
{
    QFETCH(QString, protocol);
    QFETCH(int, port);

    ClientFixture fixture;
    HostDialog dialog(fixture.kernel->hostTypeDb.get(), fixture.kernel->protocols.get());
    HostSettings settings;
    settings.alias = QStringLiteral("ne7");
    settings.url = QStringLiteral("192.0.2.7");
    settings.port = quint16(port);
    settings.hostType = QStringLiteral("tavo-ne");
    settings.protocol = protocol;
    settings.vars = {{QStringLiteral("password"), QStringLiteral("secret")},
                     {QStringLiteral("request_limit"), QStringLiteral("3")}};
    settings.description = QStringLiteral("rack 2\nshelf 1");

    dialog.setSettings(settings);
    const HostSettings back = dialog.settings();
    const auto fields = [](const HostSettings& h) {
        return std::make_tuple(h.alias, h.url, h.port, h.hostType, h.protocol, h.vars,
                               h.description);
    };
    QVERIFY(fields(back) == fields(settings));
}

void TestHostTreeModel::dialogListsProtocolVariablesWithDefaults_data()
{
    QTest::addColumn<QString>("hostType");
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("listed");

    QTest::newRow("tavo chosen") << "tavo-ne-udp" << QStringLiteral("tavo") << "tavo";
    QTest::newRow("host type's: tavo") << "tavo-ne" << QString() << "tavo";
    QTest::newRow("host type's: tavo-udp") << "tavo-ne-udp" << QString() << "tavo-udp";
}

void TestHostTreeModel::dialogListsProtocolVariablesWithDefaults()
{
    QFETCH(QString, hostType);
    QFETCH(QString, protocol);
    QFETCH(QString, listed);

    ClientFixture fixture;
    const ProtocolManager* protocols = fixture.kernel->protocols.get();
    HostDialog dialog(fixture.kernel->hostTypeDb.get(), protocols);
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("hostType"));
    auto* protocolBox = dialog.findChild<QComboBox*>(QStringLiteral("protocol"));
    auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("variables"));
    QVERIFY(types && protocolBox && table);

    // A value typed for another protocol must not survive the change.
    const QString other =
        listed == QLatin1String("tavo") ? QStringLiteral("tavo-udp") : QStringLiteral("tavo");
    protocolBox->setCurrentIndex(protocolBox->findData(other));
    if (table->rowCount() > 0)
        table->item(0, 1)->setText(QStringLiteral("typed"));
    types->setCurrentIndex(types->findData(hostType));
    protocolBox->setCurrentIndex(protocolBox->findData(protocol));

    const Vars defaults = protocols->getCustomVars(listed);
    if (listed == QLatin1String("tavo")) {
        QVERIFY(defaults.contains(QStringLiteral("password")));
        QVERIFY(defaults.contains(QStringLiteral("request_limit")));
    }
    Vars shown;
    for (int row = 0; row < table->rowCount(); ++row)
        shown.insert(table->item(row, 0)->text(), table->item(row, 1)->text());
    QCOMPARE(shown, defaults);
    QCOMPARE(dialog.settings().vars, defaults);
}

void TestHostTreeModel::dialogOkNeedsNameAndAddress_data()
{
    QTest::addColumn<QString>("alias");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("enabled");

    const QString name = QStringLiteral("ne");
    const QString address = QStringLiteral("192.0.2.1");
    QTest::newRow("both given") << name << address << true;
    QTest::newRow("empty address") << name << QString() << false;
    QTest::newRow("blank address") << name << QStringLiteral("   ") << false;
    QTest::newRow("empty name") << QString() << address << false;
}

void TestHostTreeModel::dialogOkNeedsNameAndAddress()
{
    QFETCH(QString, alias);
    QFETCH(QString, address);
    QFETCH(bool, enabled);

    ClientFixture fixture;
    HostDialog dialog(fixture.kernel->hostTypeDb.get(), fixture.kernel->protocols.get());
    auto* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    QVERIFY(!ok->isEnabled());

    QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("alias")), alias);
    QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("address")), address);
    QCOMPARE(ok->isEnabled(), enabled);
}

QTEST_MAIN(TestHostTreeModel)
#include "tst_host_tree_model.moc"
