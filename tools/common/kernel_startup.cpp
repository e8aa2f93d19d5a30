#include "kernel_startup.h"

#include "acknowledging.h"

#include "alarms/alarmmonitor.h"
#include "alarms/eventmonitor.h"
#include "board/boardcontroller.h"
#include "classes/class_db.h"
#include "connections/engine_box.h"
#include "connections/open_files_limit.h"
#include "connections/protocol_manager.h"
#include "foundation/app_shared.h"
#include "history/flap_damper.h"
#include "history/history_recorder.h"
#include "history/history_store.h"
#include "hostgraph/host_graph.h"
#include "hosttypes/host_type_db.h"
#include "users/sax_user_list_parser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString existingDir(const QString& path)
{
    const QFileInfo info(path);
    return info.isDir() ? info.canonicalFilePath() : QString();
}

QString installedDir(const char* relative)
{
    return existingDir(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                       QLatin1String(relative));
}

} // namespace

void KernelStartup::initPaths()
{
    share::command_line_options();
    // Without --resdir or --plugdir the kernel looks beside the program,
    // where an installed program has neither.
    const QString appDir = QCoreApplication::applicationDirPath();
    if (share::resourcesPath == appDir) {
        const QString installed = installedResourceDir();
        if (!installed.isEmpty())
            share::resourcesPath = installed;
    }
    if (share::pluginsPath == appDir) {
        const QString installed = installedDir(TAVO_BIN_TO_PLUGINS);
        if (!installed.isEmpty())
            share::pluginsPath = installed;
    }
    share::global_init();
}

QString KernelStartup::installedResourceDir()
{
    return installedDir(TAVO_BIN_TO_RESOURCES);
}

QString KernelStartup::userResourceDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
        QStringLiteral("/tavo-client");
}

KernelStartup::KernelStartup(AbstractLog* log)
{
    share::pLog = log;
    share::scriptEngine = &scriptEngine;
    // Every connected host holds a socket: a session's default soft limit
    // would stop a fleet at about a thousand.
    OpenFilesLimit::raiseToHard();

    // The first class of a name is kept: the user's are read first.
    const QString shippedClasses = share::xmlClassesPath;
    const QString userClasses = existingDir(userResourceDir() + QStringLiteral("/xml_classes"));
    if (!userClasses.isEmpty())
        share::xmlClassesPath = userClasses;
    classDb = std::make_unique<ClassDb>(nullptr);
    if (!userClasses.isEmpty()) {
        share::xmlClassesPath = shippedClasses;
        classDb->loadDir(shippedClasses);
    }
    share::classDb = classDb.get();

    // The last host type of a name is kept: the user's are read last.
    hostTypeDb = std::make_unique<HostTypeDb>(nullptr);
    const QString userTypes = existingDir(userResourceDir() + QStringLiteral("/xml_nodetypes"));
    if (!userTypes.isEmpty())
        hostTypeDb->loadDir(userTypes);
    share::hostTypeDb = hostTypeDb.get();

    protocols = std::make_unique<ProtocolManager>(nullptr);
    protocols->loadPlugins(share::protocolsPath);
    share::protocolManager = protocols.get();
    engineBox = std::make_unique<EngineBox>();
    share::engineBox = engineBox.get();

    hostGraph = std::make_unique<HostGraph>(nullptr);
    share::hostGraph = hostGraph.get();
    OpenFilesLimit::checkHosts(int(engineBox->enginesList().size()));
}

KernelStartup::~KernelStartup()
{
    // What is still queued is written while the hosts it names exist.
    recorder.reset();
    history.reset();
    share::boardController = nullptr;
    boardController.reset();
    alarmMonitor.reset();
    // Engines refer to their hosts: the registry goes before the graph.
    engineBox.reset();
    share::engineBox = nullptr;
    hostGraph.reset();
    share::hostGraph = nullptr;
    share::protocolManager = nullptr;
    protocols.reset();
    share::hostTypeDb = nullptr;
    hostTypeDb.reset();
    share::classDb = nullptr;
    classDb.reset();
    share::scriptEngine = nullptr;
    share::pLog = nullptr;
}

NodeAttr* KernelStartup::createHost(const QString& url, int port, const QString& hostType,
                                    const QString& protocol, const QMap<QString, QString>& vars,
                                    QString* error)
{
    QString protocolName = protocol;
    if (protocolName.isEmpty()) {
        const HostType* type = hostTypeDb->findHostType(hostType);
        protocolName =
            type && !type->protocolName.isEmpty() ? type->protocolName : QStringLiteral("tavo");
    }
    if (port <= 0)
        port = protocols->getDefaultProtocolPort(protocolName);
    NodeAttr* node =
        hostGraph->createNodeAttr(-1, hostType, protocolName, url, quint16(port), 0, url);
    if (!node) {
        if (error)
            *error = QCoreApplication::translate("KernelStartup",
                                                 "the host %1 cannot be created (protocol '%2')")
                         .arg(url, protocolName);
        return nullptr;
    }
    for (auto it = vars.cbegin(); it != vars.cend(); ++it)
        node->setCustomVarValue(it.key(), it.value());
    return node;
}

void KernelStartup::startMonitors(AlarmNotifier* notifier)
{
    alarmMonitor = std::make_unique<AlarmMonitor>(nullptr);
    alarmMonitor->eventMonitor->setNotifier(notifier);
    // Only with the user's damping file; without it reactions run as always.
    damper = FlapDamper::installFromUserFile(alarmMonitor.get());
    boardController = std::make_unique<BoardController>(nullptr);
    share::boardController = boardController.get();
    usersFile = QStringLiteral("%1/%2").arg(share::m_sXmlUserListPath, share::m_sXmlUserListFile);
    if (QFileInfo::exists(usersFile))
        SaxUserListParser::readFile(usersFile, &users);
}

bool KernelStartup::startHistory(const QString& location, int retentionDays)
{
    history = std::make_unique<HistoryStore>();
    if (!history->open(location.isEmpty() ? HistoryStore::defaultSqlitePath() : location)) {
        history.reset();
        return false;
    }
    history->setRetentionDays(retentionDays);
    recorder = std::make_unique<HistoryRecorder>(history.get());
    if (alarmMonitor)
        recorder->watch(alarmMonitor.get());
    recorder->watch(damper.data());
    recorder->watch(engineBox.get());
    recorder->setUser(Acknowledging::operatorName(users));
    return true;
}

bool KernelStartup::setUser(const QString& name, QString* error)
{
    if (users.setCurrentUser(name)) {
        if (recorder)
            recorder->setUser(name);
        return true;
    }
    if (error)
        *error = QCoreApplication::translate("KernelStartup", "'%1' is not a user of %2")
                     .arg(name, usersFile);
    return false;
}

bool KernelStartup::saveHostGraph(QString* triedPath)
{
    hostGraph->checkSave();
    if (share::isSingleMode || !hostGraph->modified)
        return true;
    if (triedPath)
        *triedPath = HostGraph::userFilePath();
    return false;
}
