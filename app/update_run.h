// The update run: the program's one task, started by "开始更新".
#pragma once

namespace app {

enum class UpdateOutcome {
    NoUpdateNeeded,  // no data file to replace: "该版本无需更新."
    AlreadyUpdated,  // the recorded version is not older: "已经更新，无需重复更新."
    Installed,       // payload written and version recorded: "成功更新至版本…"
    Failed,          // anything went wrong: "更新失败."
};

// Decides, installs, records the version, and shows exactly one message box,
// returning when the user has dismissed it. The outcome is returned for
// callers that want it; the box has already told the user.
UpdateOutcome UpdateRun();

}  // namespace app
