#include "connections/engine.h"
#include "graph_fixture.h"

#include <QFileInfo>
#include <QPointer>
#include <QtTest>

class TstHostGraph : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keysAreTheFirstGapAmongFoldersAndHosts();
    void folderKeysAreOnlyComparedWithFolders();
    void createdHostHasAnEngineAndAKnownTypeOrNone();
    void refusedHostsAreLoggedAndChangeNothing();
    void deletingAHostDeletesItsEngine();
    void deletingAFolderTakesItsSubtreeAndEngines();
    void folderThatIsItsOwnParentIsDeleted();
    void unknownKeysAreNotDeleted();
    void userFileIsWrittenWhenChangedAndReadAtConstruction();
    void singleHostModeNeitherReadsNorSaves();
};

void TstHostGraph::keysAreTheFirstGapAmongFoldersAndHosts()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    QCOMPARE(graph->createKey(), 1);
    QVERIFY(fx.addHost(*graph, 1));
    QVERIFY(fx.addHost(*graph, 3));
    QVERIFY(graph->createFolder(2, 0, "f"));
    QCOMPARE(graph->createKey(), 4);
    QVERIFY(graph->deleteHost(1));
    QCOMPARE(graph->createKey(), 1);

    // A negative key asks for the next free one.
    QCOMPARE(graph->createFolder(-1, 0, "g")->key(), 1);
    QCOMPARE(fx.addHost(*graph, -1, 1)->key(), 4);
}

void TstHostGraph::folderKeysAreOnlyComparedWithFolders()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    QVERIFY(fx.addHost(*graph, 5));
    fx.log.clear();
    QVERIFY(graph->createFolder(5, 0, "five"));
    QVERIFY(!graph->createFolder(5, 0, "again"));
    QVERIFY(!graph->createBoxFolder(5, 0, "box", "box.xml"));
    QCOMPARE(graph->folderList.size(), 1);
    QVERIFY(fx.log.entries().isEmpty()); // a taken folder key is refused silently
    for (int key = 1; key < 5; ++key)
        QVERIFY(graph->createFolder(-1, 0, "k"));
    QCOMPARE(graph->createKey(), 6);
}

void TstHostGraph::createdHostHasAnEngineAndAKnownTypeOrNone()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    QVERIFY(!graph->modified);
    NodeAttr* known = graph->createNodeAttr(1, "mux", "test-tcp", "10.0.0.1", 0, 0, "known");
    NodeAttr* unknown = graph->createNodeAttr(2, "xyz", "test-udp", "10.0.0.2", 9000, 0, "unknown");
    QVERIFY(known && unknown);
    QVERIFY(graph->modified);
    QCOMPARE(known->hostTypeName(), QStringLiteral("mux"));
    QCOMPARE(unknown->hostTypeName(), NULL_HOST_TYPE);
    QCOMPARE(known->port(), quint16(0));
    QCOMPARE(known->parent(), graph.get());
    QCOMPARE(graph->hostList, QList<NodeAttr*>({known, unknown}));
    QCOMPARE(graph->hostsByKey.value(2), unknown);

    Engine* engine = fx.box->getEngine(2);
    QVERIFY(engine);
    QCOMPARE(engine->nodeAttr(), unknown);
    QCOMPARE(unknown->engineIndex, 1);
    QCOMPARE(unknown->customVars().value("request_limit"), QStringLiteral("16"));
    QVERIFY(fx.log.errors().isEmpty());
}

void TstHostGraph::refusedHostsAreLoggedAndChangeNothing()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    QVERIFY(fx.addHost(*graph, 1));
    graph->modified = false;
    fx.log.clear();
    QVERIFY(!fx.addHost(*graph, 1));
    QVERIFY(!fx.addHost(*graph, 2, 0, "snmp"));
    QCOMPARE(fx.log.errors(),
             QStringList({QStringLiteral("[HostGraph::createHost()] Key 1 already exists."),
                          QStringLiteral("[HostGraph::createHost()] Protocol 'snmp' does not "
                                         "exists.")}));
    QCOMPARE(graph->hostList.size(), 1);
    QCOMPARE(fx.box->engines.size(), 1);
    QVERIFY(!graph->modified);

    // Without a protocol manager no protocol is loaded.
    share::protocolManager = nullptr;
    QVERIFY(!fx.addHost(*graph, 3));
}

