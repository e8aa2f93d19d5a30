// The devices and parameters of a host as the client shows them: against
// tavo-nesim running the demo equipment, and against a device database of the
// demo classes that the test feeds itself.

#include "client_fixture.h"
#include "device_model.h"
#include "param_delegate.h"
#include "param_model.h"

#include "connections/engine.h"
#include "connections/engine_box.h"
#include "devices/device_db.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"

#include <QComboBox>
#include <QStyleOptionViewItem>
#include <QtTest>

namespace {

// A device of the demo classes on a database of the test's own: values
// arrive when the test says so, and writes stay queued where it can see them.
struct LocalDevice
{
    explicit LocalDevice(const QString& className)
    {
        device = db.createEmptyDevice(className, 5, 0, deviceCode);
        device->populateDevice();
        for (Param* param : qAsConst(device->parameters)) {
            if (param->arraySize > 0 && !param->isVirtual)
                db.setParamCode(deviceCode, param->DbEntity::name, param->indexInDevice);
        }
        model.setDevice(&db, device);
    }
    Param* param(const QString& name) const { return device->parametersByName.value(name); }
    void deliver(const QString& name, unsigned long value)
    {
        db.setParamValue(deviceCode, param(name)->code, value);
    }
    QString value(const QString& name) const
    {
        return model.indexOf(name, ParamModel::ValueColumn).data().toString();
    }

    static constexpr int deviceCode = 7;
    DeviceDb db {nullptr, nullptr};
    Device* device = nullptr;
    ParamModel model;
};

bool writeQueuedFor(const Device* device, const Param* param)
{
    const Param* target = const_cast<Param*>(param)->correctForBaseParam();
    for (const WriteItem* item : device->writeList ? *device->writeList : QList<WriteItem*>()) {
        if (item->targetParameter == target)
            return true;
    }
    return false;
}

QVector<int> ticketsOf(const Device* device)
{
    QVector<int> tickets;
    for (const Param* param : device->parameters)
        tickets << param->tickets.size();
    return tickets;
}

} // namespace

class TestParamModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase() { m_fixture.reset(); }

    void devicesOfTheHostAppearWithoutTheServiceDevice();
    void refusedTextIsReportedAndNothingIsWritten_data();
    void refusedTextIsReportedAndNothingIsWritten();
    void hidingGivesTheTicketsBack_data();
    void hidingGivesTheTicketsBack();

    void bitsAndArrayElementsAreChildrenOfTheirBase();
    void updatesAreToldOnceAndFollowThePresentation();
    void alarmStateIsShownWithItsSeverity();
    void onlyWritableParametersOfPermittedUsersAreEditable_data();
    void onlyWritableParametersOfPermittedUsersAreEditable();
    void delegateEditsWithTheEditorTheValueCallsFor_data();
    void delegateEditsWithTheEditorTheValueCallsFor();

private:
    DeviceDb* hostDb() const { return m_engine ? m_engine->deviceDb() : nullptr; }
    Device* hostDevice(const QString& name) const
    {
        return hostDb() ? hostDb()->findDevice(name) : nullptr;
    }

    std::unique_ptr<ClientFixture> m_fixture;
    Engine* m_engine = nullptr;
};

void TestParamModel::initTestCase()
{
    m_fixture = std::make_unique<ClientFixture>();
    QVERIFY(m_fixture->simulatorRunning());
    NodeAttr* host = m_fixture->addSimulatorHost();
    QVERIFY(host);
    m_engine = share::engineBox->getEngineByNodeAttr(host);
    QVERIFY(m_engine);
    m_engine->connectToHost();
    QTRY_VERIFY_WITH_TIMEOUT(
        hostDevice(QStringLiteral("E1_0001")) && hostDevice(QStringLiteral("PSU_0001")), 20000);
}

