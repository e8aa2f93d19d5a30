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
#include "users/user_capabilities.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStyleOptionViewItem>
#include <QTest>

#include <memory>

namespace {

bool writeQueuedFor(const Device* device, const Param* param)
{
    const Param* target = const_cast<Param*>(param)->correctForBaseParam();
    for (const WriteItem* item : device->writeList ? *device->writeList : QList<WriteItem*>()) {
        if (item->targetParameter == target)
            return true;
    }
    return false;
}

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
    }
    Param* param(const QString& name) const { return device->parametersByName.value(name); }
    void deliver(const QString& name, unsigned long value)
    {
        db.setParamValue(deviceCode, param(name)->code, value);
    }
    bool writeQueuedFor(const Param* param) const { return ::writeQueuedFor(device, param); }

    static constexpr int deviceCode = 7;
    DeviceDb db {nullptr, nullptr};
    Device* device = nullptr;
};

QStringList childNames(const ParamModel& model, const QModelIndex& parent)
{
    QStringList names;
    for (int row = 0; row < model.rowCount(parent); ++row)
        names << model.index(row, ParamModel::NameColumn, parent).data().toString();
    return names;
}

} // namespace

class TestParamModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void devicesOfTheHostAppearWithoutTheServiceDevice();
    void valueIsShownWrittenAndReadBack_data();
    void valueIsShownWrittenAndReadBack();
    void refusedTextIsReportedAndNothingIsWritten_data();
    void refusedTextIsReportedAndNothingIsWritten();
    void hidingGivesTheTicketsBack_data();
    void hidingGivesTheTicketsBack();

    void bitsAndArrayElementsAreChildrenOfTheirBase();
    void updatesBetweenTwoRepaintsAreToldOnce();
    void valueFollowsThePresentation_data();
    void valueFollowsThePresentation();
    void alarmStateIsShownWithItsSeverity();
    void onlyWritableParametersOfPermittedUsersAreEditable_data();
    void onlyWritableParametersOfPermittedUsersAreEditable();
    void delegatePicksTheEditorTheValueCallsFor_data();
    void delegatePicksTheEditorTheValueCallsFor();
    void delegateHandsTheChosenTextToTheModel();

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

void TestParamModel::cleanupTestCase()
{
    m_engine = nullptr;
    m_fixture.reset();
}

void TestParamModel::devicesOfTheHostAppearWithoutTheServiceDevice()
{
    DeviceModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setDeviceDb(hostDb());

    for (const char* name : {"E1_0001", "E1_0002", "PSU_0001", "CTRL_0000"}) {
        const QModelIndex index = model.indexOf(QLatin1String(name));
        QVERIFY2(index.isValid(), name);
        QCOMPARE(index.data().toString(), QLatin1String(name));
        QCOMPARE(model.deviceAt(index)->name, QLatin1String(name));
        QVERIFY(index.data(Qt::ToolTipRole).toString().contains(model.deviceAt(index)->className));
    }
    QVERIFY(!model.indexOf(QStringLiteral("SERVICE_0000")).isValid());
    QCOMPARE(model.rowCount(), hostDb()->devices.size() - 1);
    for (int row = 0; row < model.rowCount(); ++row)
        QVERIFY(!model.deviceAt(model.index(row))->service);

    // A device the host drops leaves the list; one it adds joins it.
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    const int rows = model.rowCount();
    Device* added =
        hostDb()->addDevice(QStringLiteral("E1"), 0x40, 0x40, -1, Tavo::NativeProtocol, QString());
    QVERIFY(added);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(model.rowCount(), rows + 1);
    QCOMPARE(model.index(rows).data().toString(), QStringLiteral("E1_4040"));
    hostDb()->removeDevice(QStringLiteral("E1_4040"));
    QCOMPARE(removed.count(), 1);
    QCOMPARE(model.rowCount(), rows);
    QVERIFY(!model.indexOf(QStringLiteral("E1_4040")).isValid());
}

void TestParamModel::valueIsShownWrittenAndReadBack_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("param");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("written");

    QTest::newRow("alias") << "E1_0001" << QStringLiteral("loopback") << "off"
                           << "remote";
    QTest::newRow("text") << "E1_0001" << QStringLiteral("label") << "Port A"
                          << "Port B";
    QTest::newRow("number") << "PSU_0001" << QStringLiteral("load") << "30"
                            << "55";
}

