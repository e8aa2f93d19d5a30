#include "users/user_capabilities.h"

UserCapabilities::UserCapabilities(QObject* parent)
    : QObject(parent)
    , defaultUser(undefinedUserName())
{
    userNames.insert(administratorName(), QString());
}

UserCapabilities::~UserCapabilities()
{
    clear();
}

QString UserCapabilities::administratorName()
{
    return tr("Administrator");
}

QString UserCapabilities::undefinedUserName()
{
    return tr("--Undefined--");
}

QStringList UserCapabilities::getUsersList() const
{
    return capabilities.keys();
}

void UserCapabilities::getCapabilitiesList(const QString& user, QStringList& out) const
{
    if (user == administratorName()) {
        for (const QList<Permission>& list : capabilities) {
            for (const Permission& p : list) {
                if (!out.contains(p.second))
                    out.append(p.second);
            }
        }
        return;
    }
    const auto found = capabilities.constFind(user);
    if (found == capabilities.cend())
        return;
    for (const Permission& p : found.value())
        out.append(p.second);
}

bool UserCapabilities::setCurrentUser(const QString& user)
{
    if (user != administratorName() && user != undefinedUserName() && !capabilities.contains(user))
        return false;
    if (user != currentUser) {
        currentUser = user;
        Q_EMIT signalChangeCurrentUser();
    }
    return true;
}

bool UserCapabilities::setDefaultUser(const QString& user)
{
    if (user == administratorName()) {
        defaultUser.clear();
        return true;
    }
    if (user == undefinedUserName() || capabilities.contains(user)) {
        defaultUser = user;
        return true;
    }
    return false;
}

bool UserCapabilities::checkForCapability(const QString& permission) const
{
    if (currentUser == administratorName())
        return true;
    if (currentUser == undefinedUserName())
        return false;
    for (const Permission& p : capabilities.value(currentUser)) {
        if (p.first == permission)
            return true;
    }
    return false;
}

void UserCapabilities::append(const QString& user, QPair<QString, QString> permission)
{
    // The administrator has every permission already; a list for that name
    // must never start to restrict or extend it.
    if (user == administratorName())
        return;
    const auto found = capabilities.find(user);
    if (found != capabilities.end())
        found.value().append(permission);
}

void UserCapabilities::clear()
{
    capabilities.clear();
    currentUser.clear();
    defaultUser.clear();
}
