#include "platform/system_library_win32.h"

#include <string>

#include "platform/system_error.h"

namespace platform {
namespace {

// The search flags came with AddDllDirectory: the documented test for them.
// kernel32 is loaded already, so the look-up loads nothing.
bool SearchFlagsKnown() { return GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "AddDllDirectory") != nullptr; }

std::uint32_t ErrorOrGeneric(std::uint32_t error) { return error != 0 ? error : kErrorGenFailure; }

}  // namespace

HMODULE LoadSystemLibrary(const wchar_t* name, ImportSearch imports) {
    // By its full path rather than its name: a module of the same name that
    // is loaded already, from wherever, is not taken for it.
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0) return nullptr;
    if (length >= MAX_PATH) {
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return nullptr;
    }
    std::u16string path(reinterpret_cast<const char16_t*>(folder), length);
    path += u'\\';
    path += reinterpret_cast<const char16_t*>(name);
    if (imports == ImportSearch::Automatic)
        imports = SearchFlagsKnown() ? ImportSearch::SystemFolderOnly : ImportSearch::DllFolderFirst;
    const DWORD flags =
        imports == ImportSearch::SystemFolderOnly ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH;
    return LoadLibraryExW(reinterpret_cast<const wchar_t*>(path.c_str()), nullptr, flags);
}

SystemFunction<FARPROC> FindSystemProcedure(const wchar_t* library, const char* name) {
    const HMODULE module = LoadSystemLibrary(library);
    if (!module) return {nullptr, ErrorOrGeneric(LastSystemError())};
    const FARPROC procedure = GetProcAddress(module, name);
    if (!procedure) return {nullptr, ErrorOrGeneric(LastSystemError())};
    return {procedure, 0};
}

}  // namespace platform
