// Test controls of the registry stand-in (registry_api_portable.cpp): keys
// under the predefined roots, values kept as type and bytes. Nothing here is
// part of the product.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fake {

using Bytes = std::vector<unsigned char>;

struct StoredValue {
    std::uint32_t type;
    std::vector<unsigned char> bytes;
};
void CreateKey(std::uint32_t root, const std::string& path);
void PutValue(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t type,
              const std::vector<unsigned char>& bytes);
void PutString(std::uint32_t root, const std::string& path, const std::string& name, const std::string& text);
std::optional<StoredValue> GetValue(std::uint32_t root, const std::string& path, const std::string& name);
void FailNextSetValue();
void BeforeNextSetValue(std::function<void()> action);  // runs at the start of the next set
std::size_t OpenKeyCount();
void ResetRegistry();

}  // namespace fake
