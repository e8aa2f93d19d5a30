// tavo-console: the console client of the kernel. Starts the kernel in the
// order its objects depend on each other, then watches the hosts.

#include "client.h"
#include "console_log.h"
#include "history_commands.h"
#include "kernel_startup.h"
#include "termination_signals.h"

#include "alarms/alarmmonitor.h"
#include "alarms/eventmonitor.h"
#include "board/boardcontroller.h"
#include "devices/paramlist.h"
#include "foundation/app_shared.h"
#include "users/sax_user_list_parser.h"
#include "users/user_capabilities.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

namespace {

const char* const clientHelp =
    "\ntavo-console options:\n"
    "  --period=<s>                  = Read every parameter every s seconds (2)\n"
    "  --duration=<s>                = Stop after s seconds (default: at Ctrl-C)\n"
    "  --protocol=<name>             = Protocol of the -s host (default: its host type's)\n"
    "  --set=<device>.<param>=<value> = Write once the parameter is bound (repeatable)\n"
    "  --reconnect                   = Connect again after a disconnection\n"
    "  --connect-timeout=<s>         = Exit with 3 when no host connected by then (8)\n"
    "  --debug-group=<name>          = Debug output of one log group (repeatable)\n"
    "  --template=<file> --device=<name> = Apply a template to one device of each host\n"
    "  --profile=<file>              = Apply a profile to every host\n"
    "  --user=<name>                 = Act as a user of the users file; writes, templates\n"
    "                                  and profiles need the capability 'write'\n"
    "  --board                       = Print the observed board's reports\n"
    "  --add-host=<url>:<port>:<type> = Add a host to the user's host graph, saved on\n"
    "                                  exit (repeatable)\n"
    "  --history[=<since>]           = Print the recorded history (since an ISO time or\n"
    "                                  an age such as 2h or 7d) and exit\n"
    "  --alarms                      = Print the active alarms with their ids and exit\n"
    "  --ack=<id> [--comment=<text>] = Acknowledge an active alarm (needs 'write')\n"
    "  --history-db=<file or postgresql://user@host:port/db> = Where the history is\n"
    "                                  (default: the per-user history.sqlite)\n"
    "  --history-days=<n>            = Keep the history n days (90)\n"
    "  --var=<name>=<value>          = A protocol variable of the hosts given here, such\n"
    "                                  as --var=community=private (repeatable)\n"
    "  --lang=ru, --lang=en          = The kernel's messages in Russian or English\n"
    "                                  (default: Russian for a Russian locale)\n"
    "  --stats=<file>                = On exit write the run's figures: hosts connected\n"
    "                                  and how fast, values, the oldest value, the\n"
    "                                  moments of alarm state changes\n"
    "  --stats-after=<s>             = Count values from s seconds on (15)\n";

} // namespace

