#include "app/startup_win32.h"

#include <windows.h>

#include "platform/system_library_win32.h"

namespace app {

void HardenProcess() {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // Present from Windows 8 (and Windows 7 with KB2533623); kernel32 is
    // already loaded, so looking it up loads nothing.
    using SetDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const auto setDirectories =
        platform::FindSystemFunction<SetDirectoriesFunction>(L"kernel32.dll", "SetDefaultDllDirectories");
    if (setDirectories.call) setDirectories.call(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryW(L"");  // the current directory leaves the search path
}

}  // namespace app
