// RegEditor: string values of the registry, addressed by textual key paths
// such as "HKEY_CURRENT_USER\Software\Qd". Text crosses to the registry in the
// system ANSI code page.
#pragma once

#include <string>
#include <string_view>

#include "platform/result.h"
#include "registry/registry_api.h"

namespace registry {

// The module's steps, as failures name them.
inline constexpr platform::Step kStepReadRegistry{platform::kRegistrySteps + 0};   // "PathTOL" or "VerTOL"
inline constexpr platform::Step kStepWriteRegistry{platform::kRegistrySteps + 1};  // "VerTOL"

// The predefined handle named exactly (case-sensitive) by `name`, 0 for any other name.
RootKey RootKeyFromName(const std::u16string& name);

// Splits a key path into its root and sub key: on return `path` holds the sub
// key (empty for a root name alone) and the root handle is returned. A path
// not starting with "HKEY_" or ending in "\" is malformed: the "Incorrect fmt:"
// box is shown, `path` is left as it was and 0 is returned. A well-formed path
// naming no known root returns 0 with `path` rewritten.
RootKey SplitKeyPath(std::u16string& path);

// The text of the value: "Error." when the key cannot be opened or the value
// cannot be read or holds more than 254 bytes; "" when the path names no root.
// Raises ERROR_INVALID_DATA when the value's bytes are nothing but spaces (an
// empty value without a terminator). The value's type is not examined.
platform::Result<std::u16string> ReadStringValue(std::u16string_view keyPath, std::u16string_view valueName);

// Stores `text` as a REG_SZ value under an existing key (never creates one).
// On failure nothing is changed and the error is the registry's code
// (ERROR_FILE_NOT_FOUND for a path that names no root).
platform::Status WriteStringValue(std::u16string_view keyPath, std::u16string_view valueName,
                                  std::u16string_view text);

// The value of text the module reads on failure.
extern const char16_t kReadFailed[];

}  // namespace registry
