#pragma once

#include <QString>

namespace rt {

struct Services;

// The last resort for a failure that nobody expects: tells the player what
// went wrong, then ends the program.
[[noreturn]] void ErrorReport(Services &services, const QString &what);

} // namespace rt
