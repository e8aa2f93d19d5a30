#pragma once

#include "foundation/tavo_global_namespace.h"
#include "tavo_kernel_export.h"

#include <QList>
#include <QObject>
#include <QString>

class AlarmNotifier;
class Param;

/**
 * Reacts to alarm state changes: performs the reactions the user configured
 * in the action list for the parameter's class and the new state, writes one
 * line on the log's alarm sink and plays the severity sound.
 */
class TAVO_KERNEL_EXPORT EventMonitor : public QObject
{
    Q_OBJECT

public:
    /// Reads the user's action list into the class database.
    explicit EventMonitor(QObject* parent);
    ~EventMonitor() override;

    void openTerminal(int key);
    void playSound(Tavo::AlarmType state);
    void sendEmail(const QString& address, const QString& text);
    void sendSms(const QString& address, const QString& text);

    /// The sound of a severity below share::soundPath, empty for none.
    static QString soundFile(int state);

    /// Borrowed; null restores the defaults: notices are only logged as not
    /// sent, sounds go to the system's sound output.
    void setNotifier(AlarmNotifier* notifier) { m_notifier = notifier; }
    AlarmNotifier* notifier() const { return m_notifier; }

Q_SIGNALS:
    void signalOpenTerminal(QList<int> keys);

public Q_SLOTS:
    void stateChanged(const Param* param, int newState, int oldState);

private:
    AlarmNotifier* m_notifier = nullptr;

    Q_DISABLE_COPY(EventMonitor)
};
