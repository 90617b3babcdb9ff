// The window itself: what it shows, where, in which font, and how it takes
// the keyboard and ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "tests/driver/driver.h"

namespace e2e {
namespace {

struct Box {
    LONG left, top, width, height;
    bool operator==(const Box& other) const {
        return left == other.left && top == other.top && width == other.width && height == other.height;
    }
};
void PrintTo(const Box& box, std::ostream* out) {
    *out << "(" << box.left << "," << box.top << " " << box.width << "x" << box.height << ")";
}
Box BoxOf(const RECT& rect) { return Box{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top}; }

// The design in pixels, worked out by hand from the twips.
struct Layout {
    UINT dpi;
    LONG clientWidth, clientHeight;
    Box command1, command2, label1, image1;
    LONG fontHeight;
};
constexpr Layout kLayouts[] = {
    {96, 420, 152, {168, 96, 89, 25}, {280, 96, 89, 25}, {112, 40, 289, 25}, {16, 16, 72, 72}, -12},
    {144, 630, 228, {252, 144, 134, 38}, {420, 144, 134, 38}, {168, 60, 434, 38}, {24, 24, 108, 108}, -18},
    // No monitor's, but sizes that fall near half a pixel: the font's 12.5 at 100 DPI; at 167, the
    // client's 264.42 and a button's 43.49.
    {100, 438, 158, {175, 100, 93, 26}, {292, 100, 93, 26}, {117, 42, 301, 26}, {17, 17, 75, 75}, -13},
    {167, 731, 264, {292, 167, 155, 43}, {487, 167, 155, 43}, {195, 70, 503, 43}, {28, 28, 125, 125}, -21},
};
const Layout* LayoutAt(UINT dpi) {
    for (const Layout& layout : kLayouts)
        if (layout.dpi == dpi) return &layout;
    return nullptr;
}

bool LayoutIs(const Form& form, const Layout& expected) {
    RECT client;
    GetClientRect(form.window, &client);
    return client.right == expected.clientWidth && client.bottom == expected.clientHeight &&
           BoxOf(RectInClient(form.command1, form.window)) == expected.command1 &&
           BoxOf(RectInClient(form.command2, form.window)) == expected.command2 &&
           BoxOf(RectInClient(form.label1, form.window)) == expected.label1 &&
           BoxOf(RectInClient(form.image1, form.window)) == expected.image1;
}

void ExpectLayout(const Form& form, const Layout& expected) {
    RECT client;
    GetClientRect(form.window, &client);
    EXPECT_EQ(client.right, expected.clientWidth);
    EXPECT_EQ(client.bottom, expected.clientHeight);
    EXPECT_EQ(BoxOf(RectInClient(form.command1, form.window)), expected.command1) << "Command1";
    EXPECT_EQ(BoxOf(RectInClient(form.command2, form.window)), expected.command2) << "Command2";
    EXPECT_EQ(BoxOf(RectInClient(form.label1, form.window)), expected.label1) << "Label1";
    EXPECT_EQ(BoxOf(RectInClient(form.image1, form.window)), expected.image1) << "Image1";
}

// A system metric as it is at `dpi` (GetSystemMetricsForDpi, Windows 10 and Wine).
int MetricAt(int index, UINT dpi) {
    using MetricForDpi = int(WINAPI*)(int, UINT);
    const auto metricForDpi = reinterpret_cast<MetricForDpi>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
    return metricForDpi ? metricForDpi(index, dpi) : GetSystemMetrics(index);
}

void ExpectFont(HWND window, LONG height, const char* name) {
    const std::unique_ptr<ProbeReply> probed = ProbeWindow(SharedApp().threadId(), window);
    ASSERT_TRUE(probed) << name;
    ASSERT_TRUE(probed->hasFont) << name << " reports no font";
    const LOGFONTW& seen = probed->font;
    EXPECT_EQ(Utf8(seen.lfFaceName), "Tahoma") << name;
    EXPECT_EQ(seen.lfHeight, height) << name;
    EXPECT_EQ(seen.lfWeight, 400) << name;
    EXPECT_EQ(seen.lfCharSet, 0) << name;
    EXPECT_FALSE(seen.lfItalic || seen.lfUnderline || seen.lfStrikeOut) << name;
}

// The window's tests share one UpDate.exe; the focus test comes first, while
// the window is as it opened.
class WindowTest : public testing::Test {
protected:
    void SetUp() override {
        layout_ = LayoutAt(GetOptions().dpi);
        ASSERT_NE(layout_, nullptr) << "no layout worked out for " << GetOptions().dpi << " DPI";
        HDC screen = GetDC(nullptr);
        const int driverDpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        ASSERT_EQ(static_cast<UINT>(driverDpi), GetOptions().dpi) << "the prefix is not set to the DPI of this run";
        ASSERT_TRUE(EnsureSharedApp());
        form_ = SharedForm();
    }