void TestParamModel::valueIsShownWrittenAndReadBack()
{
    QFETCH(QString, device);
    QFETCH(QString, param);
    QFETCH(QString, shown);
    QFETCH(QString, written);

    ParamModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy refused(&model, &ParamModel::writeRefused);
    model.setPeriod(1);
    model.setDevice(hostDb(), hostDevice(device));
    model.setActive(true);
    const QModelIndex value = model.indexOf(param, ParamModel::ValueColumn);
    QVERIFY(value.isValid());
    QTRY_COMPARE_WITH_TIMEOUT(value.data().toString(), shown, 15000);
    // The time is of the reads this model has seen, which follow its tickets.
    QTRY_VERIFY_WITH_TIMEOUT(
        !model.indexOf(param, ParamModel::LastReadColumn).data().toString().isEmpty(), 15000);
    QCOMPARE(model.indexOf(param, ParamModel::AccessColumn).data().toString(),
             QStringLiteral("RW"));

    QVERIFY(model.flags(value) & Qt::ItemIsEditable);
    QVERIFY(model.setData(value, written));
    QCOMPARE(refused.count(), 0);
    QVERIFY(value.data(ParamModel::WritePendingRole).toBool());
    const QString told = QStringLiteral("tavo-nesim: %1.%2 written").arg(device, param);
    QTRY_VERIFY_WITH_TIMEOUT(m_fixture->simulatorOutput().contains(told), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(value.data().toString(), written, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(!value.data(ParamModel::WritePendingRole).toBool(), 15000);
}

void TestParamModel::refusedTextIsReportedAndNothingIsWritten_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("param");
    QTest::addColumn<QString>("text");

    auto row = [](const char* name, const char* device, const char* param, const QString& text) {
        QTest::newRow(name) << QString::fromLatin1(device) << QString::fromLatin1(param) << text;
    };
    row("letters for a number", "PSU_0001", "load", QStringLiteral("abc"));
    row("sign for an unsigned number", "PSU_0001", "load", QStringLiteral("-5"));
    row("empty for a number", "PSU_0001", "load", QString());
    row("unknown alias", "E1_0001", "loopback", QStringLiteral("sideways"));
    row("number outside the variants", "E1_0001", "loopback", QStringLiteral("7"));
    row("text beyond Latin-1", "E1_0001", "label", QStringLiteral("Port \u03a9"));
    row("read-only", "E1_0001", "los", QStringLiteral("1"));
}

void TestParamModel::refusedTextIsReportedAndNothingIsWritten()
{
    QFETCH(QString, device);
    QFETCH(QString, param);
    QFETCH(QString, text);

    ParamModel model;
    QSignalSpy refused(&model, &ParamModel::writeRefused);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    Device* dev = hostDevice(device);
    model.setDevice(hostDb(), dev);
    const Param* target = dev->parametersByName.value(param);
    QVERIFY(target);
    const bool wasPending = target->writePending;

    QVERIFY(!model.setData(model.indexOf(param, ParamModel::ValueColumn), text));
    QCOMPARE(refused.count(), 1);
    QCOMPARE(refused.at(0).at(0).toString(), param);
    QVERIFY(!refused.at(0).at(1).toString().isEmpty());
    QCOMPARE(target->writePending, wasPending);
    QVERIFY(!writeQueuedFor(dev, target));
    QCOMPARE(changed.count(), 0);
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
    QVector<int> before;
    for (const Param* param : qAsConst(dev->parameters))
        before << param->tickets.size();

    auto model = std::make_unique<ParamModel>();
    model->setDevice(hostDb(), dev);
    QCOMPARE(dev->parameters.at(0)->tickets.size(), before.at(0));
    model->setActive(true);
    for (int i = 0; i < dev->parameters.size(); ++i)
        QCOMPARE(dev->parameters.at(i)->tickets.size(), before.at(i) + 1);
    model->setPeriod(2);
    for (const Param* param : qAsConst(dev->parameters)) {
        QVERIFY(param->tickets.size() > 0);
        QVERIFY(param->tickets.get(0)->period <= 2);
    }

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
    for (int i = 0; i < dev->parameters.size(); ++i)
        QCOMPARE(dev->parameters.at(i)->tickets.size(), before.at(i));
}

void TestParamModel::bitsAndArrayElementsAreChildrenOfTheirBase()
{
    LocalDevice local(QStringLiteral("E1"));
    ParamModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setDevice(&local.db, local.device);

    const QStringList top = childNames(model, {});
    for (const char* name : {"los", "status", "slips_0", "label", "errors_total"})
        QVERIFY2(top.contains(QLatin1String(name)), name);
    for (const char* name : {"status_bit_0", "status_bit_1", "slips_1", "slips_2"})
        QVERIFY2(!top.contains(QLatin1String(name)), name);

    QCOMPARE(childNames(model, model.indexOf(QStringLiteral("status"))),
             QStringList({"status_bit_0", "status_bit_1", "status_bit_2", "status_bit_3"}));
    QCOMPARE(childNames(model, model.indexOf(QStringLiteral("slips_0"))),
             QStringList({"slips_1", "slips_2"}));
    const QModelIndex bit = model.indexOf(QStringLiteral("status_bit_2"));
    QCOMPARE(bit.parent(), model.indexOf(QStringLiteral("status")));
    QCOMPARE(model.paramAt(bit), local.param(QStringLiteral("status_bit_2")));
    QVERIFY(model.flags(bit) & Qt::ItemNeverHasChildren);

    // A read of the base word reaches its bits.
    local.deliver(QStringLiteral("status"), 0x5);
    QTRY_COMPARE(
        model.indexOf(QStringLiteral("status_bit_2"), ParamModel::ValueColumn).data().toString(),
        QStringLiteral("1"));
    QCOMPARE(
        model.indexOf(QStringLiteral("status_bit_1"), ParamModel::ValueColumn).data().toString(),
        QStringLiteral("0"));
}

void TestParamModel::updatesBetweenTwoRepaintsAreToldOnce()
{
    LocalDevice local(QStringLiteral("E1"));
    ParamModel model;
    model.setDevice(&local.db, local.device);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const QModelIndex value = model.indexOf(QStringLiteral("crc_errors"), ParamModel::ValueColumn);
    QVERIFY(value.data().toString().isEmpty());
    QVERIFY(model.indexOf(QStringLiteral("crc_errors"), ParamModel::LastReadColumn)
                .data()
                .toString()
                .isEmpty());

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
    QVERIFY(!model.indexOf(QStringLiteral("crc_errors"), ParamModel::LastReadColumn)
                 .data()
                 .toString()
                 .isEmpty());

    // Two neighbouring rows and one further away: one notice for the pair,
    // one for the other.
    changed.clear();
    local.deliver(QStringLiteral("los"), 1);
    local.deliver(QStringLiteral("crc_errors"), 3);
    local.deliver(QStringLiteral("loopback"), 2);
    QTRY_COMPARE(changed.count(), 2);
}

void TestParamModel::valueFollowsThePresentation_data()
{
    QTest::addColumn<int>("radix");
    QTest::addColumn<QString>("text");
    QTest::newRow("decimal") << 10 << "255";
    QTest::newRow("hexadecimal") << 16 << "0xff";
    QTest::newRow("octal") << 8 << "0377";
    QTest::newRow("binary") << 2 << "0b 1111.1111";
}

void TestParamModel::valueFollowsThePresentation()
{
    QFETCH(int, radix);
    QFETCH(QString, text);

    LocalDevice local(QStringLiteral("E1"));
    ParamModel model;
    model.setDevice(&local.db, local.device);
    local.deliver(QStringLiteral("crc_errors"), 255);
    model.setPresentation(radix, false);
    const QModelIndex value = model.indexOf(QStringLiteral("crc_errors"), ParamModel::ValueColumn);
    QCOMPARE(value.data().toString(), text);
    // Edited as the form parsing reads it back.
    QCOMPARE(value.data(Qt::EditRole).toString(), QStringLiteral("255"));
}

void TestParamModel::alarmStateIsShownWithItsSeverity()
{
    LocalDevice local(QStringLiteral("PSU"));
    ParamModel model;
    model.setDevice(&local.db, local.device);
    const QModelIndex state = model.indexOf(QStringLiteral("temp"), ParamModel::StateColumn);
    QCOMPARE(state.data(ParamModel::SeverityRole).toInt(), -2);
    QVERIFY(state.data().toString().isEmpty());

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    Param* temp = local.param(QStringLiteral("temp"));
    temp->alarmCache = Tavo::CRIT;
    model.paramStateChanged(temp, Tavo::CRIT, -2);
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

    QTest::newRow("writer, writable") << "engineer"
                                      << "load" << true;
    QTest::newRow("writer, read-only") << "engineer"
                                       << "temp" << false;
    QTest::newRow("viewer, writable") << "viewer"
                                      << "load" << false;
    QTest::newRow("no users, writable") << ""
                                        << "load" << true;
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
    ParamModel model;
    model.setDevice(&local.db, local.device);
    if (!user.isEmpty()) {
        model.setUsers(&users);
        QVERIFY(users.setCurrentUser(user));
    }
    QSignalSpy refused(&model, &ParamModel::writeRefused);
    const QModelIndex value = model.indexOf(param, ParamModel::ValueColumn);
    QCOMPARE(bool(model.flags(value) & Qt::ItemIsEditable), editable);
    QVERIFY(!(model.flags(model.indexOf(param, ParamModel::NameColumn)) & Qt::ItemIsEditable));

    QCOMPARE(model.setData(value, QStringLiteral("12")), editable);
    QCOMPARE(refused.count(), editable ? 0 : 1);
    QCOMPARE(local.writeQueuedFor(local.param(param)), editable);
    QCOMPARE(value.data(ParamModel::WritePendingRole).toBool(), editable);

    // A change of user changes what may be edited.
    if (!user.isEmpty()) {
        QVERIFY(users.setCurrentUser(UserCapabilities::undefinedUserName()));
        QVERIFY(!(model.flags(value) & Qt::ItemIsEditable));
    }
}

void TestParamModel::delegatePicksTheEditorTheValueCallsFor_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("param");
    QTest::addColumn<QString>("editor");

    QTest::newRow("variants") << "E1"
                              << "loopback"
                              << "QComboBox";
    QTest::newRow("text") << "E1"
                          << "label"
                          << "QLineEdit";
    QTest::newRow("signed") << "PSU"
                            << "temp"
                            << "QSpinBox";
    QTest::newRow("float") << "PSU"
                           << "v_in"
                           << "QDoubleSpinBox";
}

