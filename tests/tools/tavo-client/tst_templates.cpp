// Templates and profiles from the window's Tools menu, against tavo-nesim:
// what each step did is shown, the writes reach the simulator, a device's
// values become a template that another device takes.

#include "host_tree_model.h"
#include "step_dialog.h"
#include "template_actions.h"
#include "window_fixture.h"

#include "foundation/app_shared.h"
#include "hostgraph/host_graph.h"
#include "templates/sax_template_parser.h"

#include <QListView>
#include <QTreeView>
#include <QtTest>

namespace {

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() ? path
                                                                                    : QString();
}

QList<Step::Outcome> outcomes(const StepDialog* dialog)
{
    QList<Step::Outcome> list;
    for (const Step& step : dialog->steps())
        list << step.outcome;
    return list;
}

TemplateActions* templateActions(const WindowFixture& fx)
{
    return fx.window->findChild<TemplateActions*>();
}

} // namespace

class TstTemplates : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void templateStepsShowWhatWasWritten();
    void viewerWritesNothing();
    void deviceValuesBecomeATemplate();
    void profileRunsOverTheSelectedHosts();
};

void TstTemplates::templateStepsShowWhatWasWritten()
{
    WindowFixture fx;
    QVERIFY(fx.kernel->setUser(QStringLiteral("engineer"), nullptr));
    QVERIFY(fx.showDevice(QStringLiteral("E1_0001")));
    const QString path = writeFile(
        fx.dir, QStringLiteral("mixed.xml"),
        "<template>"
        "<action><device class=\"E1\"/><param name=\"label\" type=\"ASCIIZ\" value=\"Set\"/>"
        "</action>"
        "<action><device class=\"PSU\"/><param name=\"load\" type=\"UINT\" value=\"1\"/>"
        "</action>"
        "<action><device class=\"E1\"/><param name=\"nosuch\" type=\"UINT\" value=\"1\"/>"
        "</action>"
        "</template>");

    StepDialog* dialog = templateActions(fx)->applyTemplate(path);
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->isFinished());
    QCOMPARE(outcomes(dialog), QList<Step::Outcome>({Step::Done, Step::Skipped, Step::Failed}));
    QCOMPARE(dialog->steps().first().text, QStringLiteral("E1: label = Set"));
    QTRY_VERIFY_WITH_TIMEOUT(fx.simulatorOutput().contains(QLatin1String("E1_0001.label written")),
                             10000);
    QTRY_COMPARE_WITH_TIMEOUT(fx.valueText(QStringLiteral("label")), QStringLiteral("Set"), 10000);
    QVERIFY(!fx.simulatorOutput().contains(QLatin1String("load written")));
}

void TstTemplates::viewerWritesNothing()
{
    WindowFixture fx;
    QVERIFY(fx.kernel->setUser(QStringLiteral("viewer"), nullptr));
    QVERIFY(fx.showDevice(QStringLiteral("E1_0001")));
    StepDialog* dialog =
        templateActions(fx)->applyTemplate(QStringLiteral(TAVO_DEMO_DIR "/template_e1.xml"));
    QCOMPARE(outcomes(dialog), QList<Step::Outcome>({Step::Failed}));
    for (const char* param : {"label", "loopback"})
        QVERIFY(!fx.window->paramModel()
                     ->indexOf(QLatin1String(param), ParamModel::ValueColumn)
                     .data(ParamModel::WritePendingRole)
                     .toBool());
}

void TstTemplates::deviceValuesBecomeATemplate()
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

    // The other port takes the first one's values.
    QVERIFY(fx.showDevice(QStringLiteral("E1_0002")));
    StepDialog* applied = templateActions(fx)->applyTemplate(path);
    QVERIFY(!outcomes(applied).contains(Step::Failed));
    QTRY_COMPARE_WITH_TIMEOUT(fx.valueText(QStringLiteral("label")), QStringLiteral("Port A"),
                              10000);
}

void TstTemplates::profileRunsOverTheSelectedHosts()
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
    const QVector<Step> steps = dialog->steps();
    QCOMPARE(steps.size(), 2);
    QCOMPARE(steps.at(0).text, QStringLiteral("127.0.0.2: not connected"));
    QCOMPARE(steps.at(0).outcome, Step::Skipped);
    QCOMPARE(steps.at(1).text, QStringLiteral("127.0.0.1: profile applied"));
    QCOMPARE(steps.at(1).outcome, Step::Done);
    // The port the profile asked for exists, named by it.
    QVERIFY(fx.showDevice(QStringLiteral("E1_0005")));
    QTRY_COMPARE_WITH_TIMEOUT(fx.valueText(QStringLiteral("label")),
                              QStringLiteral("Made by a profile"), 10000);
}

QTEST_MAIN(TstTemplates)
#include "tst_templates.moc"