    const Layout* layout_ = nullptr;
    Form form_;
};

TEST_F(WindowTest, Command1HasTheFocusAndTabMovesBetweenTheButtons) {
    const DWORD thread = SharedApp().threadId();
    SetForegroundWindow(form_.window);
    EXPECT_TRUE(WaitFor([&] { return FocusOf(thread) == form_.command1; }))
        << "focus is on " << ClassName(FocusOf(thread));
    EXPECT_EQ(GetNextDlgTabItem(form_.window, nullptr, FALSE), form_.command1);
    EXPECT_EQ(GetNextDlgTabItem(form_.window, form_.command1, FALSE), form_.command2);
    EXPECT_EQ(GetNextDlgTabItem(form_.window, form_.command2, FALSE), form_.command1);
    EXPECT_EQ(GetNextDlgTabItem(form_.window, form_.command1, TRUE), form_.command2);

    // However the focus moves, the button it lands on becomes the default
    // one, the one Enter presses (its style, and the id the window gives the
    // dialog manager), and the other stops being it. Wine's dialog manager
    // restyles a button Tab reaches by itself; for a press it does not. A
    // press released off the button moves the focus and clicks nothing.
    const auto isDefault = [](HWND button) {
        return (GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    };
    const auto pressReleasedOff = [](HWND button) {
        PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(-20, -20));
    };
    EXPECT_TRUE(isDefault(form_.command1));
    const struct {
        const char* how;
        std::function<void()> move;
        HWND to, from;
    } kMoves[] = {
        {"Tab", [] { PressKey(VK_TAB); }, form_.command2, form_.command1},
        {"Shift+Tab", [] { PressKey(VK_TAB, true); }, form_.command1, form_.command2},
        {"a press on Command2", [&] { pressReleasedOff(form_.command2); }, form_.command2, form_.command1},
        // Left (for a message box, say) and come back to, the window gives
        // the focus back to the button that had it; the activation messages
        // are posted as the system sends them.
        {"the window left and come back to",
         [&] {
             PostMessageW(form_.window, WM_ACTIVATE, WA_INACTIVE, 0);
             PostMessageW(form_.window, WM_ACTIVATE, WA_ACTIVE, 0);
         },
         form_.command2, form_.command1},
        {"a press on Command1", [&] { pressReleasedOff(form_.command1); }, form_.command1, form_.command2},
        // Esc is no button's: the dialog manager's IDCANCEL names neither.
        {"Esc", [] { PressKey(VK_ESCAPE); }, form_.command1, form_.command2},
    };
    const auto defaultId = [&] {
        const LRESULT defId = SendMessageW(form_.window, DM_GETDEFID, 0, 0);
        return HIWORD(defId) == DC_HASDEFID ? static_cast<int>(LOWORD(defId)) : 0;
    };
    for (const auto& move : kMoves) {
        move.move();
        // The focus moves before the window hears of it and restyles the buttons.
        WaitFor([&] {
            return FocusOf(thread) == move.to && isDefault(move.to) && !isDefault(move.from) &&
                   defaultId() == GetDlgCtrlID(move.to);
        });
        EXPECT_EQ(FocusOf(thread), move.to) << move.how;
        EXPECT_TRUE(isDefault(move.to) && !isDefault(move.from)) << move.how;
        EXPECT_EQ(defaultId(), GetDlgCtrlID(move.to)) << move.how;
    }
    EXPECT_TRUE(SharedApp().running()) << "a press released off Command2, or Esc, closed the window";
}

TEST_F(WindowTest, CaptionControlsAndLayoutAtTheDpiOfTheRun) {
    EXPECT_EQ(WindowText(form_.window), "Tolvar Update");
    // A fixed frame with a system menu and a minimize box, but no maximize box.
    EXPECT_EQ(GetWindowLongW(form_.window, GWL_STYLE) &
                  (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME),
              static_cast<LONG>(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
    const std::vector<HWND> expectedOrder{form_.command1, form_.command2, form_.label1, form_.image1};
    EXPECT_EQ(ChildrenInZOrder(form_.window), expectedOrder) << "children in tab order";
    EXPECT_EQ(ClassName(form_.command1), "Button");
    EXPECT_EQ(ClassName(form_.command2), "Button");
    EXPECT_EQ(ClassName(form_.label1), "Static");
    EXPECT_EQ(ClassName(form_.image1), "Static");
    // Windows stretches a bitmap to its static's box only with
    // SS_REALSIZECONTROL (without it the picture keeps its pixels, too small
    // at 144 DPI); Wine stretches it either way, so the style is read here.
    EXPECT_EQ(GetWindowLongW(form_.image1, GWL_STYLE) & (SS_TYPEMASK | SS_REALSIZECONTROL),
              SS_BITMAP | SS_REALSIZECONTROL);
    // An "&" in the description shows as itself, not as a mnemonic.
    EXPECT_EQ(GetWindowLongW(form_.label1, GWL_STYLE) & SS_NOPREFIX, static_cast<LONG>(SS_NOPREFIX));
    ExpectLayout(form_, *layout_);

    // It opened in the middle of the work area, where the system centres
    // the boxes over it.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(form_.window, MONITOR_DEFAULTTOPRIMARY), &monitor));
    RECT window;
    GetWindowRect(form_.window, &window);
    const RECT& area = monitor.rcWork;
    EXPECT_NEAR(window.left - area.left, area.right - window.right, 1);
    EXPECT_NEAR(window.top - area.top, area.bottom - window.bottom, 1);
}

// Image1 shows only a picture: a bitmap static keeps no font, on Windows as
// in Wine, so there is nothing of it to check.
TEST_F(WindowTest, EveryControlWithTextUsesTahomaNinePoint) {
    ExpectFont(form_.window, layout_->fontHeight, "Form1");
    ExpectFont(form_.command1, layout_->fontHeight, "Command1");
    ExpectFont(form_.command2, layout_->fontHeight, "Command2");
    ExpectFont(form_.label1, layout_->fontHeight, "Label1");
}

// Whether Image1 of `form` shows bitmap 101 of `exe`, scaled to its box: 95
// pixels in a hundred as the system draws that bitmap itself.
void ExpectPictureOf(const std::wstring& exe, const Form& form) {
    SetForegroundWindow(form.window);
    RECT image;
    GetWindowRect(form.image1, &image);
    const Box box = BoxOf(image);
    const Picture expected = ExeBitmap(exe, 101, box.width, box.height);
    ASSERT_FALSE(expected.pixels.empty()) << "the exe carries no bitmap 101";
    Picture shown;
    int same = 0;
    const bool painted = WaitFor([&] {
        shown = CaptureScreen(image);
        same = 0;
        for (std::size_t i = 0; i < shown.pixels.size(); ++i) same += shown.pixels[i] == expected.pixels[i];
        return same >= static_cast<int>(shown.pixels.size() * 95 / 100);
    });
    EXPECT_TRUE(painted) << same << " of " << shown.pixels.size() << " pixels of Image1 show bitmap 101";
}

TEST_F(WindowTest, ShowsTheDescriptionAndThePictureFromTheResources) {
    EXPECT_EQ(WindowText(form_.label1), Utf8(ExeString(GetOptions().app, 103)));
    ExpectPictureOf(GetOptions().app, form_);

    // Around the controls the form is the colour of a dialog: its client
    // area's last pixel, which no control covers, is the button face.
    RECT client;
    GetClientRect(form_.window, &client);
    POINT corner{client.right - 1, client.bottom - 1};
    ClientToScreen(form_.window, &corner);
    for (const HWND control : {form_.command1, form_.command2, form_.label1, form_.image1}) {
        RECT covered;
        GetWindowRect(control, &covered);
        ASSERT_FALSE(PtInRect(&covered, corner)) << "a control covers the corner the colour is read at";
    }
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const std::uint32_t expectedFace = GetRValue(face) << 16 | GetGValue(face) << 8 | GetBValue(face);
    std::uint32_t background = 0;
    EXPECT_TRUE(WaitFor([&] {
        background = CaptureScreen(RECT{corner.x, corner.y, corner.x + 1, corner.y + 1}).at(0, 0);
        return background == expectedFace;
    })) << std::hex
        << background << " where the button face is " << expectedFace;
}

// The icons the window reports are icon group 1 of the exe, at the sizes the
// system uses for large and small icons at this DPI.
TEST_F(WindowTest, CarriesTheProgramIconLargeAndSmall) {
    const std::unique_ptr<ProbeReply> probed = ProbeWindow(SharedApp().threadId(), form_.window);
    ASSERT_TRUE(probed);
    const struct {
        const char* name;
        const ProbedIcon& shown;
        int size;
    } icons[] = {
        {"large", probed->icons[0], MetricAt(SM_CXICON, GetOptions().dpi)},
        {"small", probed->icons[1], MetricAt(SM_CXSMICON, GetOptions().dpi)},
    };
    for (const auto& icon : icons) {
        ASSERT_EQ(icon.shown.width, icon.size) << icon.name;
        ASSERT_EQ(icon.shown.height, icon.size) << icon.name;
        const ProbedIcon expected = ExeIcon(GetOptions().app, 1, icon.size);
        ASSERT_EQ(expected.width, icon.size) << "the exe has no " << icon.name << " icon";
        int same = 0;
        for (int i = 0; i < icon.size * icon.size; ++i) same += icon.shown.pixels[i] == expected.pixels[i];
        EXPECT_EQ(same, icon.size * icon.size) << "the " << icon.name << " icon is not icon group 1";
    }
}

// Whether `window` lies below `above` in the Z order.
bool Below(HWND window, HWND above) {
    for (HWND next = GetWindow(above, GW_HWNDNEXT); next; next = GetWindow(next, GW_HWNDNEXT))
        if (next == window) return true;
    return false;
}

// A move to a monitor of another DPI and back. Wine has one DPI for all, so
// the message is sent as the system would send it, with the rectangle it
// suggests in the program's own memory. The window takes the suggested
// corner, keeps its place in the Z order (below a window of the driver's
// that was above it), leaves the driver's window active and is laid out
// for the new DPI.
TEST_F(WindowTest, DpiChangeLaysTheWindowOutAgain) {
    DWORD processId = 0;
    GetWindowThreadProcessId(form_.window, &processId);
    const HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId);
    ASSERT_NE(process, nullptr);
    void* const remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(remote, nullptr);
    const HWND cover = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"cover", WS_POPUP | WS_VISIBLE, 0, 0, 8, 8,
                                       nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(cover, nullptr);
    SetForegroundWindow(cover);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == cover; }));
    ASSERT_TRUE(Below(form_.window, cover));
    RECT before;
    GetWindowRect(form_.window, &before);
    const UINT other = GetOptions().dpi == 96 ? 144 : 96;
    const struct {
        UINT dpi;
        const Layout* layout;
        LONG shift;
    } steps[] = {
        {other, LayoutAt(other), 16}, {100, LayoutAt(100), 8}, {167, LayoutAt(167), 4}, {GetOptions().dpi, layout_, 0}};
    for (const auto& step : steps) {
        const RECT suggested{before.left + step.shift, before.top + step.shift, before.right + step.shift,
                             before.bottom + step.shift};
        ASSERT_TRUE(WriteProcessMemory(process, remote, &suggested, sizeof suggested, nullptr));
        // The window is resized first and its controls moved after: the layout
        // has settled only when all of it is as expected (or the wait ends).
        PostMessageW(form_.window, WM_DPICHANGED, MAKEWPARAM(step.dpi, step.dpi), reinterpret_cast<LPARAM>(remote));
        WaitFor([&] { return LayoutIs(form_, *step.layout); });
        ExpectLayout(form_, *step.layout);
        ExpectFont(form_.command1, step.layout->fontHeight, "Command1");
        ExpectFont(form_.label1, step.layout->fontHeight, "Label1");
        RECT now;
        GetWindowRect(form_.window, &now);
        EXPECT_EQ(now.left, suggested.left) << step.dpi << " DPI";
        EXPECT_EQ(now.top, suggested.top) << step.dpi << " DPI";
        EXPECT_TRUE(Below(form_.window, cover)) << "the window came to the top at " << step.dpi << " DPI";
        EXPECT_EQ(GetForegroundWindow(), cover) << "the window was activated at " << step.dpi << " DPI";
    }
    DestroyWindow(cover);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
}

