// The desktop client's window against tavo-nesim, as an operator uses it:
// the host connects, its devices and values show, an alarm comes up, a
// value is written through the editor and read back.

#include "alarm_model.h"
#include "host_tree_model.h"
#include "window_fixture.h"

#include "devices/paramlist.h"
#include "hostgraph/host_graph.h"

#include <QDockWidget>
#include <QLineEdit>
#include <QListView>
#include <QTableView>
#include <QTranslator>
#include <QTreeView>
#include <QtTest>

class TstMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void hostConnectsAndItsValuesShow();
    void alarmShowsInThePanelWithItsSeverity();
    void writeThroughTheEditorReachesTheHost();
    void viewerCannotEdit();
    void hiddenWindowReadsNothing();
    void windowSpeaksRussianWhenAsked();
};

void TstMainWindow::hostConnectsAndItsValuesShow()
{
    WindowFixture fx;
    QVERIFY(fx.simulatorRunning());
    QVERIFY(fx.host);
    const QModelIndex host = fx.window->hostModel()->indexOfKey(fx.host->key());
    QVERIFY(host.isValid());
    QTRY_VERIFY_WITH_TIMEOUT(host.data(HostTreeModel::ConnectedRole).toBool(), 10000);

    QVERIFY(fx.showDevice(QStringLiteral("E1_0001")));
    QTRY_VERIFY_WITH_TIMEOUT(!fx.valueText(QStringLiteral("los")).isEmpty(), 10000);
}

void TstMainWindow::alarmShowsInThePanelWithItsSeverity()
{
    WindowFixture fx;
    // The window reads what it shows: the power supply's temperature rises
    // into its alarm thresholds in the demo scenario.
    QVERIFY(fx.showDevice(QStringLiteral("PSU_0001")));
    QTRY_VERIFY_WITH_TIMEOUT(fx.window->alarmModel()->rowCount() > 0, 30000);
    const QModelIndex first = fx.window->alarmModel()->index(0, AlarmModel::SeverityColumn);
    QVERIFY(first.data(AlarmModel::SeverityRole).toInt() >= 0);
    QCOMPARE(fx.window->alarmModel()->severityOfHost(fx.host->key()),
             first.data(AlarmModel::SeverityRole).toInt());
}

void TstMainWindow::writeThroughTheEditorReachesTheHost()
{
    WindowFixture fx;
    QVERIFY(fx.kernel->setUser(QStringLiteral("engineer"), nullptr));
    QVERIFY(fx.showDevice(QStringLiteral("E1_0001")));
    const QModelIndex label =
        fx.window->paramModel()->indexOf(QStringLiteral("label"), ParamModel::ValueColumn);
    QVERIFY(label.isValid());
    QTRY_VERIFY_WITH_TIMEOUT(label.data().isValid(), 10000);

    // As an operator does: open the editor, type, commit.
    QTreeView* view = fx.window->paramView();
    view->setCurrentIndex(label);
    view->edit(label);
    auto* editor = view->findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->setText(QStringLiteral("Uplink-7"));
    QTest::keyClick(editor, Qt::Key_Return);

    QTRY_VERIFY_WITH_TIMEOUT(fx.simulatorOutput().contains(QLatin1String(".label written")), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(fx.valueText(QStringLiteral("label")), QStringLiteral("Uplink-7"),
                              10000);
}

void TstMainWindow::viewerCannotEdit()
{
    WindowFixture fx;
    QVERIFY(fx.kernel->setUser(QStringLiteral("viewer"), nullptr));
    QVERIFY(fx.showDevice(QStringLiteral("E1_0001")));
    const QModelIndex label =
        fx.window->paramModel()->indexOf(QStringLiteral("label"), ParamModel::ValueColumn);
    QVERIFY(label.isValid());
    QVERIFY(!(label.flags() & Qt::ItemIsEditable));
    QTreeView* view = fx.window->paramView();
    view->setCurrentIndex(label);
    view->edit(label);
    QVERIFY(!view->findChild<QLineEdit*>());
}

void TstMainWindow::hiddenWindowReadsNothing()
{
    WindowFixture fx;
    QVERIFY(fx.showDevice(QStringLiteral("E1_0001")));
    QVERIFY(fx.window->paramModel()->isActive());
    fx.window->hide();
    QVERIFY(!fx.window->paramModel()->isActive());
    fx.window->show();
    QVERIFY(fx.window->paramModel()->isActive());
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

QTEST_MAIN(TstMainWindow)
#include "tst_main_window.moc"
