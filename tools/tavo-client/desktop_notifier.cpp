#include "desktop_notifier.h"

#include "foundation/abstractlog.h"
#include "foundation/app_shared.h"
#include "foundation/safe_text.h"

#include <QFileInfo>
#include <QSound>

DesktopNotifier::DesktopNotifier(QObject* parent)
    : QObject(parent)
{
}

void DesktopNotifier::sendEmail(const QString& address, const QString& text)
{
    Q_EMIT reactionPerformed(QStringLiteral("email"), QStringLiteral("%1: %2").arg(address, text));
    if (m_email) {
        m_email(address, text);
        return;
    }
    // The address and the text come from the user's action list file.
    if (share::pLog)
        share::pLog->logMessage(tr("E-mail to %1 not sent (no sender configured): %2")
                                    .arg(utils::escapeControlCharacters(address),
                                         utils::escapeControlCharacters(text)));
}

void DesktopNotifier::sendSms(const QString& address, const QString& text)
{
    Q_EMIT reactionPerformed(QStringLiteral("sms"), QStringLiteral("%1: %2").arg(address, text));
    if (m_sms) {
        m_sms(address, text);
        return;
    }
    if (share::pLog)
        share::pLog->logMessage(tr("SMS to %1 not sent (no sender configured): %2")
                                    .arg(utils::escapeControlCharacters(address),
                                         utils::escapeControlCharacters(text)));
}

void DesktopNotifier::playSound(const QString& fileName)
{
    Q_EMIT reactionPerformed(QStringLiteral("sound"), fileName);
    replaySound(fileName);
}

void DesktopNotifier::replaySound(const QString& fileName)
{
    if (!m_sound)
        return;
    // A missing file or a machine without sound output is no reason to
    // bother the operator; the alarm is in the window anyway.
    if (QFileInfo::exists(fileName))
        QSound::play(fileName);
    Q_EMIT soundPlayed(fileName);
}