// A copy of the exe with a resource taken out: the load fails, the user is
// told what and why, and the program ends with the error as its exit code.
std::string SystemText(DWORD error) {
    wchar_t buffer[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, buffer,
                                  512, nullptr);
    while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' || buffer[length - 1] == L' '))
        --length;
    return Utf8(std::wstring(buffer, length));
}

// One resource of an exe, copied out of it.
struct Resource {
    std::wstring type, name;  // "#n" for a number, as the resource functions take them
    WORD language;
    std::vector<unsigned char> bytes;
};

std::wstring ResourceName(LPCWSTR name) {
    return IS_INTRESOURCE(name) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name)) : std::wstring(name);
}

BOOL CALLBACK KeepLanguage(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR all) {
    const HRSRC found = FindResourceExW(module, type, name, language);
    const auto* data = static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
    const DWORD size = SizeofResource(module, found);
    reinterpret_cast<std::vector<Resource>*>(all)->push_back(
        {ResourceName(type), ResourceName(name), language, std::vector<unsigned char>(data, data + size)});
    return TRUE;
}
BOOL CALLBACK KeepName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR all) {
    return EnumResourceLanguagesW(module, type, name, KeepLanguage, all);
}
BOOL CALLBACK KeepType(HMODULE module, LPWSTR type, LONG_PTR all) {
    return EnumResourceNamesW(module, type, KeepName, all);
}

