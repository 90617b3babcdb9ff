#include "app/unattended.h"

#include "app/run_log.h"
#include "platform/elevation.h"
#include "platform/session.h"
#include "platform/system_error.h"

namespace app {

std::uint32_t ExitCodeOf(const UpdateReport& report) {
    switch (report.outcome) {
        case UpdateOutcome::Installed:
        case UpdateOutcome::AlreadyUpdated: return 0;
        case UpdateOutcome::NoUpdateNeeded: return kExitPatchTargetNotFound;
        case UpdateOutcome::Failed: break;
    }
    if (report.elevationWouldHelp && !report.elevatedCopyExitCode) return kExitElevationRequired;
    return report.failure ? report.failure->code() : platform::kErrorInstallFailure;
}

// A token that cannot be asked counts as privileged: such a run trusts no link.
bool RunsPrivileged() {
    const platform::Result<bool> elevated = platform::ProcessIsElevated();
    const platform::Result<bool> system = platform::RunningAsLocalSystem();
    return !elevated.ok() || elevated.value() || !system.ok() || system.value();
}

void GuardPrivilegedRun() {
    if (RunsPrivileged()) platform::EnforceRedirectionTrust();
}

std::uint32_t RunQuietly(const Switches& switches) {
    if (switches.invalid) return platform::kErrorInvalidParameter;
    const UpdateReport report = RunUpdate(Prompting::Never);
    if (!switches.logFile.empty()) (void)AppendRunLog(switches.logFile, report);  // a log never decides the code
    return ExitCodeOf(report);
}

}  // namespace app
