#include "tests/driver/driver.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "tests/windows/names_in.h"

namespace e2e {
namespace {

Options g_options;
App* g_sharedApp = nullptr;
Form g_sharedForm;

constexpr WORD kChineseSimplified = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
const wchar_t kProductKey[] = L"Software\\Qd";

struct Module {
    HMODULE handle;
    explicit Module(const std::wstring& exe)
        : handle(LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    ~Module() {
        if (handle) FreeLibrary(handle);
    }
    const void* Find(LPCWSTR type, LPCWSTR name, DWORD* size) const {
        return FindIn(type, name, kChineseSimplified, size);
    }
    const void* FindNeutral(LPCWSTR type, LPCWSTR name, DWORD* size) const {
        return FindIn(type, name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), size);
    }
    const void* FindIn(LPCWSTR type, LPCWSTR name, WORD language, DWORD* size) const {
        const HRSRC found = handle ? FindResourceExW(handle, type, name, language) : nullptr;
        if (!found) return nullptr;
        *size = SizeofResource(handle, found);
        return LockResource(LoadResource(handle, found));
    }
};

Picture Take(const Canvas& canvas) {
    GdiFlush();
    Picture picture;
    picture.width = canvas.width;
    picture.height = canvas.height;
    if (canvas.bits) {
        picture.pixels.assign(canvas.bits, canvas.bits + static_cast<std::size_t>(canvas.width) * canvas.height);
        for (std::uint32_t& pixel : picture.pixels) pixel &= 0xFFFFFF;
    }
    return picture;
}

bool Near(std::uint32_t a, std::uint32_t b) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int da = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (da > 24 || da < -24) return false;
    }
    return true;
}

// The share of `icon`'s opaque pixels, drawn at the shown size, that the
// screen shows. Opaque pixels are those that come out the same on black and
// on white.
double IconMatch(const Picture& shown, LPCWSTR icon) {
    const HICON system =
        static_cast<HICON>(LoadImageW(nullptr, icon, IMAGE_ICON, shown.width, shown.height, LR_SHARED));
    if (!system) return 0;
    Canvas onBlack(shown.width, shown.height), onWhite(shown.width, shown.height);
    RECT all{0, 0, shown.width, shown.height};
    FillRect(onBlack.dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    FillRect(onWhite.dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(onBlack.dc, 0, 0, system, shown.width, shown.height, 0, nullptr, DI_NORMAL);
    DrawIconEx(onWhite.dc, 0, 0, system, shown.width, shown.height, 0, nullptr, DI_NORMAL);
    const Picture black = Take(onBlack), white = Take(onWhite);
    int opaque = 0, matching = 0;
    for (std::size_t i = 0; i < shown.pixels.size(); ++i) {
        if (black.pixels[i] != white.pixels[i]) continue;
        ++opaque;
        if (Near(black.pixels[i], shown.pixels[i])) ++matching;
    }
    return opaque < 16 ? 0 : static_cast<double>(matching) / opaque;
}

Icon IconShown(HWND box) {
    const HWND iconStatic = GetDlgItem(box, 1088);
    if (!iconStatic || !IsWindowVisible(iconStatic)) return Icon::None;
    RECT client;
    GetClientRect(iconStatic, &client);
    MapWindowPoints(iconStatic, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const Picture shown = CaptureScreen(client);
    if (shown.pixels.empty()) return Icon::Other;
    const double stop = IconMatch(shown, IDI_HAND), information = IconMatch(shown, IDI_ASTERISK);
    if (stop > 0.9 && information < 0.6) return Icon::Stop;
    if (information > 0.9 && stop < 0.6) return Icon::Information;
    return Icon::Other;
}

HKEY OpenProductKey(REGSAM access) {
    HKEY key = nullptr;
    return RegOpenKeyExW(HKEY_CURRENT_USER, kProductKey, 0, access, &key) == ERROR_SUCCESS ? key : nullptr;
}

}  // namespace

const Options& GetOptions() { return g_options; }
void SetOptions(const Options& options) { g_options = options; }

bool Option(const wchar_t* argument, const wchar_t* name, std::wstring& value) {
    const std::size_t length = std::wcslen(name);
    if (std::wcsncmp(argument, name, length) != 0) return false;
    value = argument + length;
    return true;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], size, nullptr, nullptr);
    return utf8;
}

