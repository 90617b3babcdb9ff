// The log of unattended runs (/log FILE): one line per update run, UTF-8,
// naming what happened and why, for the engineer who reads it later.
#pragma once

#include <string>
#include <vector>

#include "app/update_run.h"

namespace app {

// The run's line, tab-separated, ending in CR LF (written to the file in UTF-8):
//   <UTC time>  UpDate <data version>  user=  outcome=  exit=  step=  error=
//   error-text=  file=  VerTOL=<before>-><after>  tolvar-window=  elevated-copy=
// and a note when the program ran as LocalSystem. "-" marks what does not apply
// and a registry value that could not be read; a control character in a value
// is written as a space, half a surrogate pair as U+FFFD.
std::u16string RunLogLine(const UpdateReport& report, const std::u16string& versionAfter);

// Appends the run's line to `logFile`; why it could not, if it could not.
// A log that cannot be written changes nothing else: the run's outcome and
// exit code stand, and the callers do not look at the result.
//
// A run with only its user's rights opens the log by its path, links and all
// (platform::AppendToFile): the user could write wherever they lead anyway.
// A privileged run (RunsPrivileged) writes only where no link led:
// - "X:\folder\name": the folder is opened from the drive root down, each
//   folder relative to the one above, refusing every link; the log is then
//   opened relative to that folder (platform::AppendInFolder): made when
//   absent, never a folder or a link, refused when it has another name too.
// - "\\server\share\folder\name": the folder is opened by its path, and the
//   links on the server are the server's, followed there and checked there
//   against this run's identity; refused unless the folder reached is still
//   on a share (a link the client followed to a local folder). The log is then
//   opened relative to the folder as above.
// - anything else (a relative name, "\\?\", "\\.\"): ERROR_INVALID_NAME.
platform::Status AppendRunLog(const std::u16string& logFile, const UpdateReport& report);

// The name of a step as the log writes it: "rename", "find-data-file", ...
const char16_t* StepName(platform::Step step);

// `text` in UTF-8.
std::vector<char> Utf8(const std::u16string& text);

}  // namespace app
