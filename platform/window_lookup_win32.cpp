#include "platform/window_lookup.h"

#include <windows.h>

#include "platform/ansi.h"

namespace platform {

bool TopLevelWindowExists(const std::u16string& title) {
    return FindWindowA(nullptr, ToAnsi(title).data()) != nullptr;
}

}  // namespace platform
