// Win32-only: the program's one run-time look-up of a system function, for
// the DLLs it calls only now and then (shell32) and for the functions not
// every supported Windows has (kernel32, user32). A DLL is loaded on use from
// the system folder alone, never from the exe's own folder, and never
// unloaded (the shell may leave work of its own running in its code after a
// call returns).
#pragma once

#include <windows.h>

#include <cstdint>

namespace platform {

// Where the loader looks for a system DLL's own imports: in the system folder
// alone (LOAD_LIBRARY_SEARCH_SYSTEM32, known to Windows 8 and later and to
// Windows 7 with KB2533623), or in the DLL's folder first
// (LOAD_WITH_ALTERED_SEARCH_PATH, for Windows 7 without it). Automatic takes
// the first where the system knows it.
enum class ImportSearch { Automatic, SystemFolderOnly, DllFolderFirst };

// The system DLL `name` (L"shell32.dll"), loaded by its full path in the
// system folder; null, with the loader's error as the last error
// (ERROR_MOD_NOT_FOUND, ...), when it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* name, ImportSearch imports = ImportSearch::Automatic);

// A function of a system DLL, or null with the Windows error of the load or of
// the look-up (ERROR_PROC_NOT_FOUND); never null with no error.
template <class Function>
struct SystemFunction {
    Function call;
    std::uint32_t error;
};

// The function `name` of the system DLL `library`, untyped.
SystemFunction<FARPROC> FindSystemProcedure(const wchar_t* library, const char* name);

// The same, as `Function`: the function's own type, decltype(&ShellExecuteExW),
// so every call is checked against the system's declaration.
template <class Function>
SystemFunction<Function> FindSystemFunction(const wchar_t* library, const char* name) {
    const SystemFunction<FARPROC> found = FindSystemProcedure(library, name);
    return {reinterpret_cast<Function>(reinterpret_cast<void*>(found.call)), found.error};
}

}  // namespace platform
