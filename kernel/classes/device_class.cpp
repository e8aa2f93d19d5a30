#include "classes/device_class.h"

#include "foundation/log_p.h"

ParamClass::ParamClass(QObject* parent)
    : QObject(parent)
{
}

ParamClass::~ParamClass() = default;

DeviceClass::DeviceClass(QObject* parent)
    : QObject(parent)
{
    createVirtualParams();
}

DeviceClass::~DeviceClass() = default;

QString DeviceClass::paramKey(const QString& name, qint32 dim)
{
    if (dim < 2)
        return name;
    return QStringLiteral("%1[]").arg(name);
}

bool DeviceClass::appendParamClass(ParamClass* paramClass)
{
    const QString key = paramKey(paramClass->name, paramClass->dim);
    if (paramClasses.contains(key)) {
        tavolog::error(tr("Param class '%1' already exists in device class '%2'.").arg(key, name));
        return false;
    }
    paramClasses.insert(key, paramClass);
    paramClassList.append(paramClass);
    paramClass->setParent(this);
    return true;
}

bool DeviceClass::setVirtualParamClass(ParamClass* paramClass)
{
    if (!paramClass->isVirtual) {
        tavolog::error(tr("Param class with name '%1' is not virtual").arg(paramClass->name));
        return false;
    }

    ParamClass* existing = paramClasses.value(paramClass->name);
    if (!existing) {
        // Whatever the file said, a virtual parameter is a read-only INT:
        // its value is the script's result.
        auto* created = new ParamClass(this);
        created->name = paramClass->name;
        created->isVirtual = true;
        created->isPredefined = false;
        created->access = 1;
        created->type = Tavo::INT;
        created->script = paramClass->script;
        created->args = paramClass->args;
        if (!appendParamClass(created))
            delete created;
        return true;
    }

    if (!existing->isPredefined) {
        tavolog::error(
            tr("Virtual param class with name '%1' is already setted").arg(paramClass->name));
        return false;
    }
    existing->script = paramClass->script;
    existing->args = paramClass->args;
    existing->isPredefined = false;
    return true;
}

void DeviceClass::createVirtualParams()
{
    auto* alarm = new ParamClass(this);
    alarm->name = QStringLiteral("alarm");
    alarm->isVirtual = true;
    alarm->isPredefined = true;
    alarm->access = 1;
    alarm->type = Tavo::INT;
    if (!appendParamClass(alarm))
        delete alarm;
}
