// libFuzzer target: how RegEditor decodes whatever bytes a registry value
// holds, and how SplitKeyPath takes any key path apart. It runs over the
// in-memory registry of the native build and checks the rules of the read as
// properties, aborting (and so saving the input) when one does not hold.
//
// Input: byte 0 picks what is exercised (its value modulo 3):
//   0  read a stored value: bytes 1-4 its type (little-endian, any number),
//      byte 5 flags (bit 0: no key, bit 1: no value), the rest its bytes;
//   1  split a key path: byte 1 picks a root name (modulo 7) to put in front
//      of the path as well, the rest is the path in UTF-16LE;
//   2  write a text and read it back: the rest is the text in UTF-16LE.
// Missing header bytes count as 0.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ansi.h"
#include "portable/fake_platform.h"
#include "registry/RegEditor.h"
#include "resources/resource_access.h"

namespace {

constexpr std::uint32_t kCurrentUser = 0x80000001u;
constexpr char kSubKey[] = "Software\\Qd";
constexpr char16_t kKeyPath[] = u"HKEY_CURRENT_USER\\Software\\Qd";
constexpr char kValueName[] = "VerTOL";
constexpr char16_t kValueName16[] = u"VerTOL";
constexpr std::size_t kReadBufferSize = 255;  // a value of more bytes cannot be read

// The predefined roots in handle order: 0x80000000 + index.
constexpr const char16_t* kRootNames[] = {u"HKEY_CLASSES_ROOT", u"HKEY_CURRENT_USER",     u"HKEY_LOCAL_MACHINE",
                                          u"HKEY_USERS",        u"HKEY_PERFORMANCE_DATA", u"HKEY_CURRENT_CONFIG",
                                          u"HKEY_DYN_DATA"};

void Check(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint32_t U32() {
        std::uint32_t value = 0;
        for (int shift = 0; shift < 32; shift += 8) value |= static_cast<std::uint32_t>(Byte()) << shift;
        return value;
    }
    fake::Bytes Rest() {
        fake::Bytes rest(data_ + std::min(at_, size_), data_ + size_);
        at_ = size_;
        return rest;
    }
    std::u16string RestUtf16() {
        const fake::Bytes bytes = Rest();
        std::u16string text;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

std::u16string Decoded(const fake::Bytes& bytes) {
    return platform::FromAnsi(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

registry::RootKey HandleNamed(const std::u16string& name) {
    for (std::uint32_t index = 0; index < 7; ++index)
        if (name == kRootNames[index]) return 0x80000000u + index;
    return 0;
}

void CheckStoredValueRead(Input& input) {
    const std::uint32_t type = input.U32();
    const std::uint8_t flags = input.Byte();
    const fake::Bytes stored = input.Rest();
    const bool keyExists = (flags & 1) == 0, valueExists = (flags & 2) == 0;
    if (keyExists) fake::CreateKey(kCurrentUser, kSubKey);
    if (keyExists && valueExists) fake::PutValue(kCurrentUser, kSubKey, kValueName, type, stored);

    const platform::Result<std::u16string> read = registry::ReadStringValue(kKeyPath, kValueName16);
    Check(fake::OpenKeyCount() == 0, "every key the read opens is closed");
    Check(fake::Messages().empty(), "a well-formed key path shows no box");

    if (!keyExists || !valueExists || stored.size() > kReadBufferSize) {
        Check(read.ok() && read.value() == registry::kReadFailed, "a read that fails gives \"Error.\"");
        return;
    }
    const bool blank = std::all_of(stored.begin(), stored.end(), [](unsigned char byte) { return byte == ' '; });
    Check(read.ok() != blank, "the read raises exactly when the stored bytes are nothing but spaces");
    if (!read.ok()) {
        Check(read.error() == platform::Error(registry::kStepReadRegistry, 13),
              "a blank value raises ERROR_INVALID_DATA");
        return;
    }
    const std::u16string& text = read.value();
    const std::u16string storedText = Decoded(stored);
    Check(text.size() <= stored.size() && text.size() <= storedText.size(),
          "the result is never longer than the stored text");
    Check(text.find(u'\0') == std::u16string::npos, "a result holds no NUL");
    Check(text.empty() || text.front() != u' ', "leading spaces are trimmed");
    Check(storedText.find(text) != std::u16string::npos, "the result is a piece of the stored text");
    // The sentinel on a read that worked must be the value's own text.
    if (text == registry::kReadFailed)
        Check(storedText.find(registry::kReadFailed) != std::u16string::npos,
              "\"Error.\" only when the read failed or was stored");
}

// The rules of SplitKeyPath, and what a read over an empty registry makes of the path.
void CheckSplit(const std::u16string& original) {
    fake::Reset();
    std::u16string path = original;
    const registry::RootKey root = registry::SplitKeyPath(path);
    const bool malformed = original.size() < 5 || original.compare(0, 5, u"HKEY_") != 0 || original.back() == u'\\';
    if (malformed) {
        Check(root == 0 && path == original, "a malformed path gives no root and is left as it was");
        Check(fake::Messages().size() == 1, "a malformed path shows one box");
        const fake::Message& box = fake::Messages().front();
        Check(box.text == u"Incorrect fmt:\r\n\r\n" + original && box.title == resources::kApplicationTitle &&
                  box.icon == platform::MessageIcon::None,
              "the box says \"Incorrect fmt:\", two line breaks and the path, with no icon");
    } else {
        Check(fake::Messages().empty(), "a well-formed path shows no box");
        const std::size_t separator = original.find(u'\\');
        Check(root == HandleNamed(original.substr(0, separator)),
              "the root is the handle named before the first \"\\\"");
        Check(path == (separator == std::u16string::npos ? std::u16string() : original.substr(separator + 1)),
              "the path becomes everything after the first \"\\\"");
    }

    fake::Reset();
    const platform::Result<std::u16string> read = registry::ReadStringValue(original, kValueName16);
    Check(read.ok() && read.value() == (root == 0 ? u"" : registry::kReadFailed),
          "over an empty registry a path naming no root reads as \"\", any other as \"Error.\"");
    Check(fake::OpenKeyCount() == 0, "every key the read opens is closed");
}

void CheckKeyPaths(Input& input) {
    const char16_t* rootName = kRootNames[input.Byte() % 7];
    const std::u16string path = input.RestUtf16();
    CheckSplit(path);
    CheckSplit(rootName + (u'\\' + path));
}

void CheckWriteThenRead(Input& input) {
    const std::u16string text = input.RestUtf16();
    fake::CreateKey(kCurrentUser, kSubKey);
    Check(registry::WriteStringValue(kKeyPath, kValueName16, text).ok(), "a write under an existing key is stored");
    const std::vector<char> ansi = platform::ToAnsi(text);
    const fake::Bytes expectedBytes(ansi.begin(), ansi.end());
    const std::optional<fake::StoredValue> stored = fake::GetValue(kCurrentUser, kSubKey, kValueName);
    Check(stored && stored->type == registry::kTypeString && stored->bytes == expectedBytes,
          "a text is stored as REG_SZ: its ANSI bytes and one NUL");

    const platform::Result<std::u16string> read = registry::ReadStringValue(kKeyPath, kValueName16);
    if (expectedBytes.size() > kReadBufferSize) {
        Check(read.ok() && read.value() == registry::kReadFailed, "a value over 254 bytes reads as \"Error.\"");
        return;
    }
    // What the code page makes of the text, without leading spaces, up to a NUL.
    std::u16string expected = Decoded(fake::Bytes(ansi.begin(), ansi.end()));
    expected.erase(0, std::min(expected.find_first_not_of(u' '), expected.size()));
    expected = expected.substr(0, expected.find(u'\0'));
    Check(read.ok() && read.value() == expected, "a text written reads back, less leading spaces, up to a NUL");
    Check(fake::OpenKeyCount() == 0, "every key opened is closed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fake::Reset();
    Input input(data, size);
    switch (input.Byte() % 3) {
        case 0: CheckStoredValueRead(input); break;
        case 1: CheckKeyPaths(input); break;
        case 2: CheckWriteThenRead(input); break;
    }
    return 0;
}
