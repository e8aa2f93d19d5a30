#pragma once

#include "tavo_kernel_export.h"

#include <QString>

/**
 * Delivers what the event monitor decides: e-mail and SMS notices and the
 * severity sound. The kernel has no mail or SMS transport of its own; a
 * client installs a notifier with EventMonitor::setNotifier() to deliver
 * them, or to play sounds its own way.
 */
class TAVO_KERNEL_EXPORT AlarmNotifier
{
public:
    virtual ~AlarmNotifier();

    virtual void sendEmail(const QString& address, const QString& text) = 0;
    virtual void sendSms(const QString& address, const QString& text) = 0;
    /// @p fileName is the full path of one of the severity sounds.
    virtual void playSound(const QString& fileName) = 0;
};
