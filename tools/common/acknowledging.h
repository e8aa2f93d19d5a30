#pragma once

#include <QString>

class UserCapabilities;

/**
 * Who may acknowledge an alarm, and under which name, for both clients.
 * Acknowledging takes the same right as writing a value, "write": both act
 * on what colleagues see. Without a users file there are no rights to
 * check, and everyone may.
 */
namespace Acknowledging {

bool mayAcknowledge(const UserCapabilities& users);
/// The current user; without one, the login name, else "operator". The
/// name under which writes and acknowledgements are recorded.
QString operatorName(const UserCapabilities& users);

} // namespace Acknowledging
