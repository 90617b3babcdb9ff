#include "resources/resource_access.h"
#include "resources/resource_access_win32.h"

#include "platform/system_error.h"

namespace resources {
namespace {

platform::Error NotFound() { return platform::Error(kStepLoadResource, LastResourceError()); }

HMODULE g_module = nullptr;

constexpr unsigned kStringsPerBlock = 16;
}  // namespace

void SetResourceModule(HMODULE module) { g_module = module; }

HMODULE ResourceModule() { return g_module ? g_module : GetModuleHandleW(nullptr); }

DWORD LastResourceError() {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : platform::kErrorResourceNameNotFound;
}

const void* FindResourceBytes(LPCWSTR type, LPCWSTR name, DWORD* size) {
    const HMODULE module = ResourceModule();
    const HRSRC found = FindResourceExW(module, type, name, kResourceLanguage);
    if (!found) return nullptr;
    const HGLOBAL loaded = LoadResource(module, found);
    if (!loaded) return nullptr;
    *size = SizeofResource(module, found);
    return LockResource(loaded);
}

// A string table block holds 16 strings, each a length and that many UTF-16
// units; an absent string has length 0.
platform::Result<std::u16string> LoadStringResource(unsigned id) {
    DWORD size = 0;
    const auto* block =
        static_cast<const WORD*>(FindResourceBytes(RT_STRING, MAKEINTRESOURCEW(id / kStringsPerBlock + 1), &size));
    if (!block) return NotFound();
    const WORD* end = block + size / sizeof(WORD);
    const WORD* entry = block;
    for (unsigned index = 0; index < id % kStringsPerBlock; ++index) {
        if (entry >= end) return platform::Error(kStepLoadResource, platform::kErrorResourceNameNotFound);
        entry += 1 + *entry;
    }
    if (entry >= end || *entry == 0 || entry + 1 + *entry > end)
        return platform::Error(kStepLoadResource, platform::kErrorResourceNameNotFound);
    return std::u16string(reinterpret_cast<const char16_t*>(entry + 1), *entry);
}

platform::Result<Bytes> LoadDataResource(unsigned id, const std::u16string& typeName) {
    DWORD size = 0;
    const void* data = FindResourceBytes(reinterpret_cast<LPCWSTR>(typeName.c_str()), MAKEINTRESOURCEW(id), &size);
    if (!data) return NotFound();
    return Bytes{static_cast<const unsigned char*>(data), size};
}

}  // namespace resources
