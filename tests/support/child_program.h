#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

/**
 * A program of the project run as a child process, its standard output and
 * error gathered as they come. stop() ends it with SIGTERM and waits, so that
 * a build instrumented for coverage writes its counts on the way out; SIGKILL
 * only when it is still there after a few seconds.
 */
class ChildProgram
{
public:
    ChildProgram(const QString& binary, const QStringList& arguments,
                 const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    virtual ~ChildProgram();
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    void stop(int graceMs = 5000);
    /// Whether it ended by itself within @p timeoutMs.
    bool finish(int timeoutMs) { return process.waitForFinished(timeoutMs); }
    int exitCode() const { return process.exitCode(); }

    /// Whether a line of the output matches the regular expression.
    bool has(const QString& pattern) const { return count(pattern) > 0; }
    int count(const QString& pattern) const;

    QProcess process;
    QString out;
    QString err;
};

/**
 * tavo-nesim with the demo classes, on loopback ports that it picks itself
 * (or on @p tcpPort) and names in a port file; tcp and udp stay 0 when it did
 * not come up within 20 s. @p extra arguments go after the others.
 */
// A base of its own: the folder must exist before the program is started.
struct PortFileDir
{
    QString portFile() const { return portDir.filePath(QStringLiteral("ports")); }
    QTemporaryDir portDir;
};

class Simulator : private PortFileDir, public ChildProgram
{
public:
    Simulator(const QString& binary, const QString& demoDir, const QString& scenario,
              quint16 tcpPort = 0,
              const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
              const QStringList& extra = QStringList());

    bool isUp() const { return tcp != 0; }

    quint16 tcp = 0;
    quint16 udp = 0;
};

/// The system environment with the programs' per-user settings below
/// @p folder and their per-user data (the history) below its data/, so that
/// no run sees another's.
QProcessEnvironment userEnvironment(const QString& folder);

/// What a simulator on @p port answers to @p request, up to the PONG of a
/// PING sent after it; empty when no PONG came within 5 s.
QByteArray ask(quint16 port, const QByteArray& request);
