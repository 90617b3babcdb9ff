#include "app/Form1.h"
#include "platform/system_error.h"

#include <cstring>
#include <string>
#include <utility>

#include "app/dpi_win32.h"
#include "app/update_run.h"
#include "platform/decimal.h"
#include "platform/elevation.h"
#include "platform/message_box.h"
#include "platform/message_box_win32.h"
#include "resources/resource_access.h"
#include "resources/resource_access_win32.h"
#include "resources/resource_ids.h"

namespace app {
namespace {

// The window as designed, in twips from the client area's top-left corner.
// Pixels() is the one place where twips become pixels.
constexpr int kTwipsPerInch = 1440;
struct TwipsBox {
    int left, top, width, height;
};
constexpr int kClientWidth = 6300;
constexpr int kClientHeight = 2280;
constexpr TwipsBox kCommand1Box{2520, 1440, 1335, 375};
constexpr TwipsBox kCommand2Box{4200, 1440, 1335, 375};
constexpr TwipsBox kLabel1Box{1680, 600, 4335, 375};
constexpr TwipsBox kImage1Box{240, 240, 720, 720};  // until the picture sizes it
// A bitmap's pixels are those of the designer's 96 DPI screen: 15 twips each.
constexpr int kPictureDpi = 96;

constexpr int kFontPoints = 9;
constexpr wchar_t kFontFace[] = L"Tahoma";

constexpr wchar_t kClassName[] = L"UpDateForm1";
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_CONTROLPARENT;

// Control ids, in tab order. None of them is IDOK or IDCANCEL, so Enter and
// Esc never reach a button by accident.
enum ControlId { kCommand1 = 1001, kCommand2, kLabel1, kImage1 };

int Pixels(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), kTwipsPerInch); }

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

void ShowLoadFailure(const char16_t* what, DWORD error) {
    std::u16string text = what;
    text += u"：";
    text += platform::SystemErrorText(error);
    platform::ShowMessage(text, resources::kApplicationTitle,
                          platform::MessageIcon::Critical);
}

// Bitmap 101 as a device bitmap, made from the packed DIB in the resources.
DWORD LoadPicture(platform::UniqueBitmap& picture, SIZE& pixels) {
    SetLastError(ERROR_SUCCESS);
    DWORD size = 0;
    const auto* bytes = static_cast<const unsigned char*>(
        resources::FindResourceBytes(RT_BITMAP, MAKEINTRESOURCEW(IDB_PRODUCT), &size));
    if (!bytes) return resources::LastResourceError();

    BITMAPINFOHEADER header;
    if (size < sizeof header) return ERROR_INVALID_DATA;
    std::memcpy(&header, bytes, sizeof header);
    if (header.biSize < sizeof header || header.biSize > size || header.biWidth <= 0 || header.biHeight == 0)
        return ERROR_INVALID_DATA;
    DWORD colours = header.biClrUsed;
    if (colours == 0 && header.biBitCount <= 8) colours = 1u << header.biBitCount;
    DWORD offset = header.biSize + colours * sizeof(RGBQUAD);
    if (header.biSize == sizeof header && header.biCompression == BI_BITFIELDS) offset += 3 * sizeof(DWORD);
    if (offset >= size) return ERROR_INVALID_DATA;

    const HDC screen = GetDC(nullptr);
    if (!screen) return GetLastError();
    picture.reset(CreateDIBitmap(screen, &header, CBM_INIT, bytes + offset, reinterpret_cast<const BITMAPINFO*>(bytes),
                                 DIB_RGB_COLORS));
    const DWORD error = picture.valid() ? ERROR_SUCCESS : GetLastError();
    ReleaseDC(nullptr, screen);
    if (!picture.valid()) return error != ERROR_SUCCESS ? error : ERROR_INVALID_DATA;
    pixels = SIZE{header.biWidth, header.biHeight < 0 ? -header.biHeight : header.biHeight};
    return ERROR_SUCCESS;
}

platform::UniqueFont CreateFormFont(UINT dpi) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(kFontPoints, static_cast<int>(dpi), 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = ANSI_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    std::memcpy(font.lfFaceName, kFontFace, sizeof kFontFace);
    return platform::UniqueFont(CreateFontIndirectW(&font));
}

