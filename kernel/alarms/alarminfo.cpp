#include "alarms/alarminfo.h"

#include <QCoreApplication>
#include <QHelpEngineCore>
#include <QMultiMap>
#include <QUrl>

namespace {

QString translated(const char* text)
{
    return QCoreApplication::translate("AlarmInfo", text);
}

// Cuts the first block that starts with @p opening up to and including the
// first closing div after it; nested blocks end the cut early, as the pages
// the help generator writes have none.
void removeBlock(QString& page, const QString& opening)
{
    const QString closing = QStringLiteral("</div>");
    const int start = page.indexOf(opening);
    if (start < 0)
        return;
    const int end = page.indexOf(closing, start);
    if (end < 0)
        return;
    page.remove(start, end + closing.size() - start);
}

} // namespace

QString AlarmInfo::getCurrentAlarmInfo(const QHelpEngineCore* help) const
{
    if (currentAlarm == NoAlarm)
        return translated(QT_TRANSLATE_NOOP("AlarmInfo", "<h4>There is no alarm</h4>"));

    QMultiMap<QString, QUrl> links;
    if (help) {
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        for (const QString& id : alarmIds.value(currentAlarm)) {
            const QMap<QString, QUrl> found = help->linksForIdentifier(id);
            for (auto it = found.cbegin(); it != found.cend(); ++it)
                links.insert(it.key(), it.value());
        }
        QT_WARNING_POP
    }
    if (links.isEmpty())
        return translated(QT_TRANSLATE_NOOP("AlarmInfo", "<h4>No info about this alarm</h4>"));

    QString text = translated(QT_TRANSLATE_NOOP("AlarmInfo", "<h4>Current alarm:</h4>"));
    text += alarmNames.value(currentAlarm);
    text += QStringLiteral("<br>");
    for (auto it = links.cbegin(); it != links.cend(); ++it) {
        const QByteArray page = help->fileData(it.value());
        if (!page.isEmpty())
            text += removeNavHeaderAndFooter(QString::fromUtf8(page));
    }
    return text;
}

QString AlarmInfo::removeNavHeaderAndFooter(const QString& page)
{
    QString text = page;
    removeBlock(text, QStringLiteral("<div class=\"navheader\">"));
    removeBlock(text, QStringLiteral("<div class=\"navfooter\">"));
    text.replace(QStringLiteral("h2"), QStringLiteral("h4"));
    return text;
}
