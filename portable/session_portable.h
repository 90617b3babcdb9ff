// Test controls of the session stand-in (session_portable.cpp): who runs the
// program and what time it is. Nothing here is part of the product.
#pragma once

#include <string>

namespace fake {

void SetUser(const std::u16string& name, bool localSystem = false);  // "me" until set
// The time is always 2026-01-02T03:04:05Z.
void ResetSession();

}  // namespace fake
