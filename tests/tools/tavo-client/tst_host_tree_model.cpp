#include "alarm_model.h"
#include "client_fixture.h"
#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "host_dialog.h"
#include "host_tree_model.h"
#include "hostgraph/host_graph.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <memory>
#include <tuple>

namespace {

using Vars = QMap<QString, QString>;

std::unique_ptr<HostTreeModel> makeModel(ClientFixture& fixture, AlarmModel* alarms = nullptr)
{
    auto model = std::make_unique<HostTreeModel>(fixture.kernel->hostGraph.get(),
                                                 fixture.kernel->engineBox.get(), alarms);
    new QAbstractItemModelTester(
        model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest, model.get());
    return model;
}

bool addHost(HostGraph* graph, int key, int parentKey, const QString& alias)
{
    return graph->createNodeAttr(key, QStringLiteral("tavo-ne"), QStringLiteral("tavo"),
                                 QStringLiteral("10.0.0.%1").arg(key), quint16(5000 + key),
                                 parentKey, alias);
}

// "<indent>[/]<name>|<address>|<state>" per row, depth first; a slash marks a
// folder, and " !<severity> <colour>" an alarm below the row.
QStringList dump(const HostTreeModel& model, const QModelIndex& parent = {},
                 const QString& indent = QString())
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex name = model.index(row, 0, parent);
        const bool host = name.data(HostTreeModel::IsHostRole).toBool();
        QStringList cells;
        for (int column = 0; column < HostTreeModel::ColumnCount; ++column)
            cells << name.sibling(row, column).data().toString();
        QString text = indent + (host ? QString() : QStringLiteral("/")) + cells.join('|');
        const int severity = name.data(HostTreeModel::SeverityRole).toInt();
        const QVariant colour =
            name.sibling(row, HostTreeModel::StateColumn).data(Qt::BackgroundRole);
        if (severity != Tavo::NORM || colour.isValid())
            text += QStringLiteral(" !%1 %2").arg(severity).arg(colour.toString());
        if ((model.hostAt(name) != nullptr) != host || (model.folderAt(name) != nullptr) == host)
            text += QStringLiteral(" (not the graph's item)");
        rows << text << dump(model, name, indent + QStringLiteral("  "));
    }
    return rows;
}

// The graph's side: "<alias> in <folder>" per folder, then per host with what
// a move or an edit must keep.
QStringList graphOf(const HostGraph& graph)
{
    const auto folder = [&graph](int key) {
        return graph.foldersByKey.contains(key) ? graph.foldersByKey.value(key)->alias()
                                                : QStringLiteral("top");
    };
    QStringList items;
    for (const FolderItem* item : graph.foldersByKey)
        items << QStringLiteral("%1 in %2").arg(item->alias(), folder(item->parentKey()));
    for (const NodeAttr* host : graph.hostsByKey)
        items << QStringLiteral("%1 in %2: %3, %4, %5")
                     .arg(host->alias(), folder(host->parentKey()), host->description)
                     .arg(host->autoconnect)
                     .arg(host->customVars().value(QStringLiteral("password")));
    return items;
}

HostSettings settings(const QString& alias, const QString& url, int port = 0,
                      const QString& protocol = QString())
{
    return HostSettings {alias, url, quint16(port), QStringLiteral("tavo-ne"), protocol, {}, {}};
}

// "<name>=<value>,..." in name order.
QString joined(const Vars& vars)
{
    QStringList pairs;
    for (auto it = vars.cbegin(); it != vars.cend(); ++it)
        pairs << it.key() + QLatin1Char('=') + it.value();
    return pairs.join(QLatin1Char(','));
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
    void showsGraphItemsUnderTheirFoldersAndKeepsFoldersOutOfThemselves();
    void changesKeepModelAndGraphInStep();
    void addHostFillsProtocolAndPort_data();
    void addHostFillsProtocolAndPort();
    void hostAddedOutsideShowsConnectionAndIsReconnectedWhenEdited();
    void alarmsColourHostAndEnclosingFolders();
    void saveFailureIsAnnounced();
    void dialogRoundTripsSettingsOkOnlyWithNameAndAddress_data();
    void dialogRoundTripsSettingsOkOnlyWithNameAndAddress();
    void dialogListsProtocolVariablesWithDefaults();
};

