#pragma once

#include <QObject>
#include <QTimer>

class AlarmAcknowledgements;
class DesktopNotifier;
class QAbstractItemModel;

/**
 * Plays the sound of the most severe unacknowledged alarm again at an
 * interval, so that an alarm nobody has taken is not forgotten once its
 * first sound has passed; acknowledging every alarm of sound silences it.
 * The repeats are not reactions: they reach neither the log nor the history.
 */
class AlarmSoundRepeater : public QObject
{
    Q_OBJECT

public:
    /// @p alarms is an AlarmModel (its roles are read).
    AlarmSoundRepeater(QAbstractItemModel* alarms, AlarmAcknowledgements* acknowledgements,
                       DesktopNotifier* notifier, QObject* parent = nullptr);

    /// 0 switches the repeats off; the user's setting, 30 s by default.
    void setIntervalSeconds(int seconds);
    int intervalSeconds() const { return m_seconds; }

    /// The sound file that the next repeat plays; empty when there is none.
    QString dueSound() const;

private:
    void repeat();

    QAbstractItemModel* m_alarms;
    AlarmAcknowledgements* m_acknowledgements;
    DesktopNotifier* m_notifier;
    QTimer m_timer;
    int m_seconds = 0;
};
