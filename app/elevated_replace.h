// The copy of the program started with the right to write, when the data
// file's folder refused the user's own run: it replaces the data file and
// does nothing else. It shows no window and tells its result only through
// its exit code. Users never start it; the command line that does is this
// program's own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace app {

// What follows the program's name on the copy's command line.
std::u16string ElevatedReplaceParameters(const std::u16string& dataFile);

// The copy's exit code when `commandLine` (the whole line, program name
// first) starts the copy; nothing for an ordinary start, whose command line
// the program ignores.
std::optional<std::uint32_t> RunElevatedModeIfAsked(const std::u16string& commandLine);

// Writes the payload over `dataFile`: 0 when it was replaced, otherwise the
// system's error code. A path that is not absolute, does not end in the data
// file's name, or names no ordinary, writable file is refused with
// ERROR_INVALID_PARAMETER and nothing is touched.
std::uint32_t RunElevatedReplace(const std::u16string& dataFile);

}  // namespace app
