// The end-to-end driver: runs UpDate.exe as a separate process and works it
// through its window the way a person would, with the system's own window
// functions. Every wait is bounded so a hung window fails instead of hanging.
#pragma once

#include <windows.h>

#include "tests/driver/probe.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct Options {
    std::wstring app;             // UpDate.exe
    std::wstring payload;         // what an install must leave in the data file
    std::wstring scratch;         // a folder of the driver's own for the cases' files
    std::wstring refusedInstall;  // an installation folder this user cannot write (only for that case)
    std::wstring links;           // a folder with links made on the Unix side (run-e2e): real\Tolvar,
                                  // via -> real, filelink\unit.xml -> real\Tolvar\unit.xml and
                                  // logfile\linked.log -> real\linked.log
    UINT dpi = 96;                // the DPI the run was started at
};
const Options& GetOptions();
void SetOptions(const Options& options);

// Bounds of the waits, scaled to the machine. The first UpDate.exe of a run
// is timed from its start to its window: a machine that slows that start (an
// emulated x86-32 takes a minute) slows all the program does, so "started",
// "the box appeared" and "the layout settled" are allowed a multiple of it.
// Until a start has been timed, the bounds are those of the slowest machine.
DWORD StartBoundMs();               // a program's start, up to its window
DWORD SettleBoundMs();              // what a running program does in answer to input
void NoteStartup(DWORD elapsedMs);  // the first start timed sets the pace

// Polls `done` until it holds or `timeoutMs` has passed; true when it held.
template <class Condition>
bool WaitFor(Condition done, DWORD timeoutMs = SettleBoundMs()) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done()) return true;
        if (GetTickCount64() >= deadline) return false;
        Sleep(20);
    }
}

// A command-line option "NAME=VALUE" (or a bare flag when `name` has no
// "="): true, with what follows the name in `value`, when `argument` is it.
bool Option(const wchar_t* argument, const wchar_t* name, std::wstring& value);

std::string Utf8(const std::wstring& text);
std::wstring WindowsPath(const std::wstring& path);  // a Unix path becomes its Z: path
std::string WindowText(HWND window);                 // UTF-8
std::string ClassName(HWND window);
std::vector<HWND> ChildrenInZOrder(HWND parent);
RECT RectInClient(HWND control, HWND parent);  // the control's window rectangle, in parent client pixels

// Strings and bitmaps carried by an exe, read from the file in language 2052.
std::wstring ExeString(const std::wstring& exe, unsigned id);

// A 32-bit top-down picture, 0x00RRGGBB per pixel.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
Picture CaptureScreen(const RECT& screenRect);
Picture ExeBitmap(const std::wstring& exe, unsigned id, int width, int height);  // stretched to the size given
bool SaveBmp(const Picture& picture, const std::wstring& path);

// UpDate.exe's window and controls, found by their kinds and captions.
struct Form {
    HWND window = nullptr;
    HWND command1 = nullptr;  // Button "开始更新"
    HWND command2 = nullptr;  // Button "退出"
    HWND label1 = nullptr;    // Static, text
    HWND image1 = nullptr;    // Static, bitmap
};

// One run of UpDate.exe. Ended by the test; killed (and the test failed) if
// it is still running when the object goes.
class App {
public:
    App() = default;
    App(const App&) = delete;
    App& operator=(const App&) = delete;
    ~App();

    // Starts `exe` with `folder` as its current directory, `arguments` after
    // its quoted name, and `token` (a limited one, say) instead of the driver's own.
    // With `suspended`, nothing of it runs until Resume().
    bool Start(const std::wstring& exe, const std::wstring& folder, const std::wstring& arguments = L"",
               HANDLE token = nullptr, bool suspended = false);
    void Resume();
    // The window size a launcher asks for (STARTF_USESIZE) on the next Start.
    void AskForSize(SIZE size) { askedSize_ = size; }
    // Starts `exe` through ShellExecuteExW's "runas" verb, as an administrator
    // asks for an elevated run (no thread id is known then).
    bool StartElevated(const std::wstring& exe, const std::wstring& folder, const std::wstring& arguments);
    // Waits for the visible window titled "Tolvar Update" and its four controls.
    bool WaitForForm(Form& form);
    bool running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
    // Waits for the process to end; its exit code, or nothing on timeout.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs = SettleBoundMs());
    DWORD processId() const { return processId_; }
    DWORD threadId() const { return threadId_; }
    HANDLE process() const { return process_; }

private:
    HANDLE process_ = nullptr;
    HANDLE suspendedThread_ = nullptr;
    std::optional<SIZE> askedSize_;
    ULONGLONG startedAt_ = 0;
    DWORD processId_ = 0;
    DWORD threadId_ = 0;
};

// The UpDate.exe most tests share (a run keeps no state between clicks),
// started in the scratch folder when none is running, or when the last one
// was left with a message box open. It logs its runs (/log) to SharedRunLog().
std::wstring SharedRunLog();
bool EnsureSharedApp();
App& SharedApp();
const Form& SharedForm();
// Closes the shared program (if it runs) and forgets it.
void EndSharedApp();
// Kills the shared program at once, whatever it shows, and forgets it: after
// a failed check nothing waits on a window in an unknown state.
void AbandonSharedApp();

// Top-level windows of a process with this class and title.
HWND FindProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* title);

// The focused window of the thread (another process's, too).
HWND FocusOf(DWORD threadId);

// The font and icons `window` reports, read inside its own process (see
// probe.h); null when the hook could not be set or did not answer.
std::unique_ptr<ProbeReply> ProbeWindow(DWORD threadId, HWND window);

// Icon group `id` of the exe at `size` pixels, drawn as ProbeHook draws.
ProbedIcon ExeIcon(const std::wstring& exe, unsigned id, int size);

enum class Icon { None, Information, Stop, Other };
const char* IconName(Icon icon);

struct MessageBoxSeen {
    HWND window = nullptr;
    std::string title;
    std::string text;
    std::vector<HWND> buttons;  // the visible ones
    HWND owner = nullptr;
    bool ownerEnabled = true;
    Icon icon = Icon::None;
};

// Waits for a message box of the process and reads it. The icon is read off
// the screen, so a box that another window may cover is read without it.
std::optional<MessageBoxSeen> WaitForMessageBox(DWORD processId, bool readIcon = true);
// Clicks the box's OK button and waits for the box to go.
bool DismissMessageBox(const MessageBoxSeen& box);

// Keyboard input as a person types it, to whatever window has the focus.
void PressKey(WORD key, bool withShift = false);

// HKEY_CURRENT_USER\Software\Qd, the target application's key.
void DeleteProductKey();
bool ProductKeyExists();
void SetProductValue(const wchar_t* name, const std::wstring& text);
std::optional<std::wstring> ProductValue(const wchar_t* name);

// Files.
std::optional<std::vector<char>> ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::vector<char>& bytes);
std::vector<std::wstring> FolderEntries(const std::wstring& folder);  // names, sorted
bool MakeFolders(const std::wstring& path);
void RemoveTree(const std::wstring& path);

// The demo: runs the program over the installation already set up, clicks
// "开始更新", saves pictures of the window and the box to `shots` and
// prints the box's text. 0 when all of that happened.
int RunDemo(const std::wstring& shots);

}  // namespace e2e
