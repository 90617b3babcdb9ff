// The stand-in for registry/registry_api_win32.cpp: an in-memory registry: keys
// under the predefined roots, values kept as type and bytes, the same error
// codes as the real functions.
#include <functional>
#include <map>
#include <string>

#include "platform/path_text.h"
#include "portable/registry_api_portable.h"
#include "portable/process_portable.h"
#include "registry/registry_api.h"

namespace {

// advapi32's own numbers, not the module's names for them, so that a wrong
// name in registry_api.h shows here as it would on Windows.
constexpr long kNoError = 0;                  // ERROR_SUCCESS
constexpr std::uint32_t kQueryValue = 0x1;    // KEY_QUERY_VALUE, what RegQueryValueExA needs
constexpr std::uint32_t kSetValue = 0x2;      // KEY_SET_VALUE, what RegSetValueExA needs
constexpr std::uint32_t kStringType = 1;      // REG_SZ
constexpr long kFileNotFound = 2;
constexpr long kAccessDenied = 5;
constexpr long kInvalidHandle = 6;
constexpr long kMoreData = 234;

struct Key {
    std::map<std::string, fake::StoredValue> values;  // by lower-case name
};

struct OpenKeyRecord {
    std::string path;
    std::uint32_t access;
};

struct Registry {
    std::map<std::string, Key> keys;               // by "root\lower-case path"
    std::map<std::uintptr_t, OpenKeyRecord> open;  // by handle
    std::uintptr_t nextHandle = 0x200;
    bool failNextSet = false;
    std::function<void()> beforeNextSet;
};

Registry& R() {
    static Registry registry;
    return registry;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(platform::FoldCase(static_cast<unsigned char>(c)));
    return text;
}

bool IsRoot(std::uint32_t root) { return root >= 0x80000000u && root <= 0x80000006u; }

std::string KeyName(std::uint32_t root, const std::string& path) { return std::to_string(root) + "\\" + Lower(path); }

Key* FindKey(std::uint32_t root, const std::string& path) {
    if (path.empty()) return &R().keys[KeyName(root, "")];  // a root always exists
    auto found = R().keys.find(KeyName(root, path));
    return found == R().keys.end() ? nullptr : &found->second;
}

OpenKeyRecord* Record(const registry::UniqueKey& key) {
    auto found = R().open.find(reinterpret_cast<std::uintptr_t>(key.get()));
    return found == R().open.end() ? nullptr : &found->second;
}

}  // namespace

namespace fake {

void ResetRegistry() { R() = Registry{}; }

void CreateKey(std::uint32_t root, const std::string& path) {
    std::string prefix;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t slash = path.find('\\', start);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        prefix = path.substr(0, end);
        R().keys[KeyName(root, prefix)];
        start = end + 1;
    }
}

void PutValue(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t type,
              const Bytes& bytes) {
    CreateKey(root, path);
    R().keys[KeyName(root, path)].values[Lower(name)] = StoredValue{type, bytes};
}

void PutString(std::uint32_t root, const std::string& path, const std::string& name, const std::string& text) {
    Bytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    PutValue(root, path, name, kStringType, bytes);
}

std::optional<StoredValue> GetValue(std::uint32_t root, const std::string& path, const std::string& name) {
    Key* key = FindKey(root, path);
    if (!key) return std::nullopt;
    auto found = key->values.find(Lower(name));
    if (found == key->values.end()) return std::nullopt;
    return found->second;
}

void FailNextSetValue() { R().failNextSet = true; }

void BeforeNextSetValue(std::function<void()> action) { R().beforeNextSet = std::move(action); }

std::size_t OpenKeyCount() { return R().open.size(); }

}  // namespace fake

namespace registry {

bool KeyTraits::Close(Type key) { return R().open.erase(reinterpret_cast<std::uintptr_t>(key)) == 1; }

long OpenKey(RootKey root, const char* subKey, std::uint32_t access, UniqueKey& key) {
    key.reset();
    if (!IsRoot(root)) return kInvalidHandle;
    const std::string path = subKey;
    if (!FindKey(root, path)) return kFileNotFound;
    const std::uintptr_t handle = R().nextHandle++;
    R().open[handle] = OpenKeyRecord{KeyName(root, path), access};
    key.reset(reinterpret_cast<void*>(handle));
    return kNoError;
}

long QueryValue(const UniqueKey& key, const char* name, std::uint32_t* type, unsigned char* data, std::uint32_t* size) {
    OpenKeyRecord* record = Record(key);
    if (!record) return kInvalidHandle;
    if ((record->access & kQueryValue) == 0) return kAccessDenied;
    const Key& stored = R().keys[record->path];
    auto found = stored.values.find(Lower(name));
    if (found == stored.values.end()) return kFileNotFound;
    const fake::StoredValue& value = found->second;
    *type = value.type;
    const std::uint32_t needed = static_cast<std::uint32_t>(value.bytes.size());
    const std::uint32_t room = *size;
    *size = needed;
    if (needed > room) return kMoreData;
    std::copy(value.bytes.begin(), value.bytes.end(), data);
    return kNoError;
}

long SetValue(const UniqueKey& key, const char* name, std::uint32_t type, const unsigned char* data,
              std::uint32_t size) {
    OpenKeyRecord* record = Record(key);
    if (!record) return kInvalidHandle;
    if (std::function<void()> action = std::exchange(R().beforeNextSet, nullptr)) action();
    if ((record->access & kSetValue) == 0 || std::exchange(R().failNextSet, false) || fake::ProcessKilled())
        return kAccessDenied;
    R().keys[record->path].values[Lower(name)] = fake::StoredValue{type, fake::Bytes(data, data + size)};
    return kNoError;
}

}  // namespace registry
