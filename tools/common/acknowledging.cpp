#include "acknowledging.h"

#include "users/user_capabilities.h"

namespace Acknowledging {

bool mayAcknowledge(const UserCapabilities& users)
{
    return users.getUsersList().isEmpty() || users.checkForCapability(QStringLiteral("write"));
}

QString operatorName(const UserCapabilities& users)
{
    if (!users.currentUser.isEmpty() && users.currentUser != UserCapabilities::undefinedUserName())
        return users.currentUser;
    return qEnvironmentVariable("USER", QStringLiteral("operator"));
}

} // namespace Acknowledging
