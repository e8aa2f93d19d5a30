// tavo-client: the desktop client. The kernel starts as in every program of
// the project; then one window shows the hosts, their devices and
// parameters, the alarms and the log.

#include "desktop_notifier.h"
#include "kernel_startup.h"
#include "log_model.h"
#include "main_window.h"
#include "screenshot_tour.h"
#include "staggered_connector.h"
#include "termination_signals.h"

#include "connections/engine.h"
#include "connections/engine_box.h"
#include "foundation/app_shared.h"
#include "history/history_recorder.h"

#include <QApplication>
#include <QInputDialog>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

namespace {

QString optionValue(const QStringList& arguments, const QString& prefix)
{
    for (const QString& argument : arguments) {
        if (argument.startsWith(prefix))
            return argument.mid(prefix.size());
    }
    return QString();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("tavo-client"));
    QCoreApplication::setApplicationName(QStringLiteral("tavo-client"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tavo-client/tavo-client.png")));
    const QStringList arguments = QCoreApplication::arguments();

    // The kernel's texts and the window's in Russian for a Russian locale, or
    // when asked.
    const QString lang = optionValue(arguments, QStringLiteral("--lang="));
    const bool russian = lang == QLatin1String("ru") ||
        (lang.isEmpty() && QLocale::system().language() == QLocale::Russian);
    QTranslator kernelTexts;
    QTranslator clientTexts;
    if (russian) {
        if (kernelTexts.load(QStringLiteral(":/i18n/translations/tavo_kernel_ru.qm")))
            QCoreApplication::installTranslator(&kernelTexts);
        if (clientTexts.load(QStringLiteral(":/tavo-client/tavo_client_ru.qm")))
            QCoreApplication::installTranslator(&clientTexts);
    }

    KernelStartup::initPaths();
    share::isSingleMode = !share::hostUrl.isEmpty();

    LogModel logModel;
    GuiLog log(&logModel);
    KernelStartup kernel(&log);
    if (share::isSingleMode) {
        QString error;
        if (!kernel.createHost(share::hostUrl, share::hostPort, share::hostType, QString(), {},
                               &error)) {
            QMessageBox::critical(nullptr, QObject::tr("tavo-client"), error);
            return 3;
        }
    }
    DesktopNotifier notifier;
    kernel.startMonitors(&notifier);
    kernel.startHistory(optionValue(arguments, QStringLiteral("--history-db=")));
    if (HistoryRecorder* recorder = kernel.recorder.get())
        QObject::connect(&notifier, &DesktopNotifier::reactionPerformed, recorder,
                         [recorder](const QString& kind, const QString& detail) {
                             recorder->recordReaction(kind, detail);
                         });

    // Writing needs a user with the right to it when the users file has
    // users: the one given, or the one chosen at log-in.
    QString user = optionValue(arguments, QStringLiteral("--user="));
    if (user.isEmpty())
        user = share::userType;
    const QStringList users = kernel.users.getUsersList();
    if (user.isEmpty() && !users.isEmpty()) {
        bool ok = false;
        user = QInputDialog::getItem(nullptr, QObject::tr("Log in"), QObject::tr("User:"), users, 0,
                                     false, &ok);
        if (!ok)
            return 0;
    }
    if (!user.isEmpty()) {
        QString error;
        if (!kernel.setUser(user, &error)) {
            QMessageBox::critical(nullptr, QObject::tr("tavo-client"), error);
            return 4;
        }
    }

    quitOnTerminationSignals(&app);
    MainWindow window(&kernel, &logModel, &notifier);
    window.show();
    // A few at a time: a graph of thousands of hosts would otherwise hold
    // the window for seconds while their devices arrive.
    StaggeredConnector connector;
    connector.connectAll(kernel.engineBox->enginesList());

    // make screenshots: the window in use, saved as pictures.
    const QString pictures = optionValue(arguments, QStringLiteral("--screenshots="));
    ScreenshotTour tour(&window, pictures);
    if (!pictures.isEmpty()) {
        notifier.setSoundEnabled(false);
        tour.start();
    }
    return app.exec();
}
