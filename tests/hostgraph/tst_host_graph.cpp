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
    void createdHostHasAnEngineAndAKnownTypeOrNone();
    void deletingAFolderTakesItsSubtreeAndEnginesEvenWhenLooped();
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

    // A folder may take a host's key, but not another folder's, which is
    // refused silently.
    fx.log.clear();
    QVERIFY(fx.graph->createFolder(4, 0, "four"));
    QVERIFY(!fx.graph->createFolder(4, 0, "again"));
    QVERIFY(!fx.graph->createBoxFolder(4, 0, "box", "box.xml"));
    QCOMPARE(fx.graph->folderList.size(), 3);
    QVERIFY(fx.log.entries().isEmpty());
    QCOMPARE(fx.graph->createKey(), 5);
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
    QCOMPARE(known->parent(), fx.graph.get());
    QCOMPARE(fx.graph->hostList, QList<NodeAttr*>({known, unknown}));

    Engine* engine = fx.box->getEngine(2);
    QVERIFY(engine);
    QCOMPARE(engine->nodeAttr(), unknown);
    QCOMPARE(unknown->engineIndex, 1);
    QCOMPARE(unknown->customVars().value("request_limit"), QStringLiteral("16"));

    // A taken key, an unknown protocol and no protocols at all are refused
    // and change nothing.
    fx.graph->modified = false;
    QVERIFY(!fx.addHost(1));
    QVERIFY(!fx.addHost(3, 0, "snmp"));
    share::protocolManager = nullptr;
    QVERIFY(!fx.addHost(3));
    const QString noProtocol = QStringLiteral("[HostGraph::createHost()] Protocol '%1' does not "
                                              "exists.");
    QCOMPARE(fx.log.errors(),
             QStringList({QStringLiteral("[HostGraph::createHost()] Key 1 already exists."),
                          noProtocol.arg("snmp"), noProtocol.arg("test-tcp")}));
    QCOMPARE(fx.graph->hostList.size(), 2);
    QCOMPARE(fx.box->engines.size(), 2);
    QVERIFY(!fx.graph->modified);
}

void TstHostGraph::deletingAFolderTakesItsSubtreeAndEnginesEvenWhenLooped()
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
    QPointer<Engine> engine = fx.box->getEngine(10);
    fx.graph->modified = false;

    QVERIFY(fx.graph->deleteFolder(1));
    QVERIFY(fx.graph->modified);
    QCOMPARE(fx.graph->foldersByKey.keys(), QList<int>({3, 4}));
    QCOMPARE(fx.graph->hostList, QList<NodeAttr*>({outside, topLevel}));
    QCOMPARE(fx.box->engines.size(), 2);
    QCOMPARE(topLevel->engineIndex, 1);
    // An engine outlives its host until the event loop runs, and must not
    // touch the deleted host meanwhile.
    QVERIFY(engine);
    QVERIFY(!engine->nodeAttr());
    engine->connectToHost();
    QTRY_VERIFY(engine.isNull());

    // An empty folder is a change too.
    fx.graph->modified = false;
    QVERIFY(fx.graph->deleteFolder(4));
    QVERIFY(fx.graph->modified);

    // Folders looped onto themselves go too; unknown keys change nothing.
    fx.graph->createFolder(5, 5, "loop");
    fx.graph->createFolder(6, 7, "a");
    fx.graph->createFolder(7, 6, "b");
    fx.graph->modified = false;
    QVERIFY(!fx.graph->deleteHost(5)); // a folder's key is no host's
    QVERIFY(!fx.graph->deleteFolder(9));
    QVERIFY(!fx.graph->modified);
    QVERIFY(fx.graph->deleteFolder(5));
    QVERIFY(fx.graph->deleteFolder(6));
    QCOMPARE(fx.graph->foldersByKey.keys(), QList<int>({3}));
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
