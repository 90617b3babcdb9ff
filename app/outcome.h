// What each outcome of an update run means to the one who sees it: the box's
// message and icon, the log's word, and the exit code a deployment tool reads
// (Windows error codes, as msiexec's). The box, the log and the exit code all
// read this table.
#pragma once

#include <cstdint>

#include "app/update_run.h"
#include "platform/message_box.h"

namespace app {

inline constexpr std::uint32_t kExitPatchTargetNotFound = 1642;  // ERROR_PATCH_TARGET_NOT_FOUND
inline constexpr std::uint32_t kExitElevationRequired = 740;     // ERROR_ELEVATION_REQUIRED

struct OutcomeRow {
    UpdateOutcome outcome;
    const char16_t* message;     // the box's text
    bool endsWithVersion;        // the message goes on with string 101 and "."
    platform::MessageIcon icon;  // the box's icon
    const char16_t* logWord;     // "outcome=" in the log
    std::uint32_t exitCode;      // for a failure: when no step's code names the cause
};

// In the order of UpdateOutcome.
inline constexpr OutcomeRow kOutcomes[] = {
    {UpdateOutcome::NoUpdateNeeded, u"该版本无需更新.", false, platform::MessageIcon::Critical, u"no-update-needed",
     kExitPatchTargetNotFound},
    {UpdateOutcome::AlreadyUpdated, u"已经更新，无需重复更新.", false, platform::MessageIcon::Information,
     u"already-updated", 0},
    {UpdateOutcome::Installed, u"成功更新至版本", true, platform::MessageIcon::Information, u"installed", 0},
    {UpdateOutcome::Failed, u"更新失败.", false, platform::MessageIcon::Critical, u"failed",
     platform::kErrorInstallFailure},
};
static_assert(sizeof kOutcomes / sizeof kOutcomes[0] == static_cast<int>(UpdateOutcome::Failed) + 1,
              "a row for every outcome");

inline const OutcomeRow& RowOf(UpdateOutcome outcome) { return kOutcomes[static_cast<int>(outcome)]; }

// The run's exit code: its outcome's, except for a failure: 740 where an
// elevated process could have done what this one was refused and no elevated
// copy ran; otherwise the Windows code of the step that failed (an elevated
// copy's own exit code when it ran and failed), never 0.
std::uint32_t ExitCodeOf(const UpdateReport& report);

}  // namespace app
