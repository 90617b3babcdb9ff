// The baseline of the speed benchmark: the least a Win32 program with one
// window, one button and one message box does, built with UpDate.exe's
// toolchain and flags. Its button has UpDate.exe's caption and its box
// UpDate.exe's success text and icon, so what differs is the work alone.
#include <windows.h>

namespace {

constexpr int kButton = 1;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == kButton && HIWORD(wParam) == BN_CLICKED)
                MessageBoxW(window, L"成功更新至版本7.0.8.", L"Tolvar Update", MB_OK | MB_ICONINFORMATION);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
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
    CreateWindowW(L"Button", L"开始更新", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 168, 96, 89, 25, window,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButton)), instance, nullptr);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