std::vector<Resource> ResourcesOf(const std::wstring& exe) {
    std::vector<Resource> all;
    const HMODULE module =
        LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) return all;
    EnumResourceTypesW(module, KeepType, reinterpret_cast<LONG_PTR>(&all));
    FreeLibrary(module);
    return all;
}

// Writes `resources` into `exe` in place of all it carried. The whole table is
// written anew because Wine's UpdateResourceW does not delete single entries.
bool ReplaceResources(const std::wstring& exe, const std::vector<Resource>& resources) {
    const HANDLE update = BeginUpdateResourceW(exe.c_str(), TRUE);
    if (!update) return false;
    for (const Resource& r : resources) {
        if (!UpdateResourceW(update, r.type.c_str(), r.name.c_str(), r.language,
                             const_cast<unsigned char*>(r.bytes.data()), static_cast<DWORD>(r.bytes.size()))) {
            EndUpdateResourceW(update, TRUE);
            return false;
        }
    }
    return EndUpdateResourceW(update, FALSE) != FALSE;
}

// Every string table block: the exe has no string resource at all.
void RemoveStrings(std::vector<Resource>& resources) {
    resources.erase(
        std::remove_if(resources.begin(), resources.end(), [](const Resource& r) { return r.type == L"#6"; }),
        resources.end());
}

