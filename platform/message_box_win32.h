// Win32-only: which window owns the program's message boxes.
#pragma once

#include <windows.h>

namespace platform {

// Boxes shown after this call are owned by, and modal to, `owner` (may be null).
void SetMessageOwner(HWND owner);

}  // namespace platform