void TestParamModel::devicesOfTheHostAppearWithoutTheServiceDevice()
{
    DeviceModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setDeviceDb(hostDb());
    const QStringList demo = rowsOf(model, {0}) + rowsOf(model, {0}, Qt::ToolTipRole);
    QCOMPARE(demo,
             QStringList({"E1_0001", "E1_0002", "PSU_0001", "CTRL_0000", "Class: E1\nInterface: e1",
                          "Class: E1\nInterface: e1", "Class: PSU\nInterface: psu",
                          "Class: CTRL\nInterface: ctrl"}));
    QCOMPARE(model.deviceAt(model.indexOf(QStringLiteral("PSU_0001"))),
             hostDevice(QStringLiteral("PSU_0001")));

    // A device the host drops leaves the list; one it adds joins it.
    QVERIFY(
        hostDb()->addDevice(QStringLiteral("E1"), 0x40, 0x40, -1, Tavo::NativeProtocol, QString()));
    QCOMPARE(rowsOf(model, {0}).last(), QStringLiteral("E1_4040"));
    QCOMPARE(model.index(4).data(Qt::ToolTipRole).toString(), QStringLiteral("Class: E1"));
    hostDb()->removeDevice(QStringLiteral("E1_4040"));
    QCOMPARE(rowsOf(model, {0}) + rowsOf(model, {0}, Qt::ToolTipRole), demo);
}

void TestParamModel::refusedTextIsReportedAndNothingIsWritten_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("param");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason");

    auto row = [](const char* name, const char* device, const char* param, const QString& text,
                  const char* reason) {
        QTest::newRow(name) << QString::fromLatin1(device) << QString::fromLatin1(param) << text
                            << QString::fromUtf8(reason);
    };
    row("empty for a number", "PSU_0001", "load", QString(), "'' is not a valid value for load");
    row("above the maximum", "PSU_0001", "load", QStringLiteral("101"),
        "'101' is above the maximum 100 of load");
    row("unknown alias", "E1_0001", "loopback", QStringLiteral("sideways"),
        "'sideways' is not a valid value for loopback");
    row("number outside the variants", "E1_0001", "loopback", QStringLiteral("7"),
        "'7' is not a valid value for loopback");
    row("text beyond Latin-1", "E1_0001", "label", QStringLiteral("Port \u03a9"),
        "'Port \u03a9' is not a valid value for label");
    row("read-only", "E1_0001", "los", QStringLiteral("1"), "los cannot be written");
}

void TestParamModel::refusedTextIsReportedAndNothingIsWritten()
{
    QFETCH(QString, device);
    QFETCH(QString, param);
    QFETCH(QString, text);
    QFETCH(QString, reason);

    ParamModel model;
    QSignalSpy refused(&model, &ParamModel::writeRefused);
    Device* dev = hostDevice(device);
    model.setDevice(hostDb(), dev);
    const Param* target = dev->parametersByName.value(param);
    const bool wasPending = target->writePending;

    QVERIFY(!model.setData(model.indexOf(param, ParamModel::ValueColumn), text));
    QCOMPARE(refused.count(), 1);
    QCOMPARE(refused.at(0).at(0).toString(), param);
    QCOMPARE(refused.at(0).at(1).toString(), reason);
    QCOMPARE(target->writePending, wasPending);
    QVERIFY(!writeQueuedFor(dev, target));
}

void TestParamModel::hidingGivesTheTicketsBack_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("inactive") << 0;
    QTest::newRow("other device") << 1;
    QTest::newRow("no device") << 2;
    QTest::newRow("model destroyed") << 3;
}

void TestParamModel::hidingGivesTheTicketsBack()
{
    QFETCH(int, how);

    Device* dev = hostDevice(QStringLiteral("E1_0002"));
    QVERIFY(dev);
    const QVector<int> before = ticketsOf(dev);
    QVector<int> taken;
    for (int tickets : before)
        taken << tickets + 1;

    auto model = std::make_unique<ParamModel>();
    model->setDevice(hostDb(), dev);
    QCOMPARE(ticketsOf(dev), before);
    model->setActive(true);
    QCOMPARE(ticketsOf(dev), taken);
    model->setPeriod(2);
    for (const Param* param : qAsConst(dev->parameters))
        QVERIFY(param->tickets.get(0)->period <= 2);

    switch (how) {
    case 0:
        model->setActive(false);
        break;
    case 1:
        model->setDevice(hostDb(), hostDevice(QStringLiteral("E1_0001")));
        break;
    case 2:
        model->setDevice(nullptr, nullptr);
        break;
    default:
        model.reset();
        break;
    }
    QCOMPARE(ticketsOf(dev), before);
}