void RemoveBitmap101(std::vector<Resource>& resources) {
    resources.erase(std::remove_if(resources.begin(), resources.end(),
                                   [](const Resource& r) { return r.type == L"#2" && r.name == L"#101"; }),
                    resources.end());
}

// Bitmap 101 with a height of 0: a header that promises no picture.
void EmptyBitmap101(std::vector<Resource>& resources) {
    for (Resource& r : resources)
        if (r.type == L"#2" && r.name == L"#101" && r.bytes.size() >= sizeof(BITMAPINFOHEADER))
            std::memset(r.bytes.data() + offsetof(BITMAPINFOHEADER, biHeight), 0, sizeof(LONG));
}

// Bitmap 101 with a header that claims 32767 by 32767 pixels (3 GB at 24
// bits), more than the system makes a bitmap of: the error it gives is
// the one the user reads.
void HugeBitmap101(std::vector<Resource>& resources) {
    for (Resource& r : resources)
        if (r.type == L"#2" && r.name == L"#101" && r.bytes.size() >= sizeof(BITMAPINFOHEADER)) {
            const LONG side = 32767;
            std::memcpy(r.bytes.data() + offsetof(BITMAPINFOHEADER, biWidth), &side, sizeof side);
            std::memcpy(r.bytes.data() + offsetof(BITMAPINFOHEADER, biHeight), &side, sizeof side);
        }
}

