// Win32-only: which module the resources are loaded from, and the language.
#pragma once

#include <windows.h>

namespace resources {

constexpr WORD kResourceLanguage = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);  // 2052

// Resources are read from `module` from now on (null: the program's own file).
void SetResourceModule(HMODULE module);
HMODULE ResourceModule();

// The bytes of resource `name` of `type` in language 2052, or null when absent.
const void* FindResourceBytes(LPCWSTR type, LPCWSTR name, DWORD* size);

// Right after FindResourceBytes gave null: the error it left, or
// ERROR_RESOURCE_NAME_NOT_FOUND.
DWORD LastResourceError();

}  // namespace resources
