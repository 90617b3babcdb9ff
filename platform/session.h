// Who runs the program, and when: what a log line of an unattended run names.
#pragma once

#include <string>

#include "platform/result.h"

namespace platform {

// The user the process runs as, as the system names it ("engineer", "SYSTEM");
// empty when the system cannot tell.
std::u16string UserName();

// True when the process runs as LocalSystem, whose HKEY_CURRENT_USER is the
// system's own and holds no user's settings; the token query's error, at the
// caller's `step`, when it cannot be told.
Result<bool> RunningAsLocalSystem(Step step);

// The current time in UTC, as "2026-12-08T21:30:40Z".
std::u16string UtcTimestamp();

}  // namespace platform