// Bitmap 101 cut after its header: a picture with no pixels.
void HeaderOnlyBitmap101(std::vector<Resource>& resources) {
    for (Resource& r : resources)
        if (r.type == L"#2" && r.name == L"#101") r.bytes.resize(sizeof(BITMAPINFOHEADER));
}

// Strings 96 to 111 share block 7, each its length and its units: the block
// written anew up to string `last`, with `length` and `units` for 103.
void RewriteBlock7(std::vector<Resource>& resources, unsigned last, WORD length, const std::wstring& units) {
    std::vector<WORD> block;
    for (unsigned id = 96; id <= last; ++id) {
        const std::wstring text = id == 103 ? units : ExeString(GetOptions().app, id);
        block.push_back(id == 103 ? length : static_cast<WORD>(text.size()));
        block.insert(block.end(), text.begin(), text.end());
    }
    for (Resource& r : resources)
        if (r.type == L"#6" && r.name == L"#7") {
            const auto* bytes = reinterpret_cast<const unsigned char*>(block.data());
            r.bytes.assign(bytes, bytes + block.size() * sizeof(WORD));
        }
}

// 103 becomes empty, which is how a string table says a string is absent.
void RemoveString103(std::vector<Resource>& resources) { RewriteBlock7(resources, 111, 0, std::wstring()); }

// The block ends one unit before the end of 103, whose length still counts it.
void CutString103(std::vector<Resource>& resources) {
    const std::wstring text = ExeString(GetOptions().app, 103);
    RewriteBlock7(resources, 103, static_cast<WORD>(text.size()), text.substr(0, text.size() - 1));
}

