// The registry calls the RegEditor module makes, in the shape of advapi32's
// ANSI functions: results are Win32 error codes (0 is success) and names are
// NUL-terminated ANSI text.
#pragma once

#include <cstdint>

#include "platform/unique_handle.h"

namespace registry {

using RootKey = std::uint32_t;  // one of the predefined handles 0x80000000..0x80000006, or 0

constexpr std::uint32_t kKeyRead = 0x20019;
constexpr std::uint32_t kKeyWrite = 0x20006;
constexpr std::uint32_t kTypeString = 1;  // REG_SZ
constexpr long kSuccess = 0;

struct KeyTraits {
    using Type = void*;
    static Type Invalid() { return nullptr; }
    static bool Close(Type key);  // Win32: ClosedKeepingLastError
};
using UniqueKey = platform::UniqueHandle<KeyTraits>;

// Opens `subKey` (empty: the root itself) under `root`; `key` stays invalid on failure.
long OpenKey(RootKey root, const char* subKey, std::uint32_t access, UniqueKey& key);

// Reads the value's bytes into `data`; `size` holds the buffer size in and the
// value's size out. Fails with ERROR_MORE_DATA when the value does not fit.
long QueryValue(const UniqueKey& key, const char* name, std::uint32_t* type, unsigned char* data, std::uint32_t* size);

long SetValue(const UniqueKey& key, const char* name, std::uint32_t type, const unsigned char* data,
              std::uint32_t size);

}  // namespace registry
