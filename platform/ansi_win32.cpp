#include "platform/ansi.h"

#include <windows.h>

namespace platform {

std::vector<char> ToAnsi(std::u16string_view text) {
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    const int needed = text.empty() ? 0 : WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::vector<char> bytes(needed > 0 ? needed + 1 : 1);  // zeroed: the terminator is there
    if (needed > 0) WideCharToMultiByte(CP_ACP, 0, wide, length, bytes.data(), needed, nullptr, nullptr);
    return bytes;
}

std::u16string FromAnsi(const char* bytes, std::size_t size) {
    if (size == 0) return {};
    const int length = static_cast<int>(size);
    const int needed = MultiByteToWideChar(CP_ACP, 0, bytes, length, nullptr, 0);
    std::u16string text(needed > 0 ? needed : 0, u'\0');
    if (needed > 0) MultiByteToWideChar(CP_ACP, 0, bytes, length, reinterpret_cast<wchar_t*>(&text[0]), needed);
    return text;
}

}  // namespace platform
