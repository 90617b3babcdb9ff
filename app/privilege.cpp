#include "app/privilege.h"

#include "app/update_run.h"
#include "platform/elevation.h"
#include "platform/session.h"

namespace app {

bool RunsPrivileged() {
    const platform::Result<bool> elevated = platform::ProcessIsElevated(kStepElevate);
    const platform::Result<bool> system = platform::RunningAsLocalSystem(kStepElevate);
    return !elevated.ok() || elevated.value() || !system.ok() || system.value();
}

void GuardPrivilegedRun() {
    if (RunsPrivileged()) platform::EnforceRedirectionTrust();
}

}  // namespace app
