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
    void checkSaveWritesOnlyAChangedGraph();
    void graphReadsTheUserFileAtConstruction();
    void singleHostModeNeitherReadsNorSaves();
};

void TstHostGraph::keysAreTheFirstGapAmongFoldersAndHosts()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    QCOMPARE(graph->createKey(), 1);
    QVERIFY(graph->createNodeAttr(1, QStringLiteral("mux"), QStringLiteral("test-tcp"),
                                  QStringLiteral("10.0.0.1"), 7001, 0, QStringLiteral("a")));
    QVERIFY(graph->createNodeAttr(3, QStringLiteral("mux"), QStringLiteral("test-tcp"),
                                  QStringLiteral("10.0.0.3"), 7001, 0, QStringLiteral("c")));
    QVERIFY(graph->createFolder(2, 0, QStringLiteral("f")));
    QCOMPARE(graph->createKey(), 4);
    QVERIFY(graph->deleteHost(1));
    QCOMPARE(graph->createKey(), 1);

    // A negative key asks for the next free one.
    FolderItem* folder = graph->createFolder(-1, 0, QStringLiteral("g"));
    QCOMPARE(folder->key(), 1);
    NodeAttr* host =
        graph->createNodeAttr(-1, QStringLiteral("mux"), QStringLiteral("test-tcp"),
                              QStringLiteral("10.0.0.4"), 7001, 1, QStringLiteral("d"));
    QCOMPARE(host->key(), 4);
}

void TstHostGraph::folderKeysAreOnlyComparedWithFolders()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    QVERIFY(graph->createNodeAttr(5, QStringLiteral("mux"), QStringLiteral("test-tcp"),
                                  QStringLiteral("h"), 7001, 0, QStringLiteral("h")));
    fx.log.clear();
    QVERIFY(graph->createFolder(5, 0, QStringLiteral("five")));
    QVERIFY(!graph->createFolder(5, 0, QStringLiteral("again")));
    QVERIFY(!graph->createBoxFolder(5, 0, QStringLiteral("box"), QStringLiteral("box.xml")));
    QCOMPARE(graph->folderList.size(), 1);
    QVERIFY(fx.log.entries().isEmpty()); // a taken folder key is refused silently
    for (int key = 1; key < 5; ++key)
        QVERIFY(graph->createFolder(-1, 0, QStringLiteral("k")));
    QCOMPARE(graph->createKey(), 6);
}

void TstHostGraph::createdHostHasAnEngineAndAKnownTypeOrNone()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    QVERIFY(!graph->modified);
    NodeAttr* known =
        graph->createNodeAttr(1, QStringLiteral("mux"), QStringLiteral("test-tcp"),
                              QStringLiteral("10.0.0.1"), 0, 0, QStringLiteral("known"));
    NodeAttr* unknown =
        graph->createNodeAttr(2, QStringLiteral("xyz"), QStringLiteral("test-udp"),
                              QStringLiteral("10.0.0.2"), 9000, 0, QStringLiteral("unknown"));
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
    QCOMPARE(unknown->customVars().value(QStringLiteral("request_limit")), QStringLiteral("16"));
    QVERIFY(fx.log.errors().isEmpty());
}

void TstHostGraph::refusedHostsAreLoggedAndChangeNothing()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    QVERIFY(graph->createNodeAttr(1, QStringLiteral("mux"), QStringLiteral("test-tcp"),
                                  QStringLiteral("a"), 1, 0, QStringLiteral("a")));
    graph->modified = false;
    fx.log.clear();
    QVERIFY(!graph->createNodeAttr(1, QStringLiteral("mux"), QStringLiteral("test-tcp"),
                                   QStringLiteral("b"), 1, 0, QStringLiteral("b")));
    QVERIFY(!graph->createNodeAttr(2, QStringLiteral("mux"), QStringLiteral("snmp"),
                                   QStringLiteral("c"), 1, 0, QStringLiteral("c")));
    QCOMPARE(fx.log.errors(),
             QStringList({QStringLiteral("[HostGraph::createHost()] Key 1 already exists."),
                          QStringLiteral("[HostGraph::createHost()] Protocol 'snmp' does not "
                                         "exists.")}));
    QCOMPARE(graph->hostList.size(), 1);
    QCOMPARE(fx.box->engines.size(), 1);
    QVERIFY(!graph->modified);

    // Without a protocol manager no protocol is loaded.
    share::protocolManager = nullptr;
    QVERIFY(!graph->createNodeAttr(3, QStringLiteral("mux"), QStringLiteral("test-tcp"),
                                   QStringLiteral("d"), 1, 0, QStringLiteral("d")));
}

