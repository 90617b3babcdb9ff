// Win32-only, for the test programs: what a folder holds.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace wintest {

// The names of the files and folders in `folder`, sorted; none when it cannot be read.
inline std::vector<std::wstring> NamesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace wintest
