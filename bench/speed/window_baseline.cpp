// The second baseline of the speed benchmark: UpDate.exe's window and no more.
// It shows what UpDate.exe's window shows, laid out as UpDate.exe lays it out
// at 96 DPI: the picture (bitmap 101) and the description (string 103), read
// from its own resources (window_baseline.rc carries the same picture, text
// and manifest), and both buttons, all in Tahoma 9 pt. Its "开始更新" shows
// the success box and does nothing else. What UpDate.exe costs beyond this
// program is its own work, not the window's.
#include <windows.h>

#include "resource_ids.h"

namespace {

enum ControlId { kCommand1 = 1001, kCommand2, kLabel1, kImage1 };

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) return 0;
            if (LOWORD(wParam) == kCommand1)
                MessageBoxW(window, L"成功更新至版本7.0.8.", L"Tolvar Update", MB_OK | MB_ICONINFORMATION);
            if (LOWORD(wParam) == kCommand2) DestroyWindow(window);
            return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

HWND Control(HWND parent, HINSTANCE instance, const wchar_t* className, const wchar_t* text, DWORD style, int id,
             RECT box, HFONT font) {
    const HWND control = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, box.left, box.top,
                                         box.right, box.bottom, parent,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return control;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"WindowBaseline";
    if (!RegisterClassExW(&windowClass)) return 1;
    // UpDate.exe's style and its client area of 6300 x 2280 twips, 420 x 152 pixels at 96 DPI.
    constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    RECT frame{0, 0, 420, 152};
    AdjustWindowRectEx(&frame, kStyle, FALSE, WS_EX_CONTROLPARENT);
    const HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, L"WindowBaseline", L"Tolvar Update", kStyle,
                                        CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                                        frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    const HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                   CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
    // Boxes as left, top, width, height.
    Control(window, instance, L"Button", L"开始更新", WS_TABSTOP | BS_DEFPUSHBUTTON, kCommand1, {168, 96, 89, 25},
            font);
    Control(window, instance, L"Button", L"退出", WS_TABSTOP | BS_PUSHBUTTON, kCommand2, {280, 96, 89, 25}, font);
    wchar_t description[128] = L"";
    LoadStringW(instance, IDS_DESCRIPTION, description, 128);
    Control(window, instance, L"Static", description, SS_LEFT | SS_NOPREFIX, kLabel1, {112, 40, 289, 25}, font);
    const HWND image = Control(window, instance, L"Static", nullptr, SS_BITMAP | SS_REALSIZECONTROL, kImage1,
                               {16, 16, 48, 48}, font);
    const HANDLE picture = LoadImageW(instance, MAKEINTRESOURCEW(IDB_PRODUCT), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR);
    SendMessageW(image, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
