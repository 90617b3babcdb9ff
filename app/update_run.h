// The update run: the program's one task, started by "开始更新".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/result.h"

namespace app {

// Where Tolvar keeps its settings, and the values the run reads and writes.
inline constexpr char16_t kProductKeyPath[] = u"HKEY_CURRENT_USER\\Software\\Qd";
inline constexpr char16_t kInstallFolderValue[] = u"PathTOL";
inline constexpr char16_t kVersionValue[] = u"VerTOL";

// The run's own steps, beside those of the file replace and the modules.
inline constexpr platform::Step kStepElevate{platform::kRunSteps + 0};       // asking for, starting or running the elevated copy
inline constexpr platform::Step kStepVirtualStore{platform::kRunSteps + 1};  // the VirtualStore copy of the data file

enum class UpdateOutcome {
    NoUpdateNeeded,  // no data file to replace: "该版本无需更新."
    AlreadyUpdated,  // the recorded version is not older: "已经更新，无需重复更新."
    Installed,       // payload written and version recorded: "成功更新至版本…"
    Failed,          // anything went wrong: "更新失败."
};

// What one run found and did, from the step that decided it to the box, the
// exit code and the log.
struct UpdateReport {
    UpdateOutcome outcome = UpdateOutcome::Failed;
    std::optional<platform::Error> failure;             // what stopped a failed run
    bool elevationWouldHelp = false;                    // refused for want of rights an elevated copy could have
    bool targetWindowOpen = false;                      // Tolvar's window was open when the run began
    std::u16string dataFile;                            // the data file's path, once "PathTOL" named one
    std::optional<std::u16string> recordedVersion;      // "VerTOL" as read, once read
    std::optional<std::uint32_t> elevatedCopyExitCode;  // when an elevated copy ran
    std::u16string shownVersion;                        // string 101, when installed
};

enum class Prompting {
    Allowed,  // a folder that refuses the user asks for consent to an elevated copy
    Never,    // such a folder fails the run
};

// Decides, installs and records the version, showing nothing.
UpdateReport RunUpdate(Prompting prompting);

// The one message box that tells the outcome, returning when it is dismissed.
void ShowOutcome(const UpdateReport& report);

// Decides, installs, records the version, and shows exactly one message box,
// returning when the user has dismissed it. With a log file set, the run's
// line is appended to it first.
UpdateOutcome UpdateRun();

// The log file every later UpdateRun appends its line to (empty or null for
// none); the caller keeps it for as long as runs may come.
void LogRunsTo(const std::u16string* logFile);

}  // namespace app