void TestParamModel::bitsAndArrayElementsAreChildrenOfTheirBase()
{
    LocalDevice local(QStringLiteral("E1"));
    QAbstractItemModelTester tester(&local.model,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    // A read of the base word reaches its bits.
    local.deliver(QStringLiteral("status"), 0x5);
    QTRY_COMPARE(local.value(QStringLiteral("status_bit_2")), QStringLiteral("1"));
    QCOMPARE(rowsOf(local.model, {ParamModel::NameColumn, ParamModel::ValueColumn}),
             QStringList({"alarm|", "los|", "crc_errors|", "status|5", "  status_bit_0|1",
                          "  status_bit_1|0", "  status_bit_2|1", "  status_bit_3|0", "slips_0|",
                          "  slips_1|", "  slips_2|", "label|", "loopback|", "errors_total|"}));
    const QModelIndex bit = local.model.indexOf(QStringLiteral("status_bit_2"));
    QCOMPARE(local.model.paramAt(bit), local.param(QStringLiteral("status_bit_2")));
    QVERIFY(local.model.flags(bit) & Qt::ItemNeverHasChildren);
}

void TestParamModel::updatesAreToldOnceAndFollowThePresentation()
{
    LocalDevice local(QStringLiteral("E1"));
    QSignalSpy changed(&local.model, &QAbstractItemModel::dataChanged);
    const QModelIndex value =
        local.model.indexOf(QStringLiteral("crc_errors"), ParamModel::ValueColumn);
    const QModelIndex lastRead = value.siblingAtColumn(ParamModel::LastReadColumn);
    QCOMPARE(value.data().toString() + lastRead.data().toString(), QString());

    for (unsigned long v = 1; v <= 100; ++v)
        local.deliver(QStringLiteral("crc_errors"), v);
    QTRY_COMPARE(changed.count(), 1);
    const QModelIndex topLeft = changed.at(0).at(0).toModelIndex();
    const QModelIndex bottomRight = changed.at(0).at(1).toModelIndex();
    QCOMPARE(topLeft.row(), value.row());
    QCOMPARE(bottomRight.row(), value.row());
    QVERIFY(topLeft.column() <= ParamModel::ValueColumn);
    QVERIFY(bottomRight.column() >= ParamModel::LastReadColumn);
    QCOMPARE(value.data().toString(), QStringLiteral("100"));
    QVERIFY(!lastRead.data().toString().isEmpty());

    // Two neighbouring rows and one further away: one notice for the pair,
    // one for the other.
    changed.clear();
    local.deliver(QStringLiteral("los"), 1);
    local.deliver(QStringLiteral("crc_errors"), 3);
    local.deliver(QStringLiteral("loopback"), 2);
    QTRY_COMPARE(changed.count(), 2);

    // Another presentation repaints the values at once.
    changed.clear();
    local.deliver(QStringLiteral("crc_errors"), 255);
    local.model.setPresentation(16, false);
    QVERIFY(!changed.isEmpty());
    QCOMPARE(value.data().toString(), QStringLiteral("0xff"));
    // Edited as the form parsing reads it back.
    QCOMPARE(value.data(Qt::EditRole).toString(), QStringLiteral("255"));
}

void TestParamModel::alarmStateIsShownWithItsSeverity()
{
    LocalDevice local(QStringLiteral("PSU"));
    const QModelIndex state = local.model.indexOf(QStringLiteral("temp"), ParamModel::StateColumn);
    QCOMPARE(state.data(ParamModel::SeverityRole).toInt(), -2);
    QVERIFY(state.data().toString().isEmpty());

    QSignalSpy changed(&local.model, &QAbstractItemModel::dataChanged);
    Param* temp = local.param(QStringLiteral("temp"));
    temp->alarmCache = Tavo::CRIT;
    local.model.paramStateChanged(temp, Tavo::CRIT, -2);
    QTRY_VERIFY(!changed.isEmpty());
    QCOMPARE(state.data().toString(), share::alarmStateToStr(Tavo::CRIT));
    QCOMPARE(state.data(ParamModel::SeverityRole).toInt(), int(Tavo::CRIT));
    QCOMPARE(state.data(Qt::DecorationRole).value<QColor>(), share::colorForAlarmType(Tavo::CRIT));
}

void TestParamModel::onlyWritableParametersOfPermittedUsersAreEditable_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("param");
    QTest::addColumn<bool>("editable");

    QTest::newRow("writer, writable") << "engineer" << QStringLiteral("load") << true;
    QTest::newRow("writer, read-only") << "engineer" << QStringLiteral("temp") << false;
    QTest::newRow("viewer, writable") << "viewer" << QStringLiteral("load") << false;
    QTest::newRow("no users, writable") << QString() << "load" << true;
}

