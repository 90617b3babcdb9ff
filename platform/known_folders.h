// Folders the system names for this user. A look-up that cannot be made at
// all (the system's shell DLLs do not load) fails at the caller's `step` with
// the loader's error: a folder that may be there is never taken for one the
// system does not name.
#pragma once

#include <string>
#include <vector>

#include "platform/result.h"

namespace platform {

// The folders whose writes Windows redirects into the user's VirtualStore
// for programs without a manifest: the Program Files folders, the Windows
// folder and ProgramData, as full paths without a trailing "\". Only those
// the system names on this machine.
Result<std::vector<std::u16string>> VirtualizedFolders(Step step);

// The user's local application data folder (%LOCALAPPDATA%); empty when the
// system names none.
Result<std::u16string> LocalAppDataFolder(Step step);

}  // namespace platform
