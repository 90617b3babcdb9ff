#include "platform/session.h"

#include <windows.h>

#include "platform/handles_win32.h"

namespace platform {

std::u16string UserName() {
    wchar_t name[257];  // UNLEN + 1
    DWORD size = sizeof name / sizeof name[0];
    if (!GetUserNameW(name, &size) || size == 0) return std::u16string();
    return std::u16string(reinterpret_cast<const char16_t*>(name), size - 1);
}

Result<bool> RunningAsLocalSystem(Step step) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return Error(step, GetLastError());
    const UniqueKernelHandle token(raw);
    union {
        TOKEN_USER user;
        unsigned char bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } buffer;
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenUser, &buffer, sizeof buffer, &size))
        return Error(step, GetLastError());
    return IsWellKnownSid(buffer.user.User.Sid, WinLocalSystemSid) != FALSE;
}

std::u16string UtcTimestamp() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    return FormatUtcTimestamp({now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond});
}

}  // namespace platform