platform::UniqueIcon LoadProgramIcon(HINSTANCE instance, int widthMetric, int heightMetric, UINT dpi) {
    return platform::UniqueIcon(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON,
                                                              SystemMetricForDpi(widthMetric, dpi),
                                                              SystemMetricForDpi(heightMetric, dpi), LR_DEFAULTCOLOR)));
}

bool RegisterFormClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

Form1::Form1(HINSTANCE instance)
    : instance_(instance), pictureTwips_{kImage1Box.width, kImage1Box.height}, defaultButton_(kCommand1) {}

Form1::~Form1() {
    if (hwnd_) DestroyWindow(hwnd_);
}

int Form1::Open(int showCommand) {
    if (!RegisterFormClass(instance_, WindowProc)) return static_cast<int>(GetLastError());
    CreateWindowExW(kFormExStyle, kClassName, Wide(resources::kApplicationTitle), kFormStyle, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance_, this);
    if (!hwnd_) return static_cast<int>(GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_INVALID_HANDLE);

    if (const DWORD error = Load()) {
        DestroyWindow(hwnd_);
        return static_cast<int>(error);
    }
    platform::SetMessageOwner(hwnd_);  // the run's boxes are modal to the window
    platform::SetPromptOwner(hwnd_);   // and so is the consent prompt, when the run asks for one
    CenterOnMonitor();
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
    return 0;
}

bool Form1::TranslateDialogKeys(MSG* message) { return hwnd_ && IsDialogMessageW(hwnd_, message); }

LRESULT CALLBACK Form1::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Form1* self;
    if (message == WM_NCCREATE) {
        self = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Form1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT Form1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: return OnCreate() ? 0 : -1;
        case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
        case WM_ACTIVATE: OnActivate(LOWORD(wParam) != WA_INACTIVE, HIWORD(wParam) != 0); return 0;
        case WM_SETFOCUS: SetFocus(lastFocus_ ? lastFocus_ : Control(kCommand1)); return 0;
        case DM_GETDEFID:  // asked by IsDialogMessage when Enter is pressed
            return MAKELRESULT(defaultButton_, DC_HASDEFID);
        case WM_GETFONT: return reinterpret_cast<LRESULT>(font_.get());
        case WM_DPICHANGED: OnDpiChanged(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam)); return 0;
        case WM_DESTROY: OnDestroy(); return 0;
        default: return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

bool Form1::OnCreate() {
    dpi_ = WindowDpi(hwnd_);
    constexpr DWORD kButton = WS_TABSTOP | BS_NOTIFY;
    // Created in tab order; the picture keeps the box it is given, scaled with the DPI.
    lastFocus_ = CreateControl(L"Button", L"开始更新", kButton | BS_DEFPUSHBUTTON, kCommand1);
    if (!lastFocus_ || !CreateControl(L"Button", L"退出", kButton | BS_PUSHBUTTON, kCommand2) ||
        !CreateControl(L"Static", L"Label1", SS_LEFT | SS_NOPREFIX, kLabel1) ||
        !CreateControl(L"Static", nullptr, SS_BITMAP | SS_REALSIZECONTROL, kImage1))
        return false;
    ApplyDpi();
    return true;
}

DWORD Form1::Load() {
    SIZE pixels{};
    if (const DWORD error = LoadPicture(picture_, pixels)) {
        ShowLoadFailure(u"无法载入位图 101", error);
        return error;
    }
    const platform::Result<std::u16string> description = resources::LoadStringResource(IDS_DESCRIPTION);
    if (!description.ok()) {
        const DWORD error = description.error().code();
        ShowLoadFailure(u"无法载入字符串 103", error);
        return error;
    }
    SendMessageW(Control(kImage1), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture_.get()));
    pictureTwips_ = SIZE{MulDiv(pixels.cx, kTwipsPerInch, kPictureDpi), MulDiv(pixels.cy, kTwipsPerInch, kPictureDpi)};
    SetWindowTextW(Control(kLabel1), Wide(description.value().c_str()));
    Layout();
    return ERROR_SUCCESS;
}

void Form1::OnCommand(int id, int notification) {
    if (notification == BN_SETFOCUS && (id == kCommand1 || id == kCommand2)) return MakeDefaultButton(id);
    if (notification != BN_CLICKED) return;
    if (id == kCommand1) OnCommand1Click();
    if (id == kCommand2) OnCommand2Click();
}

