// The loader of the system DLLs the program loads on use
// (platform/system_library_win32.h), run from a folder of planted DLLs and
// without the program's start-up hardening, one way of finding a DLL's
// imports per process: each DLL must come from the system folder; one that
// is only beside the exe, or a function the DLL lacks, must fail with the
// loader's own error. The planting test runs it, then looks for the marks
// the planted DLLs leave when loaded.
//
//   load_system_library system-folder-only|dll-folder-first ONLY-BESIDE.dll SYSTEM.dll...
//
// Prints one line per check; the exit code is the number that failed.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cwchar>

#include "platform/system_library_win32.h"

namespace {

int g_failures = 0;
void Check(bool passed, const char* what, const wchar_t* name, unsigned long detail) {
    std::printf("%s %s: %ls (%lu)\n", passed ? "ok  " : "FAIL", what, name, detail);
    if (!passed) ++g_failures;
}

// The folder `module` was loaded from is the system folder.
bool FromSystemFolder(HMODULE module) {
    wchar_t system[MAX_PATH], file[MAX_PATH];
    const UINT systemLength = GetSystemDirectoryW(system, MAX_PATH);
    const DWORD fileLength = GetModuleFileNameW(module, file, MAX_PATH);
    return systemLength > 0 && fileLength > systemLength && file[systemLength] == L'\\' &&
           std::wcschr(file + systemLength + 1, L'\\') == nullptr &&
           CompareStringOrdinal(file, static_cast<int>(systemLength), system, static_cast<int>(systemLength), TRUE) ==
               CSTR_EQUAL;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::printf("usage: load_system_library system-folder-only|dll-folder-first ONLY-BESIDE.dll SYSTEM.dll...\n");
        return 2;
    }
    const platform::ImportSearch imports = std::wcscmp(argv[1], L"dll-folder-first") == 0
                                               ? platform::ImportSearch::DllFolderFirst
                                               : platform::ImportSearch::SystemFolderOnly;
    std::printf("imports looked for: %ls\n", argv[1]);
    for (int i = 3; i < argc; ++i) {
        const HMODULE module = platform::LoadSystemLibrary(argv[i], imports);
        const DWORD error = module ? 0 : GetLastError();
        Check(module && FromSystemFolder(module), "loaded from the system folder", argv[i], error);
    }
    const HMODULE beside = platform::LoadSystemLibrary(argv[2], imports);
    const DWORD besideError = GetLastError();
    Check(!beside && besideError == ERROR_MOD_NOT_FOUND, "a DLL only beside the exe is not found", argv[2],
          besideError);

    const auto missing = platform::FindSystemFunction<FARPROC>(L"shell32.dll", "NoSuchFunctionInShell32");
    Check(!missing.call && missing.error == ERROR_PROC_NOT_FOUND, "a function shell32 lacks is not found, with why",
          L"NoSuchFunctionInShell32", missing.error);
    const auto found = platform::FindSystemFunction<decltype(&CoTaskMemFree)>(L"ole32.dll", "CoTaskMemFree");
    Check(found.call && found.error == 0, "a function ole32 has is found", L"CoTaskMemFree", found.error);
    return g_failures;
}
