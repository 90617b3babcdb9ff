// Win32-only: the DPI functions of Windows 10, with fallbacks for the systems
// that lack them (looked up in user32 at run time).
#pragma once

#include <windows.h>

namespace app {

constexpr UINT kDefaultDpi = 96;

// The DPI the window is shown at; the system DPI where windows have none of their own.
UINT WindowDpi(HWND window);

// A system metric (SM_CXICON, ...) as it is at `dpi`.
int SystemMetricForDpi(int index, UINT dpi);

}  // namespace app