void TestParamModel::onlyWritableParametersOfPermittedUsersAreEditable()
{
    QFETCH(QString, user);
    QFETCH(QString, param);
    QFETCH(bool, editable);

    UserCapabilities users;
    users.capabilities.insert(QStringLiteral("engineer"), {});
    users.capabilities.insert(QStringLiteral("viewer"), {});
    users.append(QStringLiteral("engineer"), {QStringLiteral("write"), QStringLiteral("Write")});
    users.append(QStringLiteral("viewer"), {QStringLiteral("terminal"), QStringLiteral("Open")});
    LocalDevice local(QStringLiteral("PSU"));
    if (!user.isEmpty()) {
        local.model.setUsers(&users);
        QVERIFY(users.setCurrentUser(user));
    }
    QSignalSpy refused(&local.model, &ParamModel::writeRefused);
    const QModelIndex value = local.model.indexOf(param, ParamModel::ValueColumn);
    QCOMPARE(bool(value.flags() & Qt::ItemIsEditable), editable);
    QVERIFY(!(local.model.indexOf(param).flags() & Qt::ItemIsEditable));

    QCOMPARE(local.model.setData(value, QStringLiteral("12")), editable);
    QCOMPARE(refused.count(), editable ? 0 : 1);
    QCOMPARE(writeQueuedFor(local.device, local.param(param)), editable);
    QCOMPARE(value.data(ParamModel::WritePendingRole).toBool(), editable);

    // A change of user changes what may be edited.
    if (!user.isEmpty()) {
        QVERIFY(users.setCurrentUser(UserCapabilities::undefinedUserName()));
        QVERIFY(!(value.flags() & Qt::ItemIsEditable));
    }
}

void TestParamModel::delegateEditsWithTheEditorTheValueCallsFor_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("param");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<QString>("chosen"); // what the operator types or picks

    QTest::newRow("variants") << "E1" << QStringLiteral("loopback") << "QComboBox"
                              << "local";
    QTest::newRow("text") << "E1" << QStringLiteral("label") << "QLineEdit"
                          << "Port B";
    QTest::newRow("signed") << "PSU" << QStringLiteral("temp") << "QSpinBox"
                            << "-12";
    QTest::newRow("float") << "PSU" << QStringLiteral("v_in") << "QDoubleSpinBox"
                           << "48.5";
}

void TestParamModel::delegateEditsWithTheEditorTheValueCallsFor()
{
    QFETCH(QString, device);
    QFETCH(QString, param);
    QFETCH(QString, editor);
    QFETCH(QString, chosen);

    LocalDevice local(device);
    if (local.param(QStringLiteral("loopback")))
        local.deliver(QStringLiteral("loopback"), 0);
    ParamDelegate delegate;
    QWidget parent;
    const QModelIndex value = local.model.indexOf(param, ParamModel::ValueColumn);
    std::unique_ptr<QWidget> widget(delegate.createEditor(&parent, QStyleOptionViewItem(), value));
    QVERIFY(widget);
    QVERIFY2(widget->inherits(qPrintable(editor)), widget->metaObject()->className());
    delegate.setEditorData(widget.get(), value);
    if (auto* combo = qobject_cast<QComboBox*>(widget.get())) {
        QCOMPARE(combo->currentText(), QStringLiteral("off"));
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        QCOMPARE(items, QStringList({"off", "local", "remote"}));
    }

    QVERIFY(widget->metaObject()->userProperty().write(widget.get(), chosen));
    delegate.setModelData(widget.get(), &local.model, value);
    // Read-only values are shown in the same editors, and not written.
    QCOMPARE(writeQueuedFor(local.device, local.param(param)),
             bool(value.flags() & Qt::ItemIsEditable));
    if (editor == QLatin1String("QComboBox"))
        QCOMPARE(local.device->writeList->at(0)->value, 1u);
}

QTEST_MAIN(TestParamModel)
#include "tst_param_model.moc"
