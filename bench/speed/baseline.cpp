// The baseline of the speed benchmark: the least a Win32 program with one
// window, one button and one message box does, built with UpDate.exe's
// toolchain and flags and carrying UpDate.exe's manifest (baseline.rc), so
// it loads the same Common Controls and is as DPI-aware. Its button has
// UpDate.exe's caption in UpDate.exe's font, Tahoma 9 pt, which the prefix
// links to a CJK font for the Chinese characters, and its box UpDate.exe's
// success text and icon, so what differs is UpDate.exe's own work.
#include <windows.h>

namespace {

constexpr int kButton = 1;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == kButton && HIWORD(wParam) == BN_CLICKED)
                MessageBoxW(window, L"成功更新至版本7.0.8.", L"Tolvar Update", MB_OK | MB_ICONINFORMATION);
            return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"Baseline";
    if (!RegisterClassW(&windowClass)) return 1;
    const HWND window = CreateWindowW(L"Baseline", L"Baseline", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                                      CW_USEDEFAULT, 426, 181, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    const HWND button =
        CreateWindowW(L"Button", L"开始更新", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 168, 96, 89, 25,
                      window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButton)), instance, nullptr);
    const HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                   CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
