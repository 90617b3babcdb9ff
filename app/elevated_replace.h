// The elevated copy of the program, started when the data file's folder
// refused the user's own run: it replaces the data file and does nothing
// else. It shows no window and tells its result only through its exit code.
// Users never start it; the command line that does is this program's own,
// but any program may start it with any path, so it trusts none.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace app {

// What follows the program's name on the copy's command line: the data file's
// path, made of its folder's final path as the first copy opened it and the
// file's name, and that folder's identity (platform::IdentityOf).
std::u16string ElevatedReplaceParameters(const std::u16string& dataFile, const std::u16string& folderIdentity);

// The copy's exit code when `commandLine` (the whole line, program name
// first) starts the copy; nothing for an ordinary start.
std::optional<std::uint32_t> RunElevatedModeIfAsked(const std::u16string& commandLine);

// Writes the payload over `dataFile`: 0 when it was replaced, otherwise the
// system's error code, never 0. Only the full path of an ordinary, writable
// file named like the data file, on a local fixed drive, in the form the
// first copy gives it ("X:\folder\unit.xml": long names, no "." or "..", no
// "/", no share or device path), in a folder whose identity is
// `folderIdentity` (when one is given) is taken; anything else, a short name
// included, ends with ERROR_INVALID_PARAMETER, and a link on the way or of
// that name with ERROR_REPARSE_POINT_ENCOUNTERED, with nothing touched. Where
// Windows offers it, junctions and mount points that users who are not
// administrators made are refused to the whole process first. A question
// about the folder's drive or the file that the system cannot answer (the
// file missing among them) ends with its code.
std::uint32_t RunElevatedReplace(const std::u16string& dataFile, const std::u16string& folderIdentity);

}  // namespace app