std::wstring WindowsPath(const std::wstring& path) {
    if (path.empty() || path[0] != L'/') return path;
    std::wstring windows = L"Z:" + path;
    std::replace(windows.begin(), windows.end(), L'/', L'\\');
    return windows;
}

std::string WindowText(HWND window) {
    wchar_t text[1024] = {};
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                             SettleBoundMs(), &length))
        return "<no answer>";
    return Utf8(std::wstring(text, length));
}

std::string ClassName(HWND window) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return Utf8(std::wstring(name, length > 0 ? length : 0));
}

std::vector<HWND> ChildrenInZOrder(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

RECT RectInClient(HWND control, HWND parent) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::wstring ExeString(const std::wstring& exe, unsigned id) {
    const Module module(exe);
    DWORD size = 0;
    const auto* block = static_cast<const WORD*>(module.Find(RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), &size));
    if (!block) return L"<no string block>";
    const WORD* entry = block;
    for (unsigned index = 0; index < id % 16; ++index) entry += 1 + *entry;
    return std::wstring(reinterpret_cast<const wchar_t*>(entry + 1), *entry);
}

Picture CaptureScreen(const RECT& rect) {
    Canvas canvas(rect.right - rect.left, rect.bottom - rect.top);
    const HDC screen = GetDC(nullptr);
    BitBlt(canvas.dc, 0, 0, canvas.width, canvas.height, screen, rect.left, rect.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    return Take(canvas);
}

Picture ExeBitmap(const std::wstring& exe, unsigned id, int width, int height) {
    const Module module(exe);
    DWORD size = 0;
    const auto* dib = static_cast<const BITMAPINFO*>(module.Find(RT_BITMAP, MAKEINTRESOURCEW(id), &size));
    if (!dib) return Picture();
    const BITMAPINFOHEADER& header = dib->bmiHeader;
    const DWORD colours = header.biClrUsed ? header.biClrUsed : (header.biBitCount <= 8 ? 1u << header.biBitCount : 0);
    const auto* bits = reinterpret_cast<const unsigned char*>(dib) + header.biSize + colours * sizeof(RGBQUAD);
    Canvas canvas(width, height);
    SetStretchBltMode(canvas.dc, COLORONCOLOR);
    StretchDIBits(canvas.dc, 0, 0, width, height, 0, 0, header.biWidth, std::abs(header.biHeight), bits, dib,
                  DIB_RGB_COLORS, SRCCOPY);
    return Take(canvas);
}

bool SaveBmp(const Picture& picture, const std::wstring& path) {
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    const DWORD bytes = static_cast<DWORD>(picture.pixels.size() * 4);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + bytes;
    info.biSize = sizeof info;
    info.biWidth = picture.width;
    info.biHeight = -picture.height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    std::vector<char> data(file.bfSize);
    std::memcpy(data.data(), &file, sizeof file);
    std::memcpy(data.data() + sizeof file, &info, sizeof info);
    std::memcpy(data.data() + file.bfOffBits, picture.pixels.data(), bytes);
    return WriteBytes(path, data);
}

App::~App() {
    if (suspendedThread_) CloseHandle(suspendedThread_);
    if (!process_) return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        std::printf("  UpDate.exe was still running at the end of the case; killed\n");
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, SettleBoundMs());
    }
    CloseHandle(process_);
}

bool App::Start(const std::wstring& exe, const std::wstring& folder, const std::wstring& arguments, HANDLE token,
                bool suspended) {
    std::wstring commandLine = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (askedSize_) {
        startup.dwFlags |= STARTF_USESIZE;
        startup.dwXSize = askedSize_->cx;
        startup.dwYSize = askedSize_->cy;
    }
    PROCESS_INFORMATION created{};
    const DWORD flags = suspended ? CREATE_SUSPENDED : 0;
    const BOOL started = token ? CreateProcessAsUserW(token, exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                                                      flags, nullptr, folder.c_str(), &startup, &created)
                               : CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr,
                                                folder.c_str(), &startup, &created);
    if (!started) {
        std::printf("  CreateProcess failed: %lu\n", GetLastError());
        return false;
    }
    if (suspended) suspendedThread_ = created.hThread;
    else CloseHandle(created.hThread);
    startedAt_ = GetTickCount64();
    process_ = created.hProcess;
    processId_ = created.dwProcessId;
    threadId_ = created.dwThreadId;
    return true;
}

