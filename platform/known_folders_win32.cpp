#include "platform/known_folders.h"

#include <windows.h>
#include <initguid.h>  // the folder ids are defined here, not taken from a library
#include <knownfolders.h>
#include <shlobj.h>

#include "platform/system_library_win32.h"

namespace platform {
namespace {

// The folders come first from the environment Windows gives every process
// at logon (ProgramFiles, ProgramFiles(x86) and ProgramW6432 as WOW64
// documents them, SystemRoot, ProgramData, LOCALAPPDATA), which costs
// nothing; only when one that every Windows since Vista sets is missing (a
// program started with an environment of its own) is the shell asked, which
// loads shell32 and ole32 for it.
struct Source {
    const wchar_t* variable;
    const KNOWNFOLDERID* id;  // what the shell names it; null: the environment only
    bool always;              // set on every Windows since Vista
};

// "C:\Program Files\" as "C:\Program Files"; a root keeps its separator.
std::u16string WithoutTrailingSeparator(std::u16string text) {
    while (text.size() > 3 && text.back() == u'\\') text.pop_back();
    return text;
}

// The variable's value; empty when it is not set.
std::u16string FromEnvironment(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(name, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::u16string();
    return WithoutTrailingSeparator(std::u16string(reinterpret_cast<const char16_t*>(path), length));
}

// The folder's path, or empty when the system names none (FOLDERID_ProgramFilesX86
// on 32-bit Windows). Fails with the loader's error when shell32 or ole32
// cannot be loaded.
Result<std::u16string> FromShell(REFKNOWNFOLDERID id, Step step) {
    const auto getPath = FindSystemFunction<decltype(&SHGetKnownFolderPath)>(L"shell32.dll", "SHGetKnownFolderPath");
    if (!getPath.call) return Error(step, getPath.error);
    const auto freeMemory = FindSystemFunction<decltype(&CoTaskMemFree)>(L"ole32.dll", "CoTaskMemFree");
    if (!freeMemory.call) return Error(step, freeMemory.error);
    PWSTR path = nullptr;
    const bool named = SUCCEEDED(getPath.call(id, 0, nullptr, &path)) && path;
    std::u16string text(named ? reinterpret_cast<const char16_t*>(path) : u"");
    freeMemory.call(path);  // allocated even when the call fails
    return WithoutTrailingSeparator(std::move(text));
}

// The folders of `sources` that the system names, from the environment when
// it holds every one it always holds, otherwise from the shell.
Result<std::vector<std::u16string>> Folders(const Source* sources, std::size_t count, Step step) {
    std::vector<std::u16string> folders;
    bool complete = true;
    for (std::size_t i = 0; i < count; ++i) {
        std::u16string folder = FromEnvironment(sources[i].variable);
        if (folder.empty() && sources[i].always) complete = false;
        if (!folder.empty()) folders.push_back(std::move(folder));
    }
    if (complete) return folders;
    folders.clear();
    for (std::size_t i = 0; i < count; ++i) {
        Result<std::u16string> folder = sources[i].id ? FromShell(*sources[i].id, step) : FromEnvironment(sources[i].variable);
        if (!folder.ok()) return folder.error();
        if (!folder.value().empty()) folders.push_back(std::move(folder).value());
    }
    return folders;
}

}  // namespace

Result<std::vector<std::u16string>> VirtualizedFolders(Step step) {
    // A 32-bit program is told "Program Files (x86)" for ProgramFiles on
    // 64-bit Windows; the 64-bit one only in ProgramW6432, which the shell
    // refuses to name to it (FOLDERID_ProgramFilesX64).
    static const Source kSources[] = {
        {L"ProgramFiles", &FOLDERID_ProgramFiles, true},
        {L"ProgramFiles(x86)", &FOLDERID_ProgramFilesX86, false},
        {L"ProgramW6432", nullptr, false},
        {L"SystemRoot", &FOLDERID_Windows, true},
        {L"ProgramData", &FOLDERID_ProgramData, true},
    };
    return Folders(kSources, sizeof kSources / sizeof kSources[0], step);
}

Result<std::u16string> LocalAppDataFolder(Step step) {
    static const Source kSource[] = {{L"LOCALAPPDATA", &FOLDERID_LocalAppData, true}};
    Result<std::vector<std::u16string>> folders = Folders(kSource, 1, step);
    if (!folders.ok()) return folders.error();
    return folders.value().empty() ? std::u16string() : folders.value().front();
}

}  // namespace platform
