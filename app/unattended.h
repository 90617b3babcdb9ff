// Updating many PCs: the exit codes of an unattended run, which deployment
// tools read as they read msiexec's, and the quiet start.
#pragma once

#include <cstdint>

#include "app/command_line.h"
#include "app/update_run.h"

namespace app {

constexpr std::uint32_t kExitPatchTargetNotFound = 1642;  // ERROR_PATCH_TARGET_NOT_FOUND
constexpr std::uint32_t kExitElevationRequired = 740;     // ERROR_ELEVATION_REQUIRED

// What the run's outcome means to a deployment tool: 0 for replaced and for
// nothing to do; 1642 for no data file; 740 for a folder that refused a
// process that is not elevated; otherwise the Windows code of the step that
// failed (never 0).
std::uint32_t ExitCodeOf(const UpdateReport& report);

// Whether this process has more than its user's own rights: elevated, or
// LocalSystem (as deployment tools start programs); a token that cannot be
// asked counts as privileged.
bool RunsPrivileged();

// Called first, before any path is looked at: a privileged process trusts
// only the links administrators made (platform::EnforceRedirectionTrust),
// as the elevated copy does.
void GuardPrivilegedRun();

// The program started with /quiet: one update run with no window, box or
// prompt, logged when asked, its exit code returned. ERROR_INVALID_PARAMETER,
// with nothing done, for a command line it does not know.
std::uint32_t RunQuietly(const Switches& switches);

}  // namespace app