bool App::StartElevated(const std::wstring& exe, const std::wstring& folder, const std::wstring& arguments) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"runas";
    info.lpFile = exe.c_str();
    info.lpParameters = arguments.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info) || !info.hProcess) {
        std::printf("  ShellExecuteExW(runas) failed: %lu\n", GetLastError());
        return false;
    }
    startedAt_ = GetTickCount64();
    process_ = info.hProcess;
    processId_ = GetProcessId(process_);
    return true;
}

void App::Resume() {
    if (!suspendedThread_) return;
    ResumeThread(suspendedThread_);
    CloseHandle(suspendedThread_);
    suspendedThread_ = nullptr;
}

HWND FindProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* title) {
    for (HWND window = FindWindowExW(nullptr, nullptr, className, title); window;
         window = FindWindowExW(nullptr, window, className, title)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window)) return window;
    }
    return nullptr;
}

std::wstring SharedRunLog() { return g_options.scratch + L"\\shared-runs.log"; }

bool EnsureSharedApp() {
    if (g_sharedApp && g_sharedApp->running() && !FindProcessWindow(g_sharedApp->processId(), L"#32770", nullptr))
        return true;
    delete g_sharedApp;  // kills one left in a bad state
    g_sharedApp = new App;
    return g_sharedApp->Start(g_options.app, g_options.scratch, L"/log \"" + SharedRunLog() + L"\"") &&
           g_sharedApp->WaitForForm(g_sharedForm);
}

App& SharedApp() { return *g_sharedApp; }
const Form& SharedForm() { return g_sharedForm; }

void EndSharedApp() {
    if (g_sharedApp && g_sharedApp->running()) {
        PostMessageW(g_sharedForm.window, WM_CLOSE, 0, 0);
        g_sharedApp->WaitForExit();
    }
    delete g_sharedApp;
    g_sharedApp = nullptr;
}

void AbandonSharedApp() {
    delete g_sharedApp;  // kills it if it still runs
    g_sharedApp = nullptr;
}

namespace {
DWORD g_startupMs = 0;  // 0 until the first start is timed

DWORD Clamp(ULONGLONG value, DWORD low, DWORD high) {
    return static_cast<DWORD>(value < low ? low : value > high ? high : value);
}
}  // namespace

void NoteStartup(DWORD elapsedMs) {
    if (g_startupMs != 0) return;
    g_startupMs = elapsedMs ? elapsedMs : 1;
    std::printf(
        "  the first UpDate.exe took %lu ms to show its window: waits allow up to %lu ms for a start, "
        "%lu ms for an answer\n",
        static_cast<unsigned long>(g_startupMs), static_cast<unsigned long>(StartBoundMs()),
        static_cast<unsigned long>(SettleBoundMs()));
}

DWORD StartBoundMs() { return g_startupMs ? Clamp(4ull * g_startupMs + 10000, 30000, 300000) : 300000; }
DWORD SettleBoundMs() { return g_startupMs ? Clamp(g_startupMs + 10000ull, 10000, 120000) : 120000; }

