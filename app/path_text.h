// Small tests on path text: separators, drive letters, and comparisons that
// ignore case as Windows does for the names it ships (ASCII letters).
#pragma once

#include <cstddef>
#include <string>

namespace app {

inline bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

inline bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// "X:\..." (or "X:/...").
inline bool HasDriveRoot(const std::u16string& path) {
    return path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == u':' && IsSeparator(path[2]);
}

inline char16_t FoldCase(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

// Equal, ignoring ASCII case, with "/" and "\" alike.
inline bool SamePathText(const std::u16string& a, std::size_t from, std::size_t length, const std::u16string& b) {
    if (length != b.size() || from + length > a.size()) return false;
    for (std::size_t i = 0; i < length; ++i) {
        const char16_t x = a[from + i], y = b[i];
        if (FoldCase(x) != FoldCase(y) && !(IsSeparator(x) && IsSeparator(y))) return false;
    }
    return true;
}

// Where the last part of the path (after the last separator) begins.
inline std::size_t LastPartAt(const std::u16string& path) {
    const std::size_t separator = path.find_last_of(u"\\/");
    return separator == std::u16string::npos ? 0 : separator + 1;
}

}  // namespace app
