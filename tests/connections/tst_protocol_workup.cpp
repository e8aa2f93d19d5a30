#include "connections/i_protocol.h"
#include "connections/protocol.h"
#include "connections/protocol_data_unit.h"
#include "devices_fixture.h"

#include <QtTest>

namespace {

/// A plug-in built into the test: the rules decide what it takes, and it
/// remembers which devices it was asked about.
class FakeProtocol : public QObject, public IProtocol
{
public:
    FakeProtocol()
    {
        object = this;
        name = QStringLiteral("fake");
    }

    void init() override { }
    IProtocol* createInstance(QObject*) override { return nullptr; }
    bool selectDeviceQuery(QVector<SelectedDeviceItem*>&) override { return false; }
    void reserved() override { }
    void parse(const char*, int) override { }
    void getWorkUpResult(ResultList&) override { }
    bool isReadyForRead(Device* device) override { return !notReady.contains(device); }
    bool isParamForRead(Device*, Param* param) override
    {
        return !rejected.contains(param->DbEntity::name);
    }
    bool isReadyForWrite(Device* device) override { return !notReady.contains(device); }
    bool isParamForWrite(Device*, Param* param) override
    {
        return !rejected.contains(param->DbEntity::name);
    }

    QSet<Device*> notReady;
    QSet<QString> rejected;
};

QString nameOf(const Param* param)
{
    return param->DbEntity::name;
}
QString nameOf(const WriteItem* item)
{
    return nameOf(item->targetParameter);
}
/// The names of the parameters in @p list, in order; none for no list.
template<typename List> QStringList names(const List* list)
{
    QStringList names;
    for (int i = 0; list && i < list->size(); ++i)
        names << nameOf(list->at(i));
    return names;
}

struct WorkUpFixture : DevicesFixture
{
    WorkUpFixture()
    {
        fake = new FakeProtocol;
        protocol.setPlugin(fake);
        protocol.assignDeviceDb(db.get());
        e1 = boundE1(1, 4);
        e2 = boundE1(2, 5);
    }

    /// Reads of the parameters named in @p names, each with @p mark.
    void queueReads(Device* device, const QString& names, int mark = 1)
    {
        for (const QString& name : names.split(' '))
            QVERIFY(db->readQuery(device->name, name, mark, true));
    }
    /// Writes of the parameters named in @p names; a leading '-' marks one
    /// that the plug-in rejects.
    void queueWrites(Device* device, const QString& names)
    {
        for (QString name : names.split(' ')) {
            if (name.startsWith('-'))
                fake->rejected.insert(name.remove(0, 1));
            QVERIFY(name == QLatin1String("label")
                        ? db->writeQuery(device->name, name, QStringLiteral("x"), true)
                        : db->writeQuery(device->name, name, 7ul, true));
        }
    }

    /// The reads of e1 and e2 as "taken/left", with '*' for a device still
    /// listed ('?' when its flag says otherwise).
    QString reads() const
    {
        QStringList parts;
        for (Device* device : {e1, e2}) {
            const bool listed = db->readDeviceList.current().contains(device);
            parts << names(protocol.unit.readQueryMap.value(device)).join(',') + '/' +
                    names(&device->readList.current()).join(',') + (listed ? "*" : "") +
                    (listed != device->inReadDeviceList ? "?" : "");
        }
        return parts.join(' ');
    }
    /// The writes of e1 and e2 as "taken/left", with '*' for a device listed.
    QString writes() const
    {
        QStringList parts;
        for (Device* device : {e1, e2}) {
            parts << names(protocol.unit.writeQueryMap.value(device)).join(',') + '/' +
                    names(device->writeList).join(',') +
                    (db->writeDeviceList.current().contains(device) ? "*" : "");
        }
        return parts.join(' ');
    }

    Protocol protocol;
    FakeProtocol* fake = nullptr;
    Device* e1 = nullptr;
    Device* e2 = nullptr;
};

} // namespace

class TstProtocolWorkUp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsTakeWhatThePlugInAcceptsAndKeepTheRest();
    void heldSchedulerReadsOnlyTheHeldParameterThenBlocks();
    void writesTakeALeadingRunOfOneValueClass_data();
    void writesTakeALeadingRunOfOneValueClass();
    void serviceWritesGoToTheMessageParserNotThePlugIn();
    void readsAndWritesHeldBackByTheirConditions_data();
    void readsAndWritesHeldBackByTheirConditions();
};

void TstProtocolWorkUp::readsTakeWhatThePlugInAcceptsAndKeepTheRest()
{
    WorkUpFixture fx;
    fx.queueReads(fx.e1, "level gain label");
    // Its mark keeps e2.level queued for three requests.
    fx.queueReads(fx.e2, "level", 3);
    fx.fake->rejected = {QStringLiteral("gain")};
    fx.protocol.workUpReadQueries(fx.db->readDeviceList);
    QCOMPARE(fx.reads(), "level,label/gain* level/level*");

    // Once the plug-in takes it, the device leaves the list; the map gathers
    // each parameter once.
    fx.fake->rejected.clear();
    fx.queueReads(fx.e1, "level");
    fx.protocol.workUpReadQueries(fx.db->readDeviceList);
    QCOMPARE(fx.reads(), "level,label,gain/ level/level*");
    fx.protocol.unit.clearReadQueryMap();
    fx.protocol.workUpReadQueries(fx.db->readDeviceList);
    QCOMPARE(fx.reads(), "/ level/");
}

