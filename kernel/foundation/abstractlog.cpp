#include "foundation/abstractlog.h"

AbstractLog::AbstractLog(QObject* parent)
    : QObject(parent)
{
}

AbstractLog::~AbstractLog()
{
    qDeleteAll(groups);
}

int AbstractLog::getGroupIndex(const QString& name)
{
    for (const LogGroupItem* group : qAsConst(groups)) {
        if (group->name == name) {
            return group->index;
        }
    }
    auto* group = new LogGroupItem;
    group->name = name;
    group->index = groups.size();
    groups.append(group);
    Q_EMIT groupChanged();
    return group->index;
}

bool AbstractLog::isDebugMode(int group) const
{
    if (!debugMode || group < 0 || group >= groups.size()) {
        return false;
    }
    return groups.at(group)->debug;
}

bool AbstractLog::isDebugMode() const
{
    return debugMode;
}

void AbstractLog::setDebugMode(bool on)
{
    debugMode = on;
}

bool AbstractLog::testFilter(const QString& text) const
{
    if (!filterOn) {
        return true;
    }
    if (filterIsRegExp) {
        return filterRegExp.indexIn(text) != -1;
    }
    return text.contains(filterText, Qt::CaseInsensitive);
}
