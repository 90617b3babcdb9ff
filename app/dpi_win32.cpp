#include "app/dpi_win32.h"

#include "platform/system_library_win32.h"

namespace app {
namespace {

// Present from Windows 10 1607 on; null before.
template <class Function>
Function User32Function(const char* name) {
    return platform::FindSystemFunction<Function>(L"user32.dll", name).call;
}

UINT SystemDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

}  // namespace

UINT WindowDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    const auto getDpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    if (getDpiForWindow) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0) return dpi;
    }
    return SystemDpi();
}

int SystemMetricForDpi(int index, UINT dpi) {
    using MetricForDpiFunction = int(WINAPI*)(int, UINT);
    const auto metricForDpi = User32Function<MetricForDpiFunction>("GetSystemMetricsForDpi");
    if (metricForDpi) return metricForDpi(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

}  // namespace app