void TstHostGraph::deletingAHostDeletesItsEngine()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    graph->createNodeAttr(1, QStringLiteral("mux"), QStringLiteral("test-tcp"), QStringLiteral("a"),
                          1, 0, QStringLiteral("a"));
    NodeAttr* second = graph->createNodeAttr(2, QStringLiteral("mux"), QStringLiteral("test-tcp"),
                                             QStringLiteral("b"), 1, 0, QStringLiteral("b"));
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
    auto host = [&](int key, int parent) {
        return graph->createNodeAttr(key, QStringLiteral("mux"), QStringLiteral("test-tcp"),
                                     QStringLiteral("h%1").arg(key), 1, parent,
                                     QStringLiteral("h%1").arg(key));
    };
    graph->createFolder(1, 0, QStringLiteral("top"));
    graph->createBoxFolder(2, 1, QStringLiteral("sub"), QStringLiteral("box.xml"));
    graph->createFolder(3, 0, QStringLiteral("other"));
    graph->createFolder(4, 0, QStringLiteral("empty"));
    host(10, 1);
    host(11, 1);
    host(12, 2);
    NodeAttr* outside = host(13, 3);
    NodeAttr* topLevel = host(14, 0);
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
    graph->createFolder(1, 1, QStringLiteral("loop"));
    graph->createFolder(2, 3, QStringLiteral("a"));
    graph->createFolder(3, 2, QStringLiteral("b"));
    QVERIFY(graph->deleteFolder(1));
    QVERIFY(graph->deleteFolder(2));
    QVERIFY(graph->folderList.isEmpty());
}

void TstHostGraph::unknownKeysAreNotDeleted()
{
    GraphFixture fx;
    auto graph = fx.freshGraph();
    graph->createFolder(1, 0, QStringLiteral("f"));
    graph->modified = false;
    QVERIFY(!graph->deleteHost(1)); // a folder's key is no host's
    QVERIFY(!graph->deleteFolder(7));
    QVERIFY(!graph->modified);
}

void TstHostGraph::checkSaveWritesOnlyAChangedGraph()
{
    GraphFixture fx;
    share::isSingleMode = false;
    const QString path = HostGraph::userFilePath();
    QVERIFY(path.startsWith(fx.dir.path()));
    QVERIFY(path.contains(QStringLiteral("tavo-client")));
    QVERIFY(!QFileInfo::exists(path));

    auto graph = fx.freshGraph();
    QCOMPARE(graph->fileName, path);
    graph->checkSave();
    QVERIFY(!QFileInfo::exists(path)); // unchanged: nothing written

    graph->createFolder(1, 0, QStringLiteral("f"));
    graph->checkSave();
    QVERIFY(QFileInfo::exists(path)); // the folder was created on the way
    QVERIFY(!graph->modified);
}

void TstHostGraph::graphReadsTheUserFileAtConstruction()
{
    GraphFixture fx;
    share::isSingleMode = false;
    {
        auto graph = fx.freshGraph();
        graph->createFolder(1, 0, QStringLiteral("saved"));
        graph->createNodeAttr(2, QStringLiteral("mux"), QStringLiteral("test-tcp"),
                              QStringLiteral("a"), 7001, 1, QStringLiteral("a"));
        graph->checkSave();
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
        graph->createFolder(1, 0, QStringLiteral("saved"));
        graph->checkSave();
    }
    const QDateTime written = QFileInfo(HostGraph::userFilePath()).lastModified();
    share::isSingleMode = true;
    auto graph = fx.freshGraph();
    QVERIFY(graph->folderList.isEmpty());
    QVERIFY(graph->fileName.isEmpty());
    graph->createFolder(1, 0, QStringLiteral("changed"));
    graph->checkSave();
    QCOMPARE(QFileInfo(HostGraph::userFilePath()).lastModified(), written);
    QVERIFY(graph->modified);
}

QTEST_GUILESS_MAIN(TstHostGraph)
#include "tst_host_graph.moc"