bool App::WaitForForm(Form& form) {
    const bool found = WaitFor(
        [&] {
            form = Form();
            form.window = FindProcessWindow(processId_, nullptr, L"Tolvar Update");
            if (!form.window || FindProcessWindow(processId_, L"#32770", nullptr) == form.window) return false;
            for (HWND child : ChildrenInZOrder(form.window)) {
                const std::string kind = ClassName(child);
                const LONG style = GetWindowLongW(child, GWL_STYLE);
                if (kind == "Button" && WindowText(child) == u8"开始更新") form.command1 = child;
                if (kind == "Button" && WindowText(child) == u8"退出") form.command2 = child;
                if (kind == "Static" && (style & SS_TYPEMASK) == SS_BITMAP) form.image1 = child;
                if (kind == "Static" && (style & SS_TYPEMASK) == SS_LEFT) form.label1 = child;
            }
            return form.command1 && form.command2 && form.label1 && form.image1;
        },
        StartBoundMs());
    if (!found) std::printf("  no window \"Tolvar Update\" with its four controls appeared\n");
    if (found) NoteStartup(static_cast<DWORD>(GetTickCount64() - startedAt_));
    return found;
}

std::optional<DWORD> App::WaitForExit(DWORD timeoutMs) {
    if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

std::unique_ptr<ProbeReply> ProbeWindow(DWORD threadId, HWND window) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dll(path, length);
    dll = dll.substr(0, dll.rfind(L'\\') + 1) + L"e2e_probe.dll";
    static const HMODULE probe = LoadLibraryW(dll.c_str());
    const auto hookProc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probe, kProbeHookName)));
    if (!hookProc) {
        std::printf("  cannot load the probe hook from %s (%lu)\n", Utf8(dll).c_str(), GetLastError());
        return nullptr;
    }
    const HANDLE memory =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ProbeReply), kProbeMemory);
    auto* shared =
        memory ? static_cast<ProbeReply*>(MapViewOfFile(memory, FILE_MAP_WRITE, 0, 0, sizeof(ProbeReply))) : nullptr;
    std::unique_ptr<ProbeReply> reply;
    if (shared) {
        std::memset(shared, 0, sizeof *shared);
        if (const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, hookProc, probe, threadId)) {
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(window, RegisterWindowMessageW(kProbeMessage), 0, 0, SMTO_ABORTIFHUNG, SettleBoundMs(),
                                &ignored);
            UnhookWindowsHookEx(hook);
        }
        if (shared->answered) reply.reset(new ProbeReply(*shared));
        UnmapViewOfFile(shared);
    }
    if (memory) CloseHandle(memory);
    if (!reply) std::printf("  the probe hook did not answer for a %s window\n", ClassName(window).c_str());
    return reply;
}

ProbedIcon ExeIcon(const std::wstring& exe, unsigned id, int size) {
    ProbedIcon drawn{};
    const Module module(exe);
    DWORD groupSize = 0, imageSize = 0;
    const void* group = module.FindNeutral(RT_GROUP_ICON, MAKEINTRESOURCEW(id), &groupSize);
    if (!group) return drawn;
    const int image =
        LookupIconIdFromDirectoryEx(static_cast<BYTE*>(const_cast<void*>(group)), TRUE, size, size, LR_DEFAULTCOLOR);
    const void* bits = module.FindNeutral(RT_ICON, MAKEINTRESOURCEW(image), &imageSize);
    if (!bits) return drawn;
    const HICON icon = CreateIconFromResourceEx(static_cast<BYTE*>(const_cast<void*>(bits)), imageSize, TRUE,
                                                0x00030000, size, size, LR_DEFAULTCOLOR);
    DrawIconOnWhite(icon, drawn);
    if (icon) DestroyIcon(icon);
    return drawn;
}

HWND FocusOf(DWORD threadId) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(threadId, &info) ? info.hwndFocus : nullptr;
}

const char* IconName(Icon icon) {
    switch (icon) {
        case Icon::None: return "none";
        case Icon::Information: return "information";
        case Icon::Stop: return "stop";
        case Icon::Other: return "other";
    }
    return "?";
}

std::optional<MessageBoxSeen> WaitForMessageBox(DWORD processId, bool readIcon) {
    MessageBoxSeen box;
    if (!WaitFor([&] { return (box.window = FindProcessWindow(processId, L"#32770", nullptr)) != nullptr; },
                 StartBoundMs())) {
        std::printf("  no message box appeared\n");
        return std::nullopt;
    }
    box.title = WindowText(box.window);
    box.text = WindowText(GetDlgItem(box.window, 0xFFFF));
    for (HWND child : ChildrenInZOrder(box.window))
        if (ClassName(child) == "Button" && IsWindowVisible(child)) box.buttons.push_back(child);
    box.owner = GetWindow(box.window, GW_OWNER);
    box.ownerEnabled = box.owner && IsWindowEnabled(box.owner);
    // Give the box time to paint its icon.
    if (readIcon) WaitFor([&] { return (box.icon = IconShown(box.window)) != Icon::Other; });
    return box;
}

