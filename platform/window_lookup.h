// Top-level window lookup by title.
#pragma once

#include <string>

namespace platform {

// True when a top-level window with exactly this title exists (any class).
bool TopLevelWindowExists(const std::u16string& title);

}  // namespace platform