int main(int argc, char** argv)
{
    // Without TZ the C library looks at /etc/localtime again on every
    // reading of the local time, and watching a fleet reads it thousands of
    // times a second (a line per value, a periodic pass per host).
    if (qEnvironmentVariableIsEmpty("TZ") && QFileInfo::exists(QStringLiteral("/etc/localtime")))
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavo-console"));
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.contains(QStringLiteral("--help")))
        std::printf("%s", clientHelp);

    // The kernel's texts in Russian for a Russian locale, or when asked.
    QTranslator translator;
    const bool russian = arguments.contains(QStringLiteral("--lang=ru")) ||
        (QLocale::system().language() == QLocale::Russian &&
         !arguments.contains(QStringLiteral("--lang=en")));
    if (russian && translator.load(QStringLiteral(":/i18n/translations/tavo_kernel_ru.qm")))
        QCoreApplication::installTranslator(&translator);

    // 1. The command line and the resource paths.
    KernelStartup::initPaths();
    ClientOptions options;
    QString error;
    if (!options.parse(arguments, &error)) {
        std::fprintf(stderr, "tavo-console: %s\n%s", qPrintable(error), clientHelp);
        return 2;
    }
    HistoryCommands historyCommands;
    if (!historyCommands.parse(arguments, &error)) {
        std::fprintf(stderr, "tavo-console: %s\n%s", qPrintable(error), clientHelp);
        return 2;
    }
    share::isSingleMode = !share::hostUrl.isEmpty();

    // 2. The log, before anything that logs.
    // Socket errors (refused, unreachable, reset) are debug traces of the
    // engine; an operator at a console must see them, so that group is on.
    ConsoleLog log(share::isDebugMode,
                   QStringList(options.debugGroups)
                       << QCoreApplication::translate("Engine", "Engine Socket"));

    // The history modes read what was recorded and end: no host is watched.
    if (historyCommands.wanted()) {
        UserCapabilities users;
        const QString usersFile =
            QStringLiteral("%1/%2").arg(share::m_sXmlUserListPath, share::m_sXmlUserListFile);
        if (QFileInfo::exists(usersFile))
            SaxUserListParser::readFile(usersFile, &users);
        const QString user = options.user.isEmpty() ? share::userType : options.user;
        if (!user.isEmpty() && !users.setCurrentUser(user)) {
            std::fprintf(stderr, "tavo-console: '%s' is not a user of %s\n", qPrintable(user),
                         qPrintable(usersFile));
            return 4;
        }
        return historyCommands.run(user, users);
    }

    // 3. to 5. Classes, host types, protocols, engines and the host graph:
    // the user's, or the one host of the command line.
    KernelStartup kernel(&log);
    auto createHost = [&](const QString& url, int port, const QString& typeName) {
        QString error;
        if (kernel.createHost(url, port, typeName, options.protocol, options.vars, &error))
            return true;
        std::fprintf(stderr, "tavo-console: %s\n", qPrintable(error));
        return false;
    };
    if (share::isSingleMode && !createHost(share::hostUrl, share::hostPort, share::hostType))
        return 3;
    if (!share::isSingleMode) {
        for (const ClientOptions::NewHost& host : qAsConst(options.addHosts)) {
            if (!createHost(host.url, host.port, host.hostType))
                return 3;
        }
    }

    // 6. The alarm monitor, watching the engines that exist now, the observed
    // board and the users.
    Client client(options);
    kernel.startMonitors(&client);
    kernel.startHistory(historyCommands.location, historyCommands.retentionDays);
    client.setRecorder(kernel.recorder.get());
    const QString user = options.user.isEmpty() ? share::userType : options.user;
    if (!user.isEmpty()) {
        QString error;
        if (!kernel.setUser(user, &error)) {
            std::fprintf(stderr, "tavo-console: %s\n", qPrintable(error));
            return 4;
        }
        const bool changes = !options.writes.isEmpty() || !options.templateFile.isEmpty() ||
            !options.profileFile.isEmpty();
        if (changes && !kernel.users.checkForCapability(QStringLiteral("write"))) {
            std::fprintf(stderr,
                         "tavo-console: user '%s' may not write (needs the capability 'write')\n",
                         qPrintable(user));
            return 4;
        }
    }

    AlarmMonitor& alarmMonitor = *kernel.alarmMonitor;
    QObject::connect(&alarmMonitor, &AlarmMonitor::paramStateChanged, &client,
                     &Client::paramStateChanged);
    QObject::connect(alarmMonitor.eventMonitor, &EventMonitor::signalOpenTerminal, &client,
                     &Client::openTerminal);
    QObject::connect(kernel.boardController.get(), SIGNAL(boardChaneged(QString, bool, QString)),
                     &client, SLOT(boardChanged(QString, bool, QString)));

    // Ctrl-C and SIGTERM end the event loop, so that everything is torn
    // down in order and the host graph is saved.
    quitOnTerminationSignals(&app);

    client.start();
    const int code = app.exec();
    if (!client.writeStats())
        std::fprintf(stderr, "tavo-console: the figures could not be written to %s\n",
                     qPrintable(options.statsFile));
    // The save's own error went to the log; the operator must also learn
    // that the changes are gone and where they should have been.
    QString triedPath;
    if (!kernel.saveHostGraph(&triedPath))
        std::fprintf(stderr, "tavo-console: the changes to the host graph were not saved to %s\n",
                     qPrintable(triedPath));
    return code;
}