bool DismissMessageBox(const MessageBoxSeen& box) {
    const HWND ok = GetDlgItem(box.window, IDOK);
    if (!ok) return false;
    PostMessageW(ok, BM_CLICK, 0, 0);
    return WaitFor([&] { return !IsWindow(box.window); });
}

void PressKey(WORD key, bool withShift) {
    std::vector<INPUT> inputs;
    auto add = [&](WORD code, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = code;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(code, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    if (withShift) add(VK_SHIFT, false);
    add(key, false);
    add(key, true);
    if (withShift) add(VK_SHIFT, true);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    Sleep(200);
}

void DeleteProductKey() { RegDeleteTreeW(HKEY_CURRENT_USER, kProductKey); }

bool ProductKeyExists() {
    const HKEY key = OpenProductKey(KEY_READ);
    if (key) RegCloseKey(key);
    return key != nullptr;
}

void SetProductValue(const wchar_t* name, const std::wstring& text) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, kProductKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

std::optional<std::wstring> ProductValue(const wchar_t* name) {
    const HKEY key = OpenProductKey(KEY_READ);
    if (!key) return std::nullopt;
    wchar_t value[512] = {};
    DWORD size = sizeof value - sizeof(wchar_t), type = 0;
    const LONG read = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(value);
}

std::optional<std::vector<char>> ReadBytes(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<char> bytes(GetFileSize(file, nullptr));
    DWORD read = 0;
    const bool ok = bytes.empty() || (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                                      read == bytes.size());
    CloseHandle(file);
    if (!ok) return std::nullopt;
    return bytes;
}

bool WriteBytes(const std::wstring& path, const std::vector<char>& bytes) {
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        bytes.empty() ||
        (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size());
    return CloseHandle(file) && ok;
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder) { return wintest::NamesIn(folder); }

bool MakeFolders(const std::wstring& path) {
    for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

void RemoveTree(const std::wstring& path) {
    for (const std::wstring& name : FolderEntries(path)) {
        const std::wstring child = path + L"\\" + name;
        const DWORD attributes = GetFileAttributesW(child.c_str());
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) RemoveTree(child);
        else DeleteFileW(child.c_str());
    }
    RemoveDirectoryW(path.c_str());
}

int RunDemo(const std::wstring& shots) {
    const Options& options = GetOptions();
    App app;
    Form form;
    if (!app.Start(options.app, options.scratch) || !app.WaitForForm(form)) return 1;
    SetForegroundWindow(form.window);
    Sleep(500);
    RECT frame;
    GetWindowRect(form.window, &frame);
    if (!SaveBmp(CaptureScreen(frame), shots + L"\\window.bmp")) return 2;

    PostMessageW(form.command1, BM_CLICK, 0, 0);
    const std::optional<MessageBoxSeen> box = WaitForMessageBox(app.processId());
    if (!box) return 3;
    // The box over its window, as the user sees them together.
    RECT boxFrame;
    GetWindowRect(box->window, &boxFrame);
    UnionRect(&frame, &frame, &boxFrame);
    InflateRect(&frame, 8, 8);
    // Wine copies no window contents when the area reaches past the screen.
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&frame, &frame, &screen);
    if (!SaveBmp(CaptureScreen(frame), shots + L"\\messagebox.bmp")) return 4;
    std::printf("message box: %s (%s icon)\n", box->text.c_str(), IconName(box->icon));
    if (!DismissMessageBox(*box)) return 5;

    PostMessageW(form.command2, BM_CLICK, 0, 0);
    const std::optional<DWORD> exit = app.WaitForExit();
    return exit && *exit == 0 ? 0 : 6;
}

}  // namespace e2e
