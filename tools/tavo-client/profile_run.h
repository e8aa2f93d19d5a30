#pragma once

#include "step.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

class ActionBox;

/**
 * One profile over a list of hosts, run by the kernel host after host; each
 * host's outcome is one step. Hosts that are not connected are skipped
 * before it starts, since every stage of a profile needs the host's
 * answers.
 */
class ProfileRun : public QObject
{
    Q_OBJECT

public:
    explicit ProfileRun(QObject* parent = nullptr);
    ~ProfileRun() override;

    /// Reads the profile @p path and starts it over @p hostKeys. Steps,
    /// progress and even finished() may come before this returns; false
    /// when the file cannot be read.
    bool start(const QString& path, const QList<int>& hostKeys);
    /// Stops at once; the host in hand and those not reached are skipped.
    void cancel();
    bool isRunning() const { return m_running; }

Q_SIGNALS:
    void stepDone(const Step& step);
    void progress(int done, int total);
    void finished();

private:
    void hostDone(int index, bool ok);
    void checkStalled();
    void skipRemaining(const QString& reason);
    void finish();

    QPointer<ActionBox> m_box;
    /// The shown name of each host handed to the box, in its order.
    QStringList m_hostNames;
    int m_done = 0;
    bool m_running = false;
};