void TestHostTreeModel::showsGraphItemsUnderTheirFoldersAndKeepsFoldersOutOfThemselves()
{
    ClientFixture fixture;
    HostGraph* graph = fixture.kernel->hostGraph.get();
    QVERIFY(graph->createFolder(1, 0, QStringLiteral("Core")));
    QVERIFY(graph->createFolder(2, 1, QStringLiteral("Edge")));
    QVERIFY(addHost(graph, 3, 2, QStringLiteral("a")));
    QVERIFY(addHost(graph, 4, 0, QStringLiteral("b")));
    QVERIFY(addHost(graph, 5, 99, QStringLiteral("c")));
    QVERIFY(graph->createFolder(6, 0, QStringLiteral("Lab")));
    QVERIFY(addHost(graph, 7, 1, QStringLiteral("d\x1b[31m")));
    QVERIFY(graph->createFolder(8, 2, QStringLiteral("Deep")));
    const auto model = makeModel(fixture);

    // Folders before hosts, each in key order; a parent key naming no folder
    // is the top level.
    const QStringList shown =
        QStringList({"/Core||", "  /Edge||", "    /Deep||", "    a|10.0.0.3:5003|not connected",
                     "  d\\x1b[31m|10.0.0.7:5007|not connected", "/Lab||",
                     "b|10.0.0.4:5004|not connected", "c|10.0.0.5:5005|not connected"});
    QCOMPARE(dump(*model), shown);
    QCOMPARE(model->indexOfKey(2).data(HostTreeModel::KeyRole).toInt(), 2);
    QCOMPARE(model->indexOfKey(3, HostTreeModel::StateColumn).parent(), model->indexOfKey(2));
    // Not into itself, its subfolder, below that, nor a folder that is not there.
    for (int target : {1, 2, 8, 42})
        QVERIFY2(!model->moveItem(1, target), qPrintable(QString::number(target)));
    QCOMPARE(dump(*model), shown);
    QCOMPARE(graphOf(*graph).mid(0, 4),
             QStringList({"Core in top", "Edge in Core", "Lab in top", "Deep in Edge"}));

    // A host deleted elsewhere leaves its folder.
    QVERIFY(graph->deleteHost(3));
    QStringList left = shown;
    left.removeAt(3);
    QCOMPARE(dump(*model), left);
}

