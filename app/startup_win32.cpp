#include "app/startup_win32.h"

#include <windows.h>

namespace app {

void HardenProcess() {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // Present from Windows 8 (and Windows 7 with KB2533623); kernel32 is
    // already loaded, so looking it up loads nothing.
    using SetDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto setDirectories = reinterpret_cast<SetDirectoriesFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDirectories) setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryW(L"");  // the current directory leaves the search path
}

}  // namespace app
