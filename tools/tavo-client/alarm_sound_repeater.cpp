#include "alarm_sound_repeater.h"

#include "alarm_acknowledgements.h"
#include "alarm_model.h"
#include "desktop_notifier.h"

#include "alarms/eventmonitor.h"

#include <QAbstractItemModel>

AlarmSoundRepeater::AlarmSoundRepeater(QAbstractItemModel* alarms,
                                       AlarmAcknowledgements* acknowledgements,
                                       DesktopNotifier* notifier, QObject* parent)
    : QObject(parent)
    , m_alarms(alarms)
    , m_acknowledgements(acknowledgements)
    , m_notifier(notifier)
{
    connect(&m_timer, &QTimer::timeout, this, &AlarmSoundRepeater::repeat);
}

void AlarmSoundRepeater::setIntervalSeconds(int seconds)
{
    m_seconds = qMax(0, seconds);
    if (m_seconds > 0)
        m_timer.start(m_seconds * 1000);
    else
        m_timer.stop();
}

QString AlarmSoundRepeater::dueSound() const
{
    // The model keeps the most severe first.
    for (int row = 0; row < m_alarms->rowCount(); ++row) {
        const QModelIndex index = m_alarms->index(row, 0);
        const int hostKey = index.data(AlarmModel::HostKeyRole).toInt();
        const QString device = index.data(AlarmModel::DeviceNameRole).toString();
        const QString param = index.data(AlarmModel::ParamNameRole).toString();
        if (m_acknowledgements && m_acknowledgements->isAcknowledged(hostKey, device, param))
            continue;
        const QString file = EventMonitor::soundFile(index.data(AlarmModel::SeverityRole).toInt());
        if (!file.isEmpty())
            return file;
    }
    return QString();
}

void AlarmSoundRepeater::repeat()
{
    const QString file = dueSound();
    if (!file.isEmpty())
        m_notifier->replaySound(file);
}