void TestParamModel::delegatePicksTheEditorTheValueCallsFor()
{
    QFETCH(QString, device);
    QFETCH(QString, param);
    QFETCH(QString, editor);

    LocalDevice local(device);
    ParamModel model;
    model.setDevice(&local.db, local.device);
    ParamDelegate delegate;
    QWidget parent;
    const QModelIndex value = model.indexOf(param, ParamModel::ValueColumn);
    std::unique_ptr<QWidget> widget(delegate.createEditor(&parent, QStyleOptionViewItem(), value));
    QVERIFY(widget);
    QVERIFY2(widget->inherits(editor.toLatin1().constData()), widget->metaObject()->className());
    if (auto* combo = qobject_cast<QComboBox*>(widget.get())) {
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->itemText(2), QStringLiteral("remote"));
    }
}

void TestParamModel::delegateHandsTheChosenTextToTheModel()
{
    LocalDevice local(QStringLiteral("E1"));
    local.deliver(QStringLiteral("loopback"), 0);
    ParamModel model;
    model.setDevice(&local.db, local.device);
    ParamDelegate delegate;
    QWidget parent;
    const QModelIndex value = model.indexOf(QStringLiteral("loopback"), ParamModel::ValueColumn);
    std::unique_ptr<QWidget> widget(delegate.createEditor(&parent, QStyleOptionViewItem(), value));
    auto* combo = qobject_cast<QComboBox*>(widget.get());
    QVERIFY(combo);
    delegate.setEditorData(combo, value);
    QCOMPARE(combo->currentText(), QStringLiteral("off"));

    combo->setCurrentIndex(combo->findText(QStringLiteral("local")));
    delegate.setModelData(combo, &model, value);
    QVERIFY(local.device->writeList);
    QCOMPARE(local.device->writeList->size(), 1);
    QCOMPARE(local.device->writeList->at(0)->targetParameter,
             local.param(QStringLiteral("loopback")));
    QCOMPARE(local.device->writeList->at(0)->value, 1u);
}

QTEST_MAIN(TestParamModel)
#include "tst_param_model.moc"