void TestHostTreeModel::changesKeepModelAndGraphInStep()
{
    ClientFixture fixture;
    HostGraph* graph = fixture.kernel->hostGraph.get();
    const auto model = makeModel(fixture);
    QSignalSpy removed(model.get(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy saveFailed(model.get(), &HostTreeModel::saveFailed);

    FolderItem* site = model->addFolder(0, QStringLiteral("Site"));
    QVERIFY(site);
    const int siteKey = site->key();
    FolderItem* rack = model->addFolder(siteKey, QStringLiteral("Rack"));
    QVERIFY(rack);
    const int rackKey = rack->key();
    QVERIFY(!model->addFolder(siteKey, QString()));
    HostSettings ne1 = settings(QStringLiteral("ne1"), QStringLiteral("192.0.2.1"));
    ne1.vars.insert(QStringLiteral("password"), QStringLiteral("pw"));
    ne1.description = QStringLiteral("first floor");
    QString error;
    NodeAttr* host = model->addHost(0, ne1, &error);
    QVERIFY2(host, qPrintable(error));
    const int hostKey = host->key();
    host->autoconnect = 2;
    // A new folder goes before the hosts of its folder.
    const FolderItem* spare = model->addFolder(0, QStringLiteral("Spare"));
    QVERIFY(spare);
    QCOMPARE(dump(*model),
             QStringList({"/Site||", "  /Rack||", "/Spare||", "ne1|192.0.2.1:7070|not connected"}));
    QVERIFY(model->removeItem(spare->key()));
    const QPersistentModelIndex hostIndex = model->indexOfKey(hostKey);

    QVERIFY(model->moveItem(hostKey, rackKey));
    QVERIFY(model->renameFolder(siteKey, QStringLiteral("Campus")));
    ne1.alias = QStringLiteral("ne1 renamed");
    QVERIFY2(model->editHost(hostKey, ne1, &error), qPrintable(error));
    QCOMPARE(
        dump(*model),
        QStringList({"/Campus||", "  /Rack||", "    ne1 renamed|192.0.2.1:7070|not connected"}));
    QCOMPARE(graphOf(*graph),
             QStringList(
                 {"Campus in top", "Rack in Campus", "ne1 renamed in Rack: first floor, 2, pw"}));
    QCOMPARE(hostIndex.data(HostTreeModel::KeyRole).toInt(), hostKey);

    // A folder moves with everything below it, keys and all.
    QVERIFY(model->moveItem(rackKey, 0));
    QCOMPARE(dump(*model),
             QStringList({"/Campus||", "/Rack||", "  ne1 renamed|192.0.2.1:7070|not connected"}));
    QCOMPARE(hostIndex.parent().data(HostTreeModel::KeyRole).toInt(), rackKey);
    QCOMPARE(
        graphOf(*graph),
        QStringList({"Campus in top", "Rack in top", "ne1 renamed in Rack: first floor, 2, pw"}));
    QVERIFY(model->moveItem(rackKey, siteKey));

    QVERIFY(model->removeItem(siteKey));
    // One removal for each item removed, however much lies below it.
    QCOMPARE(removed.count(), 2);
    QCOMPARE(dump(*model), QStringList());
    QCOMPARE(graphOf(*graph), QStringList());
    QVERIFY(!model->removeItem(siteKey));
    QCOMPARE(saveFailed.count(), 0);
    QVERIFY(!graph->modified);
    QVERIFY(QFile::exists(HostGraph::userFilePath()));
}

void TestHostTreeModel::addHostFillsProtocolAndPort_data()
{
    QTest::addColumn<QString>("hostType");
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("expected"); // "<protocol>|<port>|<variables>", or the refusal

    const auto row = [](const char* name, const char* type, const char* protocol, int port,
                        const char* expected) {
        QTest::newRow(name) << QString(type) << QString(protocol) << port << QString(expected);
    };
    row("host type's protocol", "tavo-ne", "", 0, "tavo|7070|password=,request_limit=2");
    row("another host type's", "tavo-ne-udp", "", 0, "tavo-udp|7071|password=,request_limit=2");
    row("unknown host type: tavo", "xyz", "", 0, "tavo|7070|password=,request_limit=2");
    row("protocol and port given", "tavo-ne", "tavo-udp", 1234,
        "tavo-udp|1234|password=,request_limit=2");
    row("protocol not loaded", "tavo-ne", "no-such-protocol", 0,
        "The protocol no-such-protocol is not loaded.");
}

void TestHostTreeModel::addHostFillsProtocolAndPort()
{
    QFETCH(QString, hostType);
    QFETCH(QString, protocol);
    QFETCH(int, port);
    QFETCH(QString, expected);

    ClientFixture fixture;
    const auto model = makeModel(fixture);
    HostSettings ne = settings(QStringLiteral("ne"), QStringLiteral("192.0.2.9"), port, protocol);
    ne.hostType = hostType;
    ne.vars.insert(QStringLiteral("request_limit"), QStringLiteral("2"));
    ne.description = QStringLiteral("spare");
    QString error;

    NodeAttr* host = model->addHost(0, ne, &error);
    QCOMPARE(host ? QStringLiteral("%1|%2|%3")
                        .arg(HostTreeModel::settingsOf(host).protocol)
                        .arg(host->port())
                        .arg(joined(host->customVars()))
                  : error,
             expected);
    QCOMPARE(dump(*model).size(), host ? 1 : 0);
    QCOMPARE(graphOf(*fixture.kernel->hostGraph),
             host ? QStringList {QStringLiteral("ne in top: spare, 0, ")} : QStringList());
    QVERIFY(!host || fixture.kernel->engineBox->getEngineByNodeAttr(host));
}

void TestHostTreeModel::hostAddedOutsideShowsConnectionAndIsReconnectedWhenEdited()
{
    ClientFixture fixture;
    QVERIFY(fixture.simulatorRunning());
    const auto model = makeModel(fixture);

    NodeAttr* host = fixture.addSimulatorHost();
    QVERIFY(host);
    const int key = host->key();
    const QString address = QStringLiteral("127.0.0.1:%1").arg(fixture.simulatorPort());
    QCOMPARE(dump(*model), QStringList {QStringLiteral("127.0.0.1|%1|not connected").arg(address)});
    const QPersistentModelIndex state = model->indexOfKey(key, HostTreeModel::StateColumn);
    QCOMPARE(state.data(HostTreeModel::ConnectedRole).toBool(), false);
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    QPointer<Engine> engine = fixture.kernel->engineBox->getEngineByNodeAttr(host);
    engine->connectToHost();
    QTRY_COMPARE(state.data().toString(), QStringLiteral("connected"));
    QVERIFY(state.data(HostTreeModel::ConnectedRole).toBool());
    QVERIFY(!changed.isEmpty());

    // Edited, it keeps its key and row and gets a new connection.
    QString error;
    const HostSettings renamed =
        settings(QStringLiteral("renamed"), QStringLiteral("127.0.0.1"), fixture.simulatorPort());
    QVERIFY2(model->editHost(key, renamed, &error), qPrintable(error));
    Engine* newEngine = fixture.kernel->engineBox->getEngine(key);
    QVERIFY(newEngine && newEngine != engine);
    QTRY_VERIFY(newEngine->isConnected());
    QTRY_COMPARE(dump(*model), QStringList {QStringLiteral("renamed|%1|connected").arg(address)});
    QVERIFY(state.isValid());

    newEngine->disconnectFromHost();
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
    const auto model = makeModel(fixture, &alarms);
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);

    alarms.paramStateChanged(deep, Tavo::WARNING, Tavo::NORM);
    QCOMPARE(changedKeys(changed), (QSet<int> {3, 2, 1}));
    QCOMPARE(dump(*model),
             QStringList({"/outer|| !4 #ff8000", "  /inner|| !4 #ff8000",
                          "    deep|10.0.0.3:5003|not connected !4 #ff8000",
                          "  shallow|10.0.0.4:5004|not connected"}));

    changed.clear();
    alarms.paramStateChanged(shallow, Tavo::CRIT, Tavo::NORM);
    QCOMPARE(changedKeys(changed), (QSet<int> {4, 1}));
    QCOMPARE(dump(*model),
             QStringList({"/outer|| !2 #c00000", "  /inner|| !4 #ff8000",
                          "    deep|10.0.0.3:5003|not connected !4 #ff8000",
                          "  shallow|10.0.0.4:5004|not connected !2 #c00000"}));

    changed.clear();
    alarms.paramStateChanged(deep, Tavo::NORM, Tavo::WARNING);
    QCOMPARE(changedKeys(changed), (QSet<int> {3, 2, 1}));
    QCOMPARE(
        dump(*model),
        QStringList({"/outer|| !2 #c00000", "  /inner||", "    deep|10.0.0.3:5003|not connected",
                     "  shallow|10.0.0.4:5004|not connected !2 #c00000"}));
}

void TestHostTreeModel::saveFailureIsAnnounced()
{
    ClientFixture fixture;
    const QString folder = fixture.dir.filePath(QStringLiteral("settings/tavo-client"));
    // A file in the folder's place stops even root from writing there.
    QVERIFY(QDir(folder).removeRecursively() && QFile(folder).open(QIODevice::WriteOnly));
    const auto model = makeModel(fixture);
    QSignalSpy saveFailed(model.get(), &HostTreeModel::saveFailed);

    QVERIFY(model->addFolder(0, QStringLiteral("Site")));
    QCOMPARE(saveFailed.count(), 1);
    QCOMPARE(saveFailed.at(0).at(0).toString(), HostGraph::userFilePath());
    QVERIFY(fixture.kernel->hostGraph->modified);
}

void TestHostTreeModel::dialogRoundTripsSettingsOkOnlyWithNameAndAddress_data()
{
    QTest::addColumn<QString>("alias");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("enabled");

    const QString address = QStringLiteral("192.0.2.7");
    QTest::newRow("protocol and port given") << "ne7" << address << "tavo" << 4001 << true;
    QTest::newRow("host type's, default port") << "ne7" << address << QString() << 0 << true;
    QTest::newRow("blank address") << "ne7" << QStringLiteral("   ") << QString() << 0 << false;
    QTest::newRow("empty name") << QString() << address << QString() << 0 << false;
}

void TestHostTreeModel::dialogRoundTripsSettingsOkOnlyWithNameAndAddress()
{
    QFETCH(QString, alias);
    QFETCH(QString, address);
    QFETCH(QString, protocol);
    QFETCH(int, port);
    QFETCH(bool, enabled);

    ClientFixture fixture;
    HostDialog dialog(fixture.kernel->hostTypeDb.get(), fixture.kernel->protocols.get());
    auto* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    QVERIFY(!ok->isEnabled());
    HostSettings ne7 = settings(QString(), QString(), port, protocol);
    ne7.vars = {{QStringLiteral("password"), QStringLiteral("secret")},
                {QStringLiteral("request_limit"), QStringLiteral("3")}};
    ne7.description = QStringLiteral("rack 2\nshelf 1");
    dialog.setSettings(ne7);
    QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("alias")), alias);
    QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("address")), address);
    QCOMPARE(ok->isEnabled(), enabled);

    ne7.alias = alias;
    ne7.url = address.trimmed();
    const auto fields = [](const HostSettings& h) {
        return std::make_tuple(h.alias, h.url, h.port, h.hostType, h.protocol, h.vars,
                               h.description);
    };
    QVERIFY(fields(dialog.settings()) == fields(ne7));
}