void TstHostGraph::deletingAHostDeletesItsEngine()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    fx.addHost(*graph, 1);
    NodeAttr* second = fx.addHost(*graph, 2);
    QPointer<Engine> engine = fx.box->getEngine(1);
    graph->modified = false;
    QVERIFY(graph->deleteHost(1));
    QVERIFY(graph->modified);
    QVERIFY(!graph->hostsByKey.contains(1));
    QCOMPARE(graph->hostList, QList<NodeAttr*>({second}));
    QVERIFY(!fx.box->getEngine(1));
    QCOMPARE(second->engineIndex, 0);
    // The engine outlives its host until the event loop runs, and must not
    // touch the deleted host meanwhile.
    QVERIFY(engine);
    QVERIFY(!engine->nodeAttr());
    engine->connectToHost();
    QTRY_VERIFY(engine.isNull());
}

void TstHostGraph::deletingAFolderTakesItsSubtreeAndEngines()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    graph->createFolder(1, 0, "top");
    graph->createBoxFolder(2, 1, "sub", "box.xml");
    graph->createFolder(3, 0, "other");
    graph->createFolder(4, 0, "empty");
    fx.addHost(*graph, 10, 1);
    fx.addHost(*graph, 11, 1);
    fx.addHost(*graph, 12, 2);
    NodeAttr* outside = fx.addHost(*graph, 13, 3);
    NodeAttr* topLevel = fx.addHost(*graph, 14, 0);
    graph->modified = false;

    QVERIFY(graph->deleteFolder(1));
    QVERIFY(graph->modified);
    QCOMPARE(graph->foldersByKey.keys(), QList<int>({3, 4}));
    QCOMPARE(graph->hostList, QList<NodeAttr*>({outside, topLevel}));
    for (int key : {10, 11, 12})
        QVERIFY(!fx.box->getEngine(key));
    QCOMPARE(fx.box->engines.size(), 2);
    QCOMPARE(topLevel->engineIndex, 1);

    // An empty folder is a change too.
    graph->modified = false;
    QVERIFY(graph->deleteFolder(4));
    QVERIFY(graph->modified);
}

void TstHostGraph::folderThatIsItsOwnParentIsDeleted()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    graph->createFolder(1, 1, "loop");
    graph->createFolder(2, 3, "a");
    graph->createFolder(3, 2, "b");
    QVERIFY(graph->deleteFolder(1));
    QVERIFY(graph->deleteFolder(2));
    QVERIFY(graph->folderList.isEmpty());
}

void TstHostGraph::unknownKeysAreNotDeleted()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    graph->createFolder(1, 0, "f");
    graph->modified = false;
    QVERIFY(!graph->deleteHost(1)); // a folder's key is no host's
    QVERIFY(!graph->deleteFolder(7));
    QVERIFY(!graph->modified);
}

void TstHostGraph::userFileIsWrittenWhenChangedAndReadAtConstruction()
{
    GraphFixture fx;
    share::isSingleMode = false;
    const QString path = HostGraph::userFilePath();
    QVERIFY(path.startsWith(fx.dir.path()));
    QVERIFY(path.contains("tavo-client"));
    QVERIFY(!QFileInfo::exists(path));
    {
        auto graph = fx.freshGraph();
        QCOMPARE(graph->fileName, path);
        graph->checkSave();
        QVERIFY(!QFileInfo::exists(path)); // unchanged: nothing written
        graph->createFolder(1, 0, "saved");
        fx.addHost(*graph, 2, 1);
        graph->checkSave();
        QVERIFY(QFileInfo::exists(path)); // the folder was created on the way
        QVERIFY(!graph->modified);
    }
    auto graph = fx.freshGraph();
    QCOMPARE(graph->folderList.size(), 1);
    QCOMPARE(graph->hostList.size(), 1);
    QVERIFY(fx.box->getEngine(2));
    QVERIFY(!graph->modified); // read back, not changed
}

void TstHostGraph::singleHostModeNeitherReadsNorSaves()
{
    GraphFixture fx;
    share::isSingleMode = false;
    {
        auto graph = fx.freshGraph();
        graph->createFolder(1, 0, "saved");
        graph->checkSave();
    }
    const QDateTime written = QFileInfo(HostGraph::userFilePath()).lastModified();
    share::isSingleMode = true;
    auto graph = fx.freshGraph();
    QVERIFY(graph->folderList.isEmpty());
    QVERIFY(graph->fileName.isEmpty());
    graph->createFolder(1, 0, "changed");
    graph->checkSave();
    QCOMPARE(QFileInfo(HostGraph::userFilePath()).lastModified(), written);
    QVERIFY(graph->modified);
}

QTEST_GUILESS_MAIN(TstHostGraph)
#include "tst_host_graph.moc"
