#pragma once

#include "alarms/alarm_notifier.h"

#include <QObject>

#include <functional>

/**
 * What the event monitor decides, delivered on a desktop: the severity
 * sounds are played; e-mail and SMS notices go to the senders installed,
 * and are logged when there are none.
 */
class DesktopNotifier : public QObject, public AlarmNotifier
{
    Q_OBJECT

public:
    using Sender = std::function<void(const QString& address, const QString& text)>;

    explicit DesktopNotifier(QObject* parent = nullptr);

    void setEmailSender(Sender sender) { m_email = std::move(sender); }
    void setSmsSender(Sender sender) { m_sms = std::move(sender); }
    /// Off in tests and under a screen reader's own sounds.
    void setSoundEnabled(bool on) { m_sound = on; }

    void sendEmail(const QString& address, const QString& text) override;
    void sendSms(const QString& address, const QString& text) override;
    void playSound(const QString& fileName) override;
    /// Plays a sound again, as no reaction: soundPlayed() only.
    void replaySound(const QString& fileName);

Q_SIGNALS:
    void soundPlayed(const QString& fileName);
    /// Every reaction the event monitor asked for, delivered or not, for
    /// the history.
    void reactionPerformed(const QString& kind, const QString& detail);

private:
    Sender m_email;
    Sender m_sms;
    bool m_sound = true;
};
