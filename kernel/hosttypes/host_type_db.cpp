#include "hosttypes/host_type_db.h"

#include "foundation/app_shared.h"
#include "foundation/log_p.h"
#include "foundation/resource_walk_p.h"
#include "hosttypes/sax_host_type_parser.h"

const QString NULL_HOST_TYPE = QStringLiteral("none");

HostType::HostType(const QString& name, QObject* parent)
    : QObject(parent)
    , name(name)
{
}

HostType::~HostType() = default;

bool HostType::checkCompatibilityList(const QStringList* names) const
{
    if (!names || names->isEmpty() || deviceClassNames.isEmpty())
        return false;
    for (const QString& className : *names) {
        if (!deviceClassNames.contains(className))
            return false;
    }
    return true;
}

HostTypeDb::HostTypeDb(QObject* parent)
    : QObject(parent)
{
    loadDir(share::xmlNodeTypesPath);
    addHostType(new HostType(NULL_HOST_TYPE, this));
}

HostTypeDb::~HostTypeDb() = default;

void HostTypeDb::addHostType(HostType* hostType)
{
    hostType->setParent(this);
    hostTypes.append(hostType);
    hostTypeMap.insert(hostType->hostTypeName(), hostType);
}

HostType* HostTypeDb::findHostType(const QString& name) const
{
    return hostTypeMap.value(name);
}

bool HostTypeDb::checkTypeName(QString name) const
{
    return hostTypeMap.contains(name);
}

void HostTypeDb::loadDir(const QString& path)
{
    if (path.isEmpty() || !QDir(path).exists()) {
        tavolog::error(tr("[HostTypeDb::loadDir()] Directory '%1' is not exits").arg(path));
        return;
    }
    tavolog::message(
        tr("[HostTypeDb::loadDir()] Check directory '%1' for the hosts database").arg(path));
    tavoresources::forEachXmlFile(path, [this](const QString& file) { loadDb(file); });
}

bool HostTypeDb::loadDb(const QString& path)
{
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    return tavoresources::parseFile(
        path, [this](const QString& file) { return SaxHostTypeParser(file, this); });
    QT_WARNING_POP
}