void Form1::OnCommand1Click() {
    // The box disables the window, but a click message already queued would
    // still arrive inside the box's loop; one run at a time.
    if (running_) return;
    running_ = true;
    UpdateRun();
    running_ = false;
}

void Form1::OnCommand2Click() { DestroyWindow(hwnd_); }

// Focus goes back to the control that had it when the window was left (after
// a message box, say), not to the window itself.
void Form1::OnActivate(bool active, bool minimized) {
    if (!active) {
        const HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
    } else if (!minimized) {
        SetFocus(lastFocus_ ? lastFocus_ : Control(kCommand1));
    }
}

// The window moved to a monitor of another DPI: keep the corner the system
// suggests (if it suggests one), and size everything for the new DPI.
void Form1::OnDpiChanged(UINT dpi, const RECT* suggested) {
    dpi_ = dpi;
    if (suggested)
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyDpi();
}

void Form1::OnDestroy() {
    platform::SetMessageOwner(nullptr);
    platform::SetPromptOwner(nullptr);
    PostQuitMessage(0);
}

HWND Form1::CreateControl(const wchar_t* className, const wchar_t* text, DWORD style, int id) {
    return CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, hwnd_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
}

HWND Form1::Control(int id) const { return GetDlgItem(hwnd_, id); }

void Form1::ApplyDpi() {
    platform::UniqueFont font = CreateFormFont(dpi_);
    for (int id = kCommand1; id <= kImage1; ++id)
        SendMessageW(Control(id), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    font_ = std::move(font);  // the old font goes once no control uses it

    platform::UniqueIcon large = LoadProgramIcon(instance_, SM_CXICON, SM_CYICON, dpi_);
    platform::UniqueIcon small = LoadProgramIcon(instance_, SM_CXSMICON, SM_CYSMICON, dpi_);
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large.get()));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
    largeIcon_ = std::move(large);
    smallIcon_ = std::move(small);

    SizeClientArea(Pixels(kClientWidth, dpi_), Pixels(kClientHeight, dpi_));
    Layout();
}

// The frame is measured on the window as it is rather than worked out for
// the DPI: where the system does not scale the frame with the window's DPI
// (Wine, older Windows) a computed frame would leave the client area off.
// A second pass catches a frame that changed with the resize itself.
void Form1::SizeClientArea(int width, int height) {
    for (int pass = 0; pass < 2; ++pass) {
        RECT window, client;
        GetWindowRect(hwnd_, &window);
        GetClientRect(hwnd_, &client);
        if (client.right == width && client.bottom == height) return;
        const int frameWidth = (window.right - window.left) - client.right;
        const int frameHeight = (window.bottom - window.top) - client.bottom;
        SetWindowPos(hwnd_, nullptr, 0, 0, width + frameWidth, height + frameHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// Opens in the middle of the work area, where the message boxes, which the
// system centres, appear over it.
void Form1::CenterOnMonitor() {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT window;
    if (!GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor) ||
        !GetWindowRect(hwnd_, &window))
        return;
    const RECT& area = monitor.rcWork;
    const int left = area.left + ((area.right - area.left) - (window.right - window.left)) / 2;
    const int top = area.top + ((area.bottom - area.top) - (window.bottom - window.top)) / 2;
    SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form1::Layout() {
    const auto place = [this](int id, const TwipsBox& box) {
        SetWindowPos(Control(id), nullptr, Pixels(box.left, dpi_), Pixels(box.top, dpi_), Pixels(box.width, dpi_),
                     Pixels(box.height, dpi_), SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(kCommand1, kCommand1Box);
    place(kCommand2, kCommand2Box);
    place(kLabel1, kLabel1Box);
    place(kImage1, TwipsBox{kImage1Box.left, kImage1Box.top, static_cast<int>(pictureTwips_.cx),
                            static_cast<int>(pictureTwips_.cy)});
}

// The focused button is the one Enter presses, and shows it, as in a dialog.
void Form1::MakeDefaultButton(int id) {
    if (id == defaultButton_) return;
    SendMessageW(Control(defaultButton_), BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    SendMessageW(Control(id), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    defaultButton_ = id;
}

int RunForm1(HINSTANCE instance, int showCommand) {
    Form1 form(instance);
    if (const int failed = form.Open(showCommand)) return failed;
    MSG message;
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(message.wParam);
        if (got == -1) return static_cast<int>(GetLastError());
        if (form.TranslateDialogKeys(&message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace app