void TstProtocolWorkUp::heldSchedulerReadsOnlyTheHeldParameterThenBlocks()
{
    WorkUpFixture fx;
    fx.queueReads(fx.e1, "level");
    fx.db->blockByLastReadQuery(1, 60);
    QCOMPARE(fx.db->getSchedulerMode(), 1);
    fx.queueReads(fx.e1, "gain");
    fx.queueReads(fx.e2, "level");
    fx.protocol.workUpReadQueries(fx.db->readDeviceList);
    // The held read is out: nothing else goes until its answer releases the
    // scheduler.
    QCOMPARE(fx.reads(), "level/gain* /level*");
    QCOMPARE(fx.db->getSchedulerMode(), 2);
}

void TstProtocolWorkUp::writesTakeALeadingRunOfOneValueClass_data()
{
    // Writes queued on e1, and after a '|' on e2; level and gain numeric,
    // label text; '-' marks one the plug-in rejects. Then the state after
    // each request, split by " ; ".
    QTest::addColumn<QString>("queued");
    QTest::addColumn<QString>("writes");
    auto row = [](const char* name, const char* queued, const char* writes) {
        QTest::newRow(name) << QString(queued) << QString(writes);
    };
    row("numeric-run-stops-at-text", "level gain label level", "level,gain/label,level* /");
    row("rejected-stops-the-run", "level -gain level", "level/gain,level* /");
    // The first write taken decides for the whole request; the next one
    // starts undecided again.
    row("class-holds-across-devices", "label|level label", "label/ /level,label* ; / level/label*");
}

void TstProtocolWorkUp::writesTakeALeadingRunOfOneValueClass()
{
    QFETCH(QString, queued);
    QFETCH(QString, writes);
    WorkUpFixture fx;
    fx.queueWrites(fx.e1, queued.section('|', 0, 0));
    if (queued.contains('|'))
        fx.queueWrites(fx.e2, queued.section('|', 1));
    QStringList requests;
    for (int i = writes.count(';'); i >= 0; --i) {
        fx.protocol.workUpWriteQueries(fx.db->writeDeviceList);
        requests << fx.writes();
        fx.protocol.unit.clearWriteQueryMap();
    }
    QCOMPARE(requests.join(" ; "), writes);
}

void TstProtocolWorkUp::serviceWritesGoToTheMessageParserNotThePlugIn()
{
    WorkUpFixture fx;
    Device* service = fx.db->devices.value(0);
    QVERIFY(service && service->service);
    QVERIFY(fx.db->writeQuery(service->name, "root", QByteArray("E1+09"), QString(), true));

    fx.protocol.workUpWriteQueries(fx.db->writeDeviceList);
    QVERIFY(fx.protocol.unit.writeQueryMap.isEmpty());
    QVERIFY(!service->writeList);
    QVERIFY(fx.db->findDevice("E1_0009"));
}

void TstProtocolWorkUp::readsAndWritesHeldBackByTheirConditions_data()
{
    // A read and a write of e1.level queued; the reads, then the writes.
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QString>("state");
    auto row = [](const char* name, const char* condition, const char* state) {
        QTest::newRow(name) << QString(condition) << QString(state);
    };
    row("blocked-scheduler-still-reads-never-writes", "blocked", "level/ / /level* /");
    row("device-not-ready", "not-ready", "/level* / /level* /");
    row("without-a-plug-in-nothing-moves", "no-plug-in", "/level* / /level* /");
}

void TstProtocolWorkUp::readsAndWritesHeldBackByTheirConditions()
{
    QFETCH(QString, condition);
    QFETCH(QString, state);
    WorkUpFixture fx;
    fx.queueReads(fx.e1, "level");
    fx.queueWrites(fx.e1, "level");
    if (condition == "blocked")
        fx.db->setSchedulerEnabled(false, "test");
    else if (condition == "not-ready")
        fx.fake->notReady = {fx.e1};
    else
        fx.protocol.setPlugin(nullptr);
    fx.protocol.workUpWriteQueries(fx.db->writeDeviceList);
    fx.protocol.workUpReadQueries(fx.db->readDeviceList);
    QCOMPARE(fx.reads() + ' ' + fx.writes(), state);
    // Nor does anything else come out.
    QVector<SelectedDeviceItem*> none;
    QCOMPARE(fx.protocol.selectDeviceQuery(none), false);
    fx.protocol.parse("x", 1);
    ResultList results;
    fx.protocol.getWorkUpResult(results);
    QVERIFY(results.isEmpty());
}

QTEST_GUILESS_MAIN(TstProtocolWorkUp)
#include "tst_protocol_workup.moc"
