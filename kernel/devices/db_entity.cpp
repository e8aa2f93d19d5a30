#include "devices/db_entity.h"

DbEntity::DbEntity(QObject* parent)
    : QObject(parent)
{
}

DbEntity::~DbEntity() = default;

DbEntity* DbEntity::parentEntity() const
{
    return qobject_cast<DbEntity*>(parent());
}

void DbEntity::reset(int holdOffMs)
{
    m_state = NotBound;
    code = -1;
    resetTime = QTime::currentTime().addMSecs(holdOffMs);
}

void DbEntity::notify(DbEntity::NotifyMessage) { }
