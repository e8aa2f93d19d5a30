#pragma once

#include "users/user_capabilities.h"

#include <QMap>
#include <QPointer>
#include <QScriptEngine>
#include <QString>

#include <memory>

class AbstractLog;
class AlarmMonitor;
class AlarmNotifier;
class BoardController;
class ClassDb;
class FlapDamper;
class EngineBox;
class HistoryRecorder;
class HistoryStore;
class HostGraph;
class HostTypeDb;
class NodeAttr;
class ProtocolManager;

/**
 * The kernel's start-up shared by the programs: the paths, then the central
 * objects in the order they rely on each other, each published through the
 * share globals for its lifetime, and last the monitors and the users.
 *
 * Resources are looked up, in this order: --resdir and --plugdir when given;
 * otherwise, for an installed program, the installed set found from the
 * program's own location; otherwise the program's folder. Class files and
 * host types in the user's own resource folder (userResourceDir()) come on
 * top of those: a class or host type there wins over one of the same name.
 */
class KernelStartup
{
public:
    /// The command line and every resource path. First of all, before the
    /// log: the options may end the process with the usage text.
    static void initPaths();
    /// The shipped resource set of an installed program; empty when the
    /// program runs from a build tree.
    static QString installedResourceDir();
    /// Class files ("xml_classes") and host types ("xml_nodetypes") of the
    /// user, without root: the platform's per-user data folder "tavo-client".
    static QString userResourceDir();

    /// Raises the open-files limit as far as allowed, publishes @p log and
    /// a script engine, loads classes and host types, the protocol plug-ins,
    /// the engine registry and the host graph (empty in single-host mode),
    /// and warns when the limit leaves too few files for the graph's hosts.
    explicit KernelStartup(AbstractLog* log);
    /// Unpublishes everything, the log last, so that the teardown logs into
    /// nothing rather than into a destroyed log.
    ~KernelStartup();
    KernelStartup(const KernelStartup&) = delete;
    KernelStartup& operator=(const KernelStartup&) = delete;

    /// A host at the top of the graph, named after its address. Its protocol
    /// is @p protocol, else its host type's, else "tavo"; its port @p port,
    /// else the protocol's default. Null, with the reason in @p error, when
    /// the graph refuses it.
    NodeAttr* createHost(const QString& url, int port, const QString& hostType,
                         const QString& protocol = QString(),
                         const QMap<QString, QString>& vars = QMap<QString, QString>(),
                         QString* error = nullptr);

    /// The last step, once the hosts of the command line exist: the alarm
    /// monitor with its event monitor delivering through @p notifier, the
    /// observed board and the users of the users file.
    void startMonitors(AlarmNotifier* notifier);
    /// From now on records the history (alarm states, writes, connections,
    /// reactions) into @p location, a SQLite file or a PostgreSQL URL; empty:
    /// the per-user file. A history that cannot be opened is logged and the
    /// program goes on without one. After startMonitors().
    /// Records older than @p retentionDays are removed as the program runs.
    bool startHistory(const QString& location, int retentionDays = 90);

    /// Makes @p name the current user; false, with the reason in @p error,
    /// for a name the users file does not know.
    bool setUser(const QString& name, QString* error);

    /// Writes the host graph when it has changed. False when the changes
    /// could not be written, with the path tried in @p triedPath.
    bool saveHostGraph(QString* triedPath);

    QScriptEngine scriptEngine;
    std::unique_ptr<ClassDb> classDb;
    std::unique_ptr<HostTypeDb> hostTypeDb;
    std::unique_ptr<ProtocolManager> protocols;
    std::unique_ptr<EngineBox> engineBox;
    std::unique_ptr<HostGraph> hostGraph;
    std::unique_ptr<AlarmMonitor> alarmMonitor;
    std::unique_ptr<BoardController> boardController;
    /// Owned by the alarm monitor; null without a damping file.
    QPointer<FlapDamper> damper;
    UserCapabilities users;
    QString usersFile;
    std::unique_ptr<HistoryStore> history;
    std::unique_ptr<HistoryRecorder> recorder;
};
