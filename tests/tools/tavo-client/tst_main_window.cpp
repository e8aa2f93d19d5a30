// The desktop client's window against tavo-nesim, as an operator uses it:
// the host connects, its devices and values show, an alarm comes up, a
// value is written through the editor and read back; templates and profiles
// from the Tools menu show what each step did, their writes reach the
// simulator, and a device's values become a template that another takes.

#include "alarm_model.h"
#include "client_fixture.h"
#include "desktop_notifier.h"
#include "device_model.h"
#include "host_tree_model.h"
#include "log_model.h"
#include "main_window.h"
#include "param_model.h"
#include "step_dialog.h"
#include "template_actions.h"

#include "connections/engine.h"
#include "connections/engine_box.h"
#include "hostgraph/host_graph.h"
#include "templates/sax_template_parser.h"

#include <QDockWidget>
#include <QLineEdit>
#include <QTreeView>
#include <QtTest>

#include <memory>

namespace {

/// The window over a kernel with one host on the simulator, connected.
struct WindowFixture : ClientFixture
{
    WindowFixture()
    {
        host = addSimulatorHost();
        notifier.setSoundEnabled(false);
        kernel->startMonitors(&notifier);
        window = std::make_unique<MainWindow>(kernel.get(), &logModel, &notifier);
        window->show();
        if (host)
            kernel->engineBox->getEngineByNodeAttr(host)->connectToHost();
    }

    /// The host's device shown, as an operator picks it; false when it
    /// never appears.
    bool showDevice(const QString& device)
    {
        window->selectHost(host->key());
        if (!QTest::qWaitFor([&] { return window->deviceModel()->indexOf(device).isValid(); },
                             10000))
            return false;
        window->selectDevice(device);
        return window->paramModel()->device() != nullptr;
    }

    QString valueText(const QString& param) const
    {
        const QModelIndex index = window->paramModel()->indexOf(param, ParamModel::ValueColumn);
        return index.isValid() ? index.data().toString() : QString();
    }

    NodeAttr* host = nullptr;
    LogModel logModel;
    DesktopNotifier notifier;
    // Last, so that the window goes first.
    std::unique_ptr<MainWindow> window;
};

TemplateActions* templateActions(const WindowFixture& fx)
{
    return fx.window->findChild<TemplateActions*>();
}

} // namespace

class TstMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void alarmShowsInThePanelWhileTheWindowIsShown();
    void onlyAWriterEditsAndTheWriteReachesTheHost();
    void windowSpeaksRussianWhenAsked();
    void templatesShowTheirStepsAndDeviceValuesBecomeOne();
    void profileRunsOverTheSelectedHosts();
};

void TstMainWindow::alarmShowsInThePanelWhileTheWindowIsShown()
{
    WindowFixture fx;
    // The window reads what it shows: the power supply's temperature rises
    // into its alarm thresholds in the demo scenario.
    QVERIFY(fx.showDevice(QStringLiteral("PSU_0001")));
    QTRY_VERIFY_WITH_TIMEOUT(fx.window->alarmModel()->rowCount() > 0, 30000);
    const QModelIndex first = fx.window->alarmModel()->index(0, AlarmModel::SeverityColumn);
    QCOMPARE(fx.window->alarmModel()->severityOfHost(fx.host->key()),
             first.data(AlarmModel::SeverityRole).toInt());

    // A hidden window reads nothing.
    fx.window->hide();
    QVERIFY(!fx.window->paramModel()->isActive());
    fx.window->show();
    QVERIFY(fx.window->paramModel()->isActive());
}

