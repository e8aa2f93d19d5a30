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
    void loopedFoldersAreDeletedAndUnknownKeysAreNot();
    void userFileIsWrittenWhenChangedAndReadAtConstruction();
};

void TstHostGraph::keysAreTheFirstGapAmongFoldersAndHosts()
{
    GraphFixture fx;
    QCOMPARE(fx.graph->createKey(), 1);
    QVERIFY(fx.addHost(1));
    QVERIFY(fx.addHost(3));
    QVERIFY(fx.graph->createFolder(2, 0, "f"));
    QCOMPARE(fx.graph->createKey(), 4);
    QVERIFY(fx.graph->deleteHost(1));
    QCOMPARE(fx.graph->createKey(), 1);

    // A negative key asks for the next free one.
    QCOMPARE(fx.graph->createFolder(-1, 0, "g")->key(), 1);
    QCOMPARE(fx.addHost(-1, 1)->key(), 4);
}

void TstHostGraph::folderKeysAreOnlyComparedWithFolders()
{
    GraphFixture fx;
    QVERIFY(fx.addHost(5));
    fx.log.clear();
    QVERIFY(fx.graph->createFolder(5, 0, "five"));
    QVERIFY(!fx.graph->createFolder(5, 0, "again"));
    QVERIFY(!fx.graph->createBoxFolder(5, 0, "box", "box.xml"));
    QCOMPARE(fx.graph->folderList.size(), 1);
    QVERIFY(fx.log.entries().isEmpty()); // a taken folder key is refused silently
    for (int key = 1; key < 5; ++key)
        QVERIFY(fx.graph->createFolder(-1, 0, "k"));
    QCOMPARE(fx.graph->createKey(), 6);
}

void TstHostGraph::createdHostHasAnEngineAndAKnownTypeOrNone()
{
    GraphFixture fx;
    QVERIFY(!fx.graph->modified);
    NodeAttr* known = fx.graph->createNodeAttr(1, "mux", "test-tcp", "10.0.0.1", 0, 0, "known");
    NodeAttr* unknown =
        fx.graph->createNodeAttr(2, "xyz", "test-udp", "10.0.0.2", 9000, 0, "unknown");
    QVERIFY(known && unknown);
    QVERIFY(fx.graph->modified);
    QCOMPARE(known->hostTypeName(), QStringLiteral("mux"));
    QCOMPARE(unknown->hostTypeName(), NULL_HOST_TYPE);
    QCOMPARE(known->port(), quint16(0));
    QCOMPARE(known->parent(), fx.graph.get());
    QCOMPARE(fx.graph->hostList, QList<NodeAttr*>({known, unknown}));
    QCOMPARE(fx.graph->hostsByKey.value(2), unknown);

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
    QVERIFY(fx.addHost(1));
    fx.graph->modified = false;
    fx.log.clear();
    QVERIFY(!fx.addHost(1));
    QVERIFY(!fx.addHost(2, 0, "snmp"));
    QCOMPARE(fx.log.errors(),
             QStringList({QStringLiteral("[HostGraph::createHost()] Key 1 already exists."),
                          QStringLiteral("[HostGraph::createHost()] Protocol 'snmp' does not "
                                         "exists.")}));
    QCOMPARE(fx.graph->hostList.size(), 1);
    QCOMPARE(fx.box->engines.size(), 1);
    QVERIFY(!fx.graph->modified);

    // Without a protocol manager no protocol is loaded.
    share::protocolManager = nullptr;
    QVERIFY(!fx.addHost(3));
}

void TstHostGraph::deletingAHostDeletesItsEngine()
{
    GraphFixture fx;
    fx.addHost(1);
    NodeAttr* second = fx.addHost(2);
    QPointer<Engine> engine = fx.box->getEngine(1);
    fx.graph->modified = false;
    QVERIFY(fx.graph->deleteHost(1));
    QVERIFY(fx.graph->modified);
    QVERIFY(!fx.graph->hostsByKey.contains(1));
    QCOMPARE(fx.graph->hostList, QList<NodeAttr*>({second}));
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
    fx.graph->createFolder(1, 0, "top");
    fx.graph->createBoxFolder(2, 1, "sub", "box.xml");
    fx.graph->createFolder(3, 0, "other");
    fx.graph->createFolder(4, 0, "empty");
    fx.addHost(10, 1);
    fx.addHost(11, 1);
    fx.addHost(12, 2);
    NodeAttr* outside = fx.addHost(13, 3);
    NodeAttr* topLevel = fx.addHost(14, 0);
    fx.graph->modified = false;

    QVERIFY(fx.graph->deleteFolder(1));
    QVERIFY(fx.graph->modified);
    QCOMPARE(fx.graph->foldersByKey.keys(), QList<int>({3, 4}));
    QCOMPARE(fx.graph->hostList, QList<NodeAttr*>({outside, topLevel}));
    for (int key : {10, 11, 12})
        QVERIFY(!fx.box->getEngine(key));
    QCOMPARE(fx.box->engines.size(), 2);
    QCOMPARE(topLevel->engineIndex, 1);

    // An empty folder is a change too.
    fx.graph->modified = false;
    QVERIFY(fx.graph->deleteFolder(4));
    QVERIFY(fx.graph->modified);
}

void TstHostGraph::loopedFoldersAreDeletedAndUnknownKeysAreNot()
{
    GraphFixture fx;
    fx.graph->createFolder(1, 1, "loop");
    fx.graph->createFolder(2, 3, "a");
    fx.graph->createFolder(3, 2, "b");
    fx.graph->modified = false;
    QVERIFY(!fx.graph->deleteHost(1)); // a folder's key is no host's
    QVERIFY(!fx.graph->deleteFolder(7));
    QVERIFY(!fx.graph->modified);
    QVERIFY(fx.graph->deleteFolder(1));
    QVERIFY(fx.graph->deleteFolder(2));
    QVERIFY(fx.graph->folderList.isEmpty());
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
        fx.graph = fx.freshGraph();
        QCOMPARE(fx.graph->fileName, path);
        fx.graph->checkSave();
        QVERIFY(!QFileInfo::exists(path)); // unchanged: nothing written
        fx.graph->createFolder(1, 0, "saved");
        fx.addHost(2, 1);
        fx.graph->checkSave();
        QVERIFY(QFileInfo::exists(path)); // the folder was created on the way
        QVERIFY(!fx.graph->modified);
    }
    fx.graph = fx.freshGraph();
    QCOMPARE(fx.graph->folderList.size(), 1);
    QCOMPARE(fx.graph->hostList.size(), 1);
    QVERIFY(fx.box->getEngine(2));
    QVERIFY(!fx.graph->modified); // read back, not changed

    // A single-host session leaves the user's file alone both ways.
    const QDateTime written = QFileInfo(path).lastModified();
    share::isSingleMode = true;
    fx.graph = fx.freshGraph();
    QVERIFY(fx.graph->folderList.isEmpty());
    QVERIFY(fx.graph->fileName.isEmpty());
    fx.graph->createFolder(1, 0, "changed");
    fx.graph->checkSave();
    QCOMPARE(QFileInfo(path).lastModified(), written);
    QVERIFY(fx.graph->modified);
}

QTEST_GUILESS_MAIN(TstHostGraph)
#include "tst_host_graph.moc"
