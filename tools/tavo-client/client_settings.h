#pragma once

#include <QSettings>

/// The user's settings of the desktop client, whatever the application's
/// names (its tests do not set them).
inline QSettings clientSettings()
{
    return QSettings(QStringLiteral("tavo-client"), QStringLiteral("tavo-client"));
}