// Bitmap 101 (24 bits a pixel, as the build is given it) rewritten as `bits`
// a pixel: `table` (colour masks or a palette) after the header, then each
// pixel as `encode` makes it from its blue, green and red, rows padded to
// four bytes.
void RecodeBitmap101(std::vector<Resource>& resources, WORD bits, DWORD compression,
                     const std::vector<unsigned char>& table,
                     void (*encode)(const unsigned char* pixel, std::vector<unsigned char>& out)) {
    for (Resource& r : resources) {
        if (r.type != L"#2" || r.name != L"#101") continue;
        BITMAPINFOHEADER header;
        std::memcpy(&header, r.bytes.data(), sizeof header);
        const int width = header.biWidth, height = std::abs(header.biHeight);
        const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
        const std::size_t rowBytes = (static_cast<std::size_t>(width) * bits / 8 + 3) & ~std::size_t{3};
        const unsigned char* rows = r.bytes.data() + header.biSize;
        header.biBitCount = bits;
        header.biCompression = compression;
        header.biClrUsed = 0;
        header.biSizeImage = static_cast<DWORD>(rowBytes * height);
        std::vector<unsigned char> bytes(reinterpret_cast<const unsigned char*>(&header),
                                         reinterpret_cast<const unsigned char*>(&header + 1));
        bytes.insert(bytes.end(), table.begin(), table.end());
        for (int y = 0; y < height; ++y) {
            const std::size_t rowStart = bytes.size();
            for (int x = 0; x < width; ++x) encode(rows + y * stride + x * 3, bytes);
            bytes.resize(rowStart + rowBytes);
        }
        r.bytes = bytes;
    }
}

// 32 bits a pixel with colour masks after the header (BI_BITFIELDS).
void MaskedBitmap101(std::vector<Resource>& resources) {
    const DWORD masks[] = {0xFF0000, 0xFF00, 0xFF};
    const auto* table = reinterpret_cast<const unsigned char*>(masks);
    RecodeBitmap101(resources, 32, BI_BITFIELDS, {table, table + sizeof masks},
                    [](const unsigned char* pixel, std::vector<unsigned char>& out) {
                        out.insert(out.end(), {pixel[0], pixel[1], pixel[2], 0});
                    });
}

// 8 bits a pixel over a 256-colour palette (3 bits of red, 3 of green, 2 of
// blue) that the header leaves uncounted (biClrUsed 0, so 1 << 8 entries):
// the pixels start after the palette.
void PalettedBitmap101(std::vector<Resource>& resources) {
    std::vector<unsigned char> palette;
    for (unsigned i = 0; i < 256; ++i)
        palette.insert(palette.end(), {static_cast<unsigned char>((i & 3) * 255 / 3),
                                       static_cast<unsigned char>((i >> 2 & 7) * 255 / 7),
                                       static_cast<unsigned char>((i >> 5) * 255 / 7), 0});
    RecodeBitmap101(resources, 8, BI_RGB, palette, [](const unsigned char* pixel, std::vector<unsigned char>& out) {
        out.push_back(static_cast<unsigned char>((pixel[2] >> 5) << 5 | (pixel[1] >> 5) << 2 | pixel[0] >> 6));
    });
}

// A copy of the exe whose bitmap 101 takes another form any .bmp the build
// is given may take shows that bitmap: the exe's own picture where the form
// keeps every colour, else the copy's as the system draws it.
struct PictureForm {
    const char* name;
    void (*rewrite)(std::vector<Resource>& resources);
    bool keepsColours;
    SIZE offBy;  // what the launcher's window size has over the window's
};
const PictureForm kPictureForms[] = {
    {"ColourMasks", MaskedBitmap101, true, {0, 40}},
    {"Palette", PalettedBitmap101, false, {40, 0}},
};

class PictureTest : public testing::TestWithParam<PictureForm> {};

