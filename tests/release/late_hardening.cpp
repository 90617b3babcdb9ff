// The control of the planting test: UpDate.exe linked with this in place of
// its start-up hardening, which it does only once its first window has been
// created. The system loads uxtheme.dll while that window is made, so a
// planted uxtheme.dll gets in: the test shows with it both that a planted DLL
// would be loaded and that the hardening must come before any window.
#include <windows.h>

#include "app/startup_win32.h"

namespace app {
namespace {

HHOOK g_hook = nullptr;

LRESULT CALLBACK AfterWindowCreated(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_CREATE && g_hook) {
        UnhookWindowsHookEx(g_hook);
        g_hook = nullptr;
        SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
        SetDllDirectoryW(L"");
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void HardenProcess() {
    g_hook = SetWindowsHookExW(WH_CALLWNDPROCRET, AfterWindowCreated, nullptr, GetCurrentThreadId());
}

}  // namespace app
