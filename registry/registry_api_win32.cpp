#include "registry/registry_api.h"

#include <windows.h>

#include "platform/handles_win32.h"

namespace registry {

bool KeyTraits::Close(Type key) {
    return platform::ClosedKeepingLastError([key] {
        const LONG result = RegCloseKey(static_cast<HKEY>(key));
        if (result != ERROR_SUCCESS) SetLastError(static_cast<DWORD>(result));
        return result == ERROR_SUCCESS;
    });
}

long OpenKey(RootKey root, const char* subKey, std::uint32_t access, UniqueKey& key) {
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExA(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(root)), subKey, 0, access, &opened);
    key.reset(result == ERROR_SUCCESS ? opened : nullptr);
    return result;
}

long QueryValue(const UniqueKey& key, const char* name, std::uint32_t* type, unsigned char* data, std::uint32_t* size) {
    DWORD valueType = *type;
    DWORD valueSize = *size;
    const LONG result = RegQueryValueExA(static_cast<HKEY>(key.get()), name, nullptr, &valueType, data, &valueSize);
    *type = valueType;
    *size = valueSize;
    return result;
}

long SetValue(const UniqueKey& key, const char* name, std::uint32_t type, const unsigned char* data,
              std::uint32_t size) {
    return RegSetValueExA(static_cast<HKEY>(key.get()), name, 0, type, data, size);
}

}  // namespace registry
