// Folders the system names for this user.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The folders whose writes Windows redirects into the user's VirtualStore
// for programs without a manifest: the Program Files folders, the Windows
// folder and ProgramData, as full paths without a trailing "\". Only those
// the system names on this machine.
std::vector<std::u16string> VirtualizedFolders();

// The user's local application data folder (%LOCALAPPDATA%); empty when the
// system names none.
std::u16string LocalAppDataFolder();

}  // namespace platform
