#include "app/outcome.h"

namespace app {

std::uint32_t ExitCodeOf(const UpdateReport& report) {
    const OutcomeRow& row = RowOf(report.outcome);
    if (report.outcome != UpdateOutcome::Failed) return row.exitCode;
    if (report.elevationWouldHelp && !report.elevatedCopyExitCode) return kExitElevationRequired;
    return report.failure ? report.failure->code() : row.exitCode;
}

}  // namespace app
