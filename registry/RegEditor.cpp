#include "registry/RegEditor.h"

#include <vector>

#include "platform/ansi.h"
#include "platform/message_box.h"
#include "platform/system_error.h"
#include "resources/resource_access.h"

namespace registry {
namespace {

// The buffer holds 255 bytes; a stored terminator takes the last, so the
// longest value that reads back whole has 254 text bytes.
constexpr std::uint32_t kReadBufferSize = 255;

struct RootName {
    const char16_t* name;
    RootKey handle;
};
constexpr RootName kRoots[] = {
    {u"HKEY_CLASSES_ROOT", 0x80000000u}, {u"HKEY_CURRENT_USER", 0x80000001u},     {u"HKEY_LOCAL_MACHINE", 0x80000002u},
    {u"HKEY_USERS", 0x80000003u},        {u"HKEY_PERFORMANCE_DATA", 0x80000004u}, {u"HKEY_CURRENT_CONFIG", 0x80000005u},
    {u"HKEY_DYN_DATA", 0x80000006u},
};

bool IsMalformed(const std::u16string& path) { return path.compare(0, 5, u"HKEY_") != 0 || path.back() == u'\\'; }

// Trims spaces from both ends and drops the stored terminator (the last
// character left), then keeps what comes before the first NUL.
platform::Result<std::u16string> DecodeBuffer(const std::u16string& buffer) {
    const std::size_t first = buffer.find_first_not_of(u' ');
    if (first == std::u16string::npos)
        return platform::Error(kStepReadRegistry, platform::kErrorInvalidData);
    const std::size_t last = buffer.find_last_not_of(u' ');
    std::u16string text = buffer.substr(first, last - first);  // without the last character
    const std::size_t nul = text.find(u'\0');
    if (nul != std::u16string::npos) text.resize(nul);
    return text;
}

}  // namespace

const char16_t kReadFailed[] = u"Error.";

RootKey RootKeyFromName(const std::u16string& name) {
    for (const RootName& root : kRoots)
        if (name == root.name) return root.handle;
    return 0;
}

RootKey SplitKeyPath(std::u16string& path) {
    if (IsMalformed(path)) {
        std::u16string text = u"Incorrect fmt:\r\n\r\n";
        text += path;
        platform::ShowMessage(text, resources::kApplicationTitle,
                              platform::MessageIcon::None);
        return 0;
    }
    const std::size_t separator = path.find(u'\\');
    if (separator == std::u16string::npos) {
        const RootKey root = RootKeyFromName(path);
        path.clear();
        return root;
    }
    const RootKey root = RootKeyFromName(path.substr(0, separator));
    path.erase(0, separator + 1);
    return root;
}

platform::Result<std::u16string> ReadStringValue(std::u16string_view keyPath, std::u16string_view valueName) {
    std::u16string subKey(keyPath);
    const RootKey root = SplitKeyPath(subKey);
    if (root == 0) return std::u16string();

    UniqueKey key;
    if (OpenKey(root, platform::ToAnsi(subKey).data(), kKeyRead, key) != kSuccess) return std::u16string(kReadFailed);

    unsigned char buffer[kReadBufferSize];
    for (unsigned char& byte : buffer) byte = ' ';
    std::uint32_t type = kTypeString;
    std::uint32_t size = kReadBufferSize;
    const long queried = QueryValue(key, platform::ToAnsi(valueName).data(), &type, buffer, &size);
    key.reset();
    if (queried != kSuccess) return std::u16string(kReadFailed);

    return DecodeBuffer(platform::FromAnsi(reinterpret_cast<const char*>(buffer), kReadBufferSize));
}

platform::Status WriteStringValue(std::u16string_view keyPath, std::u16string_view valueName,
                                  std::u16string_view text) {
    constexpr platform::Step step = kStepWriteRegistry;
    std::u16string subKey(keyPath);
    const RootKey root = SplitKeyPath(subKey);
    if (root == 0) return platform::Error(step, platform::kErrorFileNotFound);

    UniqueKey key;
    if (const long opened = OpenKey(root, platform::ToAnsi(subKey).data(), kKeyWrite, key); opened != kSuccess)
        return platform::Error(step, static_cast<std::uint32_t>(opened));

    const std::vector<char> data = platform::ToAnsi(text);  // the bytes and one NUL terminator
    const long set =
        SetValue(key, platform::ToAnsi(valueName).data(), kTypeString,
                 reinterpret_cast<const unsigned char*>(data.data()), static_cast<std::uint32_t>(data.size()));
    if (set != kSuccess) return platform::Error(step, static_cast<std::uint32_t>(set));
    return platform::Ok();
}

}  // namespace registry