void TestHostTreeModel::dialogListsProtocolVariablesWithDefaults()
{
    ClientFixture fixture;
    HostDialog dialog(fixture.kernel->hostTypeDb.get(), fixture.kernel->protocols.get());
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("hostType"));
    auto* protocols = dialog.findChild<QComboBox*>(QStringLiteral("protocol"));
    auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("variables"));
    QVERIFY(types && protocols && table);

    // A value typed for another protocol must not survive the change to the
    // host type's own.
    protocols->setCurrentIndex(protocols->findData(QStringLiteral("tavo")));
    QVERIFY(table->rowCount() > 0);
    table->item(0, 1)->setText(QStringLiteral("typed"));
    types->setCurrentIndex(types->findData(QStringLiteral("tavo-ne-udp")));
    protocols->setCurrentIndex(protocols->findData(QString()));

    Vars shown;
    for (int row = 0; row < table->rowCount(); ++row)
        shown.insert(table->item(row, 0)->text(), table->item(row, 1)->text());
    // Both protocols have the same variables, with the same defaults.
    QCOMPARE(joined(shown), QStringLiteral("password=,request_limit=32"));
    QCOMPARE(dialog.settings().vars, shown);
}

QTEST_MAIN(TestHostTreeModel)
#include "tst_host_tree_model.moc"