TEST_P(PictureTest, ShowsTheBitmapInAnyForm) {
    const std::wstring folder = GetOptions().scratch + L"\\picture";
    RemoveTree(folder);
    ASSERT_TRUE(MakeFolders(folder));
    const std::wstring exe = folder + L"\\UpDate.exe";
    ASSERT_TRUE(CopyFileW(GetOptions().app.c_str(), exe.c_str(), FALSE));
    std::vector<Resource> resources = ResourcesOf(exe);
    GetParam().rewrite(resources);
    ASSERT_TRUE(ReplaceResources(exe, resources));
    // Started as a launcher that asks for a window size does, with one side
    // right and the other not: the window keeps its design size all the same.
    ASSERT_TRUE(EnsureSharedApp());
    RECT designed, designedClient, client;
    GetWindowRect(SharedForm().window, &designed);
    GetClientRect(SharedForm().window, &designedClient);
    App app;
    app.AskForSize(
        {designed.right - designed.left + GetParam().offBy.cx, designed.bottom - designed.top + GetParam().offBy.cy});
    Form form;
    ASSERT_TRUE(app.Start(exe, folder));
    ASSERT_TRUE(app.WaitForForm(form));
    ExpectPictureOf(GetParam().keepsColours ? GetOptions().app : exe, form);
    GetClientRect(form.window, &client);
    EXPECT_EQ(BoxOf(client), BoxOf(designedClient));
    PostMessageW(form.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.WaitForExit(), std::optional<DWORD>(0));
    RemoveTree(folder);
}
INSTANTIATE_TEST_SUITE_P(Forms, PictureTest, testing::ValuesIn(kPictureForms),
                         [](const testing::TestParamInfo<PictureForm>& info) { return std::string(info.param.name); });

struct MissingResource {
    const char* name;
    void (*remove)(std::vector<Resource>& resources);
    const char* what;
    DWORD error;
};
const MissingResource kMissingResources[] = {
    {"Bitmap101", RemoveBitmap101, u8"无法载入位图 101：", ERROR_RESOURCE_TYPE_NOT_FOUND},
    {"Bitmap101WithoutRows", EmptyBitmap101, u8"无法载入位图 101：", ERROR_INVALID_DATA},
    {"Bitmap101WithoutPixels", HeaderOnlyBitmap101, u8"无法载入位图 101：", ERROR_INVALID_DATA},
    {"Bitmap101TooLarge", HugeBitmap101, u8"无法载入位图 101：", ERROR_INVALID_PARAMETER},  // as Wine refuses it
    {"String103", RemoveString103, u8"无法载入字符串 103：", ERROR_RESOURCE_NAME_NOT_FOUND},
    {"String103CutShort", CutString103, u8"无法载入字符串 103：", ERROR_RESOURCE_NAME_NOT_FOUND},
    {"Strings", RemoveStrings, u8"无法载入字符串 103：", ERROR_RESOURCE_TYPE_NOT_FOUND},
};

class LoadFailureTest : public testing::TestWithParam<MissingResource> {};

TEST_P(LoadFailureTest, NamesWhatFailedAndEndsWithTheError) {
    const MissingResource& missing = GetParam();
    const std::wstring folder =
        GetOptions().scratch + L"\\load-" + std::wstring(missing.name, missing.name + std::strlen(missing.name));
    RemoveTree(folder);
    ASSERT_TRUE(MakeFolders(folder));
    const std::wstring exe = folder + L"\\UpDate.exe";
    ASSERT_TRUE(CopyFileW(GetOptions().app.c_str(), exe.c_str(), FALSE));
    std::vector<Resource> resources = ResourcesOf(exe);
    ASSERT_FALSE(resources.empty());
    missing.remove(resources);
    ASSERT_TRUE(ReplaceResources(exe, resources));

    App app;
    ASSERT_TRUE(app.Start(exe, folder));
    const std::optional<MessageBoxSeen> box = WaitForMessageBox(app.processId());
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->title, "Tolvar Update");
    EXPECT_EQ(box->text, missing.what + SystemText(missing.error));
    EXPECT_EQ(box->icon, Icon::Stop) << IconName(box->icon);
    EXPECT_EQ(box->buttons.size(), 1u);
    EXPECT_EQ(FindProcessWindow(app.processId(), nullptr, L"Tolvar Update"), box->window) << "the window stays hidden";
    ASSERT_TRUE(DismissMessageBox(*box));
    const std::optional<DWORD> exit = app.WaitForExit();
    ASSERT_TRUE(exit.has_value()) << "still running after the box";
    EXPECT_EQ(*exit, missing.error);
    RemoveTree(folder);
}
INSTANTIATE_TEST_SUITE_P(Resources, LoadFailureTest, testing::ValuesIn(kMissingResources),
                         [](const testing::TestParamInfo<MissingResource>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace e2e