void TstMainWindow::onlyAWriterEditsAndTheWriteReachesTheHost()
{
    WindowFixture fx;
    QVERIFY(fx.kernel->setUser(QStringLiteral("viewer"), nullptr));
    QVERIFY(fx.showDevice(QStringLiteral("E1_0001")));
    const QModelIndex label =
        fx.window->paramModel()->indexOf(QStringLiteral("label"), ParamModel::ValueColumn);
    QVERIFY(label.isValid());
    QTRY_VERIFY_WITH_TIMEOUT(label.data().isValid(), 10000);
    // The time is of the reads the window's model has seen, which follow its
    // tickets.
    QTRY_VERIFY_WITH_TIMEOUT(
        !label.siblingAtColumn(ParamModel::LastReadColumn).data().toString().isEmpty(), 15000);
    QCOMPARE(label.siblingAtColumn(ParamModel::AccessColumn).data().toString(),
             QStringLiteral("RW"));
    QTreeView* view = fx.window->paramView();
    view->setCurrentIndex(label);
    view->edit(label);
    QVERIFY(!view->findChild<QLineEdit*>());
    StepDialog* dialog =
        templateActions(fx)->applyTemplate(QStringLiteral(TAVO_DEMO_DIR "/template_e1.xml"));
    QCOMPARE(stepsOf(dialog->steps()),
             QStringList({"1: The current user may not write parameters"}));
    for (const char* param : {"label", "loopback"})
        QVERIFY(!fx.window->paramModel()
                     ->indexOf(QLatin1String(param), ParamModel::ValueColumn)
                     .data(ParamModel::WritePendingRole)
                     .toBool());

    // As an operator does: open the editor, type, commit.
    QVERIFY(fx.kernel->setUser(QStringLiteral("engineer"), nullptr));
    view->edit(label);
    auto* editor = view->findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->setText(QStringLiteral("Uplink-7"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(fx.simulatorOutput().contains(QLatin1String(".label written")), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(fx.valueText(QStringLiteral("label")), QStringLiteral("Uplink-7"),
                              10000);
    // Marked as waiting when written (as the model's own test shows), no
    // longer once read back.
    QTRY_VERIFY_WITH_TIMEOUT(!label.data(ParamModel::WritePendingRole).toBool(), 10000);
}

void TstMainWindow::windowSpeaksRussianWhenAsked()
{
    QTranslator russian;
    QVERIFY(russian.load(QStringLiteral(TAVO_CLIENT_QM)));
    // Installed for the test's span only: the other tests expect English.
    struct Installed
    {
        QTranslator* translator;
        ~Installed() { QCoreApplication::removeTranslator(translator); }
    } installed {&russian};
    QCoreApplication::installTranslator(&russian);
    WindowFixture fx;
    auto* hosts = fx.window->findChild<QDockWidget*>(QStringLiteral("hostDock"));
    QVERIFY(hosts);
    QCOMPARE(hosts->windowTitle(), QStringLiteral("Узлы"));
    QCOMPARE(
        fx.window->paramModel()->headerData(ParamModel::LastReadColumn, Qt::Horizontal).toString(),
        QStringLiteral("Последнее чтение"));
}

void TstMainWindow::templatesShowTheirStepsAndDeviceValuesBecomeOne()
{
    WindowFixture fx;
    QVERIFY(fx.kernel->setUser(QStringLiteral("engineer"), nullptr));
    QVERIFY(fx.showDevice(QStringLiteral("E1_0001")));
    QTRY_COMPARE_WITH_TIMEOUT(fx.valueText(QStringLiteral("label")), QStringLiteral("Port A"),
                              10000);
    const QString path = fx.dir.filePath(QStringLiteral("e1.xml"));
    StepDialog* written = templateActions(fx)->writeTemplate(path);
    QCOMPARE(written->steps().last().outcome, Step::Done);

    QList<Action*> actions;
    SaxTemplateParser parser;
    QVERIFY(parser.readFile(path, actions));
    QStringList labels;
    for (const Action* action : qAsConst(actions)) {
        if (action->param->name == QLatin1String("label"))
            labels << action->param->value;
    }
    qDeleteAll(actions);
    QCOMPARE(labels, QStringList({QStringLiteral("Port A")}));

    const QString mixed = fx.dir.writeFile(
        QStringLiteral("mixed.xml"),
        "<template>"
        "<action><device class=\"E1\"/><param name=\"label\" type=\"ASCIIZ\" value=\"Set\"/>"
        "</action>"
        "<action><device class=\"PSU\"/><param name=\"load\" type=\"UINT\" value=\"1\"/>"
        "</action>"
        "<action><device class=\"E1\"/><param name=\"nosuch\" type=\"UINT\" value=\"1\"/>"
        "</action>"
        "</template>");
    StepDialog* dialog = templateActions(fx)->applyTemplate(mixed);
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->isFinished());
    QCOMPARE(stepsOf(dialog->steps()),
             QStringList({"0: E1: label = Set", "2: PSU: load = 1 (for another device class)",
                          "1: E1: nosuch = 1 (not accepted)"}));
    QTRY_VERIFY_WITH_TIMEOUT(fx.simulatorOutput().contains(QLatin1String("E1_0001.label written")),
                             10000);
    QTRY_COMPARE_WITH_TIMEOUT(fx.valueText(QStringLiteral("label")), QStringLiteral("Set"), 10000);
    QVERIFY(!fx.simulatorOutput().contains(QLatin1String("load written")));

    // The other port takes the first one's values.
    QVERIFY(fx.showDevice(QStringLiteral("E1_0002")));
    StepDialog* applied = templateActions(fx)->applyTemplate(path);
    QCOMPARE(stepsOf(applied->steps()),
             QStringList({"0: E1: label = Port A", "0: E1: loopback = 0"}));
    QTRY_COMPARE_WITH_TIMEOUT(fx.valueText(QStringLiteral("label")), QStringLiteral("Port A"),
                              10000);
}

void TstMainWindow::profileRunsOverTheSelectedHosts()
{
    WindowFixture fx;
    QVERIFY(fx.kernel->setUser(QStringLiteral("engineer"), nullptr));
    // A second host that is not connected.
    NodeAttr* idle = fx.kernel->createHost(QStringLiteral("127.0.0.2"), fx.simulatorPort(),
                                           QStringLiteral("tavo-ne"));
    QVERIFY(idle);
    QVERIFY(fx.showDevice(QStringLiteral("E1_0001")));
    QItemSelectionModel* selection = fx.window->hostView()->selectionModel();
    for (const NodeAttr* host : {fx.host, idle})
        selection->select(fx.window->hostModel()->indexOfKey(host->key()),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);

    StepDialog* dialog =
        templateActions(fx)->applyProfile(QStringLiteral(TAVO_DEMO_DIR "/profile_new_port.xml"));
    QTRY_VERIFY_WITH_TIMEOUT(dialog->isFinished(), 20000);
    QCOMPARE(stepsOf(dialog->steps()),
             QStringList({"2: 127.0.0.2: not connected", "0: 127.0.0.1: profile applied"}));
    // The port the profile asked for exists, named by it.
    QVERIFY(fx.showDevice(QStringLiteral("E1_0005")));
    QTRY_COMPARE_WITH_TIMEOUT(fx.valueText(QStringLiteral("label")),
                              QStringLiteral("Made by a profile"), 10000);
}

QTEST_MAIN(TstMainWindow)
#include "tst_main_window.moc"
