#include "platform/window_lookup.h"

#include <windows.h>

#include "platform/ansi.h"

namespace platform {

bool TopLevelWindowExists(const std::u16string& title) {
    std::vector<char> ansi = ToAnsi(title);
    ansi.push_back('\0');
    return FindWindowA(nullptr, ansi.data()) != nullptr;
}

}  // namespace platform
