#pragma once

#include "alarms/alarm_notifier.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <memory>

class Device;
class DeviceDb;
class FleetStats;
class StaggeredConnector;
class HistoryRecorder;
class Engine;
class Param;
class ParamCore;

/// The client's settings beyond the kernel's own command line.
struct ClientOptions
{
    int periodSec = 2;
    int durationSec = 0; // 0: until interrupted
    bool reconnect = false;
    int connectTimeoutSec = 8;
    QString protocol;
    QStringList debugGroups;
    struct Write
    {
        QString device;
        QString param;
        QString value;
        bool queued = false;
    };
    QList<Write> writes;
    QString templateFile;
    QString templateDevice;
    QString profileFile;
    QString user;
    bool board = false;
    struct NewHost
    {
        QString url;
        quint16 port;
        QString hostType;
    };
    QList<NewHost> addHosts; // into the user's host graph, saved on exit
    QMap<QString, QString> vars; // the protocol's variables of the hosts created here
    QString statsFile; // written on exit: connections, values, ages, state changes
    int statsAfterSec = 15; // values are counted from then on

    /// False with @p error for a malformed option.
    bool parse(const QStringList& arguments, QString* error);
};

/**
 * What tavo-console does once the kernel is up: connects the hosts,
 * subscribes every parameter of every device they announce, and prints one
 * line per value change, alarm state change and reaction on stdout.
 */
class Client : public QObject, public AlarmNotifier
{
    Q_OBJECT

public:
    explicit Client(const ClientOptions& options, QObject* parent = nullptr);
    ~Client() override;

    /// Connects every host; exits the process with 3 when none connects.
    void start();

    /// Reactions are recorded in the history through @p recorder (may be null).
    void setRecorder(HistoryRecorder* recorder) { m_recorder = recorder; }
    /// The figures of --stats; false when they could not be written.
    bool writeStats() const;

    void sendEmail(const QString& address, const QString& text) override;
    void sendSms(const QString& address, const QString& text) override;
    void playSound(const QString& fileName) override;

public Q_SLOTS:
    void paramStateChanged(const Param* param, int newState, int oldState);
    void boardChanged(QString hostName, bool ok, QString devName);
    void openTerminal(QList<int> keys);

private:
    void watch(Engine* engine);
    void deviceAppended(DeviceDb* db, const QString& className, int tag, int baseTag);
    void paramRead(const Device* device, const ParamCore* pcore);
    void applyWrites();
    void runTemplate();
    void runProfile();
    QString hostOf(const QObject* deviceOrDb) const;
    void heardFrom(const Engine* engine);
    void checkSilence();
    static void print(const QString& line);

    ClientOptions m_options;
    /// The text last printed of each parameter, until its device goes.
    QHash<const ParamCore*, QString> m_lastText;
    QSet<Engine*> m_everConnected;
    QTimer m_writeTimer;
    // A connected host that answers nothing is shown long before the
    // engine's own watchdog lets it go.
    struct Hearing
    {
        QElapsedTimer since;
        bool silent = false;
    };
    QHash<const Engine*, Hearing> m_hearing;
    QTimer m_silenceTimer;
    HistoryRecorder* m_recorder = nullptr;
    bool m_filesStarted = false;
    StaggeredConnector* m_connector;
    std::unique_ptr<FleetStats> m_stats;
};
