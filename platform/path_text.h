// Small tests on path text: separators, drive letters, and comparisons that
// ignore case as Windows does for the names it ships (ASCII letters).
#pragma once

#include <cstddef>
#include <string>

namespace platform {

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

// "\\server\share" (or "\\?\C:", "\\.\C:"): the root of a share or of a
// device path, with nothing after it.
inline bool IsShareRoot(const std::u16string& path) {
    if (path.size() < 5 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return false;
    const std::size_t server = path.find_first_of(u"\\/", 2);
    return server != std::u16string::npos && server > 2 && server + 1 < path.size() &&
           path.find_first_of(u"\\/", server + 1) == std::u16string::npos;
}

// The folder `path` lies in: everything before its last separator, which is
// kept where the folder is a root ("C:\", "\", "\\server\share\"): without
// it the text would name the current folder of a drive, or nothing.
inline std::u16string FolderOf(const std::u16string& path) {
    const std::size_t separator = path.find_last_of(u"\\/");
    if (separator == std::u16string::npos) return u".";
    const std::u16string folder = path.substr(0, separator);
    if (folder.empty() || (folder.size() == 2 && folder[1] == u':') || IsShareRoot(folder))
        return path.substr(0, separator + 1);
    return folder;
}

}  // namespace platform
