#include "app/unattended.h"

#include "app/run_log.h"
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

std::uint32_t RunQuietly(const Switches& switches) {
    if (switches.invalid) return platform::kErrorInvalidParameter;
    const UpdateReport report = RunUpdate(Prompting::Never);
    if (!switches.logFile.empty()) AppendRunLog(switches.logFile, report);
    return ExitCodeOf(report);
}

}  // namespace app
