#include "platform/known_folders.h"

#include <windows.h>
#include <initguid.h>  // the folder ids are defined here, not taken from a library
#include <knownfolders.h>
#include <shlobj.h>

#include "platform/system_library_win32.h"

namespace platform {
namespace {

// The folder's path, or empty when the system names none (FOLDERID_ProgramFilesX86
// on 32-bit Windows; FOLDERID_ProgramFilesX64 to every 32-bit program). Fails
// with the loader's error when shell32 or ole32 cannot be loaded.
Result<std::u16string> KnownFolder(REFKNOWNFOLDERID id) {
    const auto getPath = FindSystemFunction<decltype(&SHGetKnownFolderPath)>(L"shell32.dll", "SHGetKnownFolderPath");
    if (!getPath.call) return Error(Step::VirtualStore, getPath.error);
    const auto freeMemory = FindSystemFunction<decltype(&CoTaskMemFree)>(L"ole32.dll", "CoTaskMemFree");
    if (!freeMemory.call) return Error(Step::VirtualStore, freeMemory.error);
    PWSTR path = nullptr;
    std::u16string text;
    if (SUCCEEDED(getPath.call(id, 0, nullptr, &path)) && path) text = reinterpret_cast<const char16_t*>(path);
    freeMemory.call(path);  // allocated even when the call fails
    while (text.size() > 3 && text.back() == u'\\') text.pop_back();
    return text;
}

// %ProgramW6432%, set for 32-bit programs on 64-bit Windows (and for 64-bit
// ones, where it repeats FOLDERID_ProgramFiles); empty on 32-bit Windows.
std::u16string ProgramFiles64() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"ProgramW6432", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::u16string();
    std::u16string text(reinterpret_cast<const char16_t*>(path), length);
    while (text.size() > 3 && text.back() == u'\\') text.pop_back();
    return text;
}

}  // namespace

Result<std::vector<std::u16string>> VirtualizedFolders() {
    std::vector<std::u16string> folders;
    // A 32-bit program is told "Program Files (x86)" for FOLDERID_ProgramFiles
    // on 64-bit Windows, and nothing for FOLDERID_ProgramFilesX64.
    const KNOWNFOLDERID* const ids[] = {&FOLDERID_ProgramFiles, &FOLDERID_ProgramFilesX86, &FOLDERID_ProgramFilesX64,
                                        &FOLDERID_Windows, &FOLDERID_ProgramData};
    for (const KNOWNFOLDERID* id : ids) {
        Result<std::u16string> folder = KnownFolder(*id);
        if (!folder.ok()) return folder.error();
        if (!folder.value().empty()) folders.push_back(std::move(folder).value());
    }
    // The 64-bit Program Files, which WOW64 tells a 32-bit program only here.
    std::u16string programFiles64 = ProgramFiles64();
    if (!programFiles64.empty()) folders.push_back(std::move(programFiles64));
    return folders;
}

Result<std::u16string> LocalAppDataFolder() { return KnownFolder(FOLDERID_LocalAppData); }

}  // namespace platform
