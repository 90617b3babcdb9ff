#include "app/unattended.h"

#include "app/outcome.h"
#include "app/run_log.h"
#include "platform/system_error.h"

namespace app {

std::uint32_t RunQuietly(const Switches& switches) {
    if (switches.invalid) return platform::kErrorInvalidParameter;
    const UpdateReport report = RunUpdate(Prompting::Never);
    if (!switches.logFile.empty()) (void)AppendRunLog(switches.logFile, report);  // a log never decides the code
    return ExitCodeOf(report);
}

}  // namespace app
