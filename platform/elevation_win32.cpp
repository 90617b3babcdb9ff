#include "platform/elevation.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/system_error.h"
#include "platform/handles_win32.h"
#include "platform/system_library_win32.h"

namespace platform {
namespace {

HWND g_promptOwner = nullptr;

// This program's own file, however long its path. (std::wstring would link
// libstdc++'s prebuilt copy, exceptions and all.)
std::u16string OwnPath() {
    std::u16string path(MAX_PATH, u'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(&path[0]), static_cast<DWORD>(path.size()));
        if (length == 0) return std::u16string();
        if (length < path.size()) return path.substr(0, length);
        path.resize(path.size() * 2);  // cut short: the buffer was too small
    }
}

// Waits for `process` while the owner's queue is served, so its window
// repaints; the owner takes no input meanwhile, as under a message box.
void WaitServingMessages(HANDLE process, HWND owner) {
    const BOOL wasDisabled = owner ? EnableWindow(owner, FALSE) : TRUE;
    while (MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {  // handed on for the program's own loop
                PostQuitMessage(static_cast<int>(message.wParam));
                WaitForSingleObject(process, INFINITE);
                if (!wasDisabled) EnableWindow(owner, TRUE);
                return;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (!wasDisabled) EnableWindow(owner, TRUE);
}

}  // namespace

Result<bool> ProcessIsElevated(Step step) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return Error(step, LastSystemError());
    const UniqueKernelHandle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size))
        return Error(step, LastSystemError());
    return elevation.TokenIsElevated != 0;
}

Result<std::uint32_t> RunElevatedCopy(const std::u16string& parameters, Step step) {
    const std::u16string self = OwnPath();
    if (self.empty()) return Error(step, LastSystemError());
    const auto shellExecute = FindSystemFunction<decltype(&ShellExecuteExW)>(L"shell32.dll", "ShellExecuteExW");
    if (!shellExecute.call) return Error(step, shellExecute.error);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // NOASYNC: this thread has no later chance to finish the launch.
    // FLAG_NO_UI: the run tells the outcome in its own one box.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.hwnd = g_promptOwner;
    info.lpVerb = L"runas";
    info.lpFile = reinterpret_cast<const wchar_t*>(self.c_str());
    info.lpParameters = reinterpret_cast<const wchar_t*>(parameters.c_str());
    info.nShow = SW_HIDE;
    if (!shellExecute.call(&info)) return Error(step, GetLastError());
    const UniqueKernelHandle process(info.hProcess);
    if (!process.valid()) return Error(step, kErrorGenFailure);  // started through DDE or the like: no exit code
    WaitServingMessages(process.get(), g_promptOwner);
    DWORD code = 0;
    if (!GetExitCodeProcess(process.get(), &code)) return Error(step, LastSystemError());
    return static_cast<std::uint32_t>(code);
}

void SetPromptOwner(void* window) { g_promptOwner = static_cast<HWND>(window); }

// ProcessRedirectionTrustPolicy and its flags, from the Windows 10 SDK; the
// function is looked up because it is missing before Windows 8.
void EnforceRedirectionTrust() {
    constexpr int kProcessRedirectionTrustPolicy = 16;
    constexpr DWORD kEnforceRedirectionTrust = 0x1;
    using SetPolicyFunction = BOOL(WINAPI*)(int, PVOID, SIZE_T);
    const auto setPolicy = FindSystemFunction<SetPolicyFunction>(L"kernel32.dll", "SetProcessMitigationPolicy");
    DWORD flags = kEnforceRedirectionTrust;
    if (setPolicy.call) setPolicy.call(kProcessRedirectionTrustPolicy, &flags, sizeof flags);
}

}  // namespace platform
