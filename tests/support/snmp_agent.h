#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

/**
 * A real Net-SNMP agent (/usr/sbin/snmpd) on a free 127.0.0.1 UDP port, with
 * its configuration, persistent files and log in its own temporary
 * directory, and the Net-SNMP command-line tools to look at it from outside.
 *
 * The configuration gives read access with the community "public" and write
 * access with "private", a fixed sysLocation (read-only, as snmpd makes every
 * object set in its configuration), a writable sysContact, a monitored
 * process that never runs, load thresholds that are always exceeded and the
 * root file system in dskTable.
 *
 * The agent's port is its own once start() returns: snmpd writes its pid
 * file only after binding, and start() waits for that.
 *
 * Every wait is bounded; the destructor stops the agent.
 */
class SnmpAgent
{
public:
    SnmpAgent();
    ~SnmpAgent() { stop(); }
    SnmpAgent(const SnmpAgent&) = delete;
    SnmpAgent& operator=(const SnmpAgent&) = delete;

    static QString readCommunity() { return QStringLiteral("public"); }
    static QString writeCommunity() { return QStringLiteral("private"); }
    /// sysLocation.0 as configured, without the quotes snmpget adds.
    static QString location() { return QStringLiteral("tavo-test-lab"); }

    /// Starts the agent on a free port (retried on another port when the one
    /// found is taken meanwhile) and waits, at most about 10 s, until it
    /// answers a get of sysUpTime.0.
    bool start();
    /// Starts the agent again on the port it had and the same configuration,
    /// as a rebooted device: values set over SNMP are gone, since -C keeps
    /// snmpd from reading its persistent files too. False when the port has
    /// been taken meanwhile.
    bool restart();
    /// SIGTERM, an orderly shutdown; SIGKILL if it has not exited within 5 s.
    void stop();
    /// SIGKILL: the agent vanishes as a crashed or unplugged host does.
    void kill();
    bool isRunning() const { return m_process && m_process->state() != QProcess::NotRunning; }

    /// 0 until the first successful start().
    quint16 port() const { return m_port; }
    /// "127.0.0.1:<port>", the agent address as the Net-SNMP tools take it.
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

    /// The value of one object as `snmpget -On -Oqvt` prints it, trimmed and
    /// without the double quotes around strings: TimeTicks as a plain number,
    /// OIDs dotted with a leading "."; empty when the agent did not answer.
    QString getText(const QString& oid) const;
    /// Every "oid value" line of `snmpwalk -On -Oqt` below @p oid; the oids
    /// have a leading ".".
    QStringList walk(const QString& oid) const;

    /// What the agent logged so far, for failure messages.
    QByteArray log() const;

private:
    QString configPath() const { return m_dir.filePath(QStringLiteral("snmpd.conf")); }
    bool launch();
    bool waitUntilAnswering();
    /// Runs a Net-SNMP tool on @p oid of the agent; false when it failed or
    /// did not finish in time.
    bool runTool(const QString& program, const QStringList& options, const QString& oid,
                 QByteArray& out) const;
    bool writeConfig() const;

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
};
