// Works UpDate.exe from outside, as a user does, for the release tests of the
// exe as shipped (signed, or beside planted DLLs): starts it in its own
// folder, waits for its window, clicks "开始更新", reads the message box,
// dismisses it and clicks "退出".
//
//   run_update --exe=UpDate.exe --payload=FILE --work=FOLDER
//       A whole update run over an installation made in FOLDER, with
//       HKEY_CURRENT_USER\Software\Qd pointing at it: 0 when the program said
//       it installed the update, did so byte for byte, recorded the version
//       and ended with exit code 0.
//   run_update --exe=UpDate.exe --open
//       Starts the program and ends it as soon as its window is up (or it has
//       ended by itself): 0 unless neither happened in time.
//
// Paths may be Unix paths (they become Z: paths). Prints what it sees.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// Starting a 32-bit Wine process takes a minute where x86-32 is emulated.
constexpr DWORD kStartMs = 180000;
constexpr DWORD kWaitMs = 60000;
const wchar_t kTitle[] = L"Tolvar Update";
const wchar_t kProductKey[] = L"Software\\Qd";

std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], size, nullptr, nullptr);
    utf8.resize(utf8.size() - 1);
    return utf8;
}

std::wstring WindowsPath(std::wstring path) {
    if (path.empty() || path[0] != L'/') return path;
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return L"Z:" + path;
}

template <class Condition>
bool WaitFor(Condition done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(50);
    }
    return true;
}

int g_failures = 0;
bool Check(bool passed, const char* what, const std::string& detail = std::string()) {
    std::printf("%s %s%s%s\n", passed ? "ok  " : "FAIL", what, detail.empty() ? "" : ": ", detail.c_str());
    if (!passed) ++g_failures;
    return passed;
}

struct WindowSearch {
    DWORD processId;
    bool messageBox;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[64] = L"", title[64] = L"";
    GetClassNameW(window, className, 64);
    GetWindowTextW(window, title, 64);
    const bool dialog = std::wcscmp(className, L"#32770") == 0;
    if (owner != search.processId || !IsWindowVisible(window) || dialog != search.messageBox ||
        (!dialog && std::wcscmp(title, kTitle) != 0))
        return TRUE;
    search.found = window;
    return FALSE;
}

// A visible top-level window of the process: its message box (a "#32770"
// dialog), or else the window titled "Tolvar Update".
HWND ProcessWindow(DWORD processId, bool messageBox) {
    WindowSearch search{processId, messageBox, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring WindowText(HWND window) {
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, 512);
    return text;
}

// Clicks the form's button with this caption the way the button reports a
// click, posted so that a message box it opens does not block the driver.
bool Click(HWND form, const wchar_t* caption) {
    const HWND button = FindWindowExW(form, nullptr, nullptr, caption);
    return button && PostMessageW(form, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                                  reinterpret_cast<LPARAM>(button));
}

std::wstring ExeString(const std::wstring& exe, UINT id) {
    const HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    wchar_t text[512] = L"";
    if (module) {
        LoadStringW(module, id, text, 512);
        FreeLibrary(module);
    }
    return text;
}

bool ReadBytes(const std::wstring& path, std::vector<char>& bytes) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes.assign(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    const bool ok = bytes.empty() || (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                                      read == bytes.size());
    CloseHandle(file);
    return ok;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
}

bool SetProductValue(const wchar_t* name, const std::wstring& text) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kProductKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

std::wstring ProductValue(const wchar_t* name) {
    wchar_t text[512] = L"";
    DWORD size = sizeof text;
    if (RegGetValueW(HKEY_CURRENT_USER, kProductKey, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return L"(unreadable)";
    return text;
}

// UpDate.exe started in its own folder; ended when the object goes.
class Program {
public:
    explicit Program(const std::wstring& exe) {
        std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
        std::wstring commandLine = L"\"" + exe + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started_ = CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                                  &startup, &info_);
        if (!started_) std::printf("cannot start %s: error %lu\n", Utf8(exe).c_str(), GetLastError());
    }
    ~Program() {
        if (!started_) return;
        if (running()) TerminateProcess(info_.hProcess, 1);
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const { return started_; }
    bool running() const { return started_ && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
    DWORD id() const { return info_.dwProcessId; }
    bool WaitForExit(DWORD& exitCode) const {
        if (!started_ || WaitForSingleObject(info_.hProcess, kWaitMs) != WAIT_OBJECT_0) return false;
        return GetExitCodeProcess(info_.hProcess, &exitCode);
    }

private:
    PROCESS_INFORMATION info_{};
    bool started_ = false;
};

int OpenOnly(const std::wstring& exe) {
    Program program(exe);
    if (!program.started()) return 1;
    HWND form = nullptr;
    WaitFor([&] { return (form = ProcessWindow(program.id(), false)) != nullptr || !program.running(); }, kStartMs);
    std::printf("%s\n", form ? "the window came up" : program.running() ? "no window in time" : "the program ended");
    return form || !program.running() ? 0 : 1;
}

int UpdateRun(const std::wstring& exe, const std::wstring& payloadFile, const std::wstring& work) {
    const std::wstring shownVersion = ExeString(exe, 101), dataFileName = ExeString(exe, 102),
                       dataVersion = ExeString(exe, 105);
    std::vector<char> payload;
    if (!Check(!shownVersion.empty() && !dataFileName.empty() && !dataVersion.empty(), "the exe's strings read") ||
        !Check(ReadBytes(payloadFile, payload), "the payload read", Utf8(payloadFile)))
        return 1;

    // An installation recorded at a version before any: the update applies.
    const std::wstring installation = work + L"\\installation", dataFile = installation + L"\\" + dataFileName;
    CreateDirectoryW(work.c_str(), nullptr);
    CreateDirectoryW(installation.c_str(), nullptr);
    RegDeleteKeyW(HKEY_CURRENT_USER, kProductKey);
    if (!Check(WriteBytes(dataFile, "the old table\r\n"), "the installation made", Utf8(dataFile)) ||
        !Check(SetProductValue(L"PathTOL", installation) && SetProductValue(L"VerTOL", L"0"), "the registry set"))
        return 1;

    {
        Program program(exe);
        HWND form = nullptr;
        if (!Check(WaitFor([&] { return (form = ProcessWindow(program.id(), false)) != nullptr; }, kStartMs),
                   "the window came up") ||
            !Check(Click(form, L"开始更新"), "开始更新 clicked"))
            return 1;
        HWND box = nullptr;
        if (!Check(WaitFor([&] { return (box = ProcessWindow(program.id(), true)) != nullptr; }, kWaitMs),
                   "a message box came up"))
            return 1;
        const std::wstring expected = L"成功更新至版本" + shownVersion + L".";
        const std::wstring said = WindowText(GetDlgItem(box, 0xFFFF));
        Check(said == expected, "it said the update was installed", Utf8(said));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        if (!Check(WaitFor([&] { return !IsWindow(box); }, kWaitMs), "the box went") ||
            !Check(Click(form, L"退出"), "退出 clicked"))
            return 1;
        DWORD exitCode = 1;
        const bool ended = program.WaitForExit(exitCode);
        Check(ended && exitCode == 0, "it ended with exit code 0", ended ? std::to_string(exitCode) : "it did not end");
    }

    std::vector<char> installed;
    Check(ReadBytes(dataFile, installed) && installed == payload, "the data file is the payload byte for byte");
    const std::wstring recorded = ProductValue(L"VerTOL");
    Check(recorded == dataVersion, "VerTOL is the data version", Utf8(recorded));
    RegDeleteKeyW(HKEY_CURRENT_USER, kProductKey);
    return g_failures == 0 ? 0 : 1;
}

bool Option(const wchar_t* argument, const wchar_t* name, std::wstring& value) {
    const std::size_t length = std::wcslen(name);
    if (std::wcsncmp(argument, name, length) != 0) return false;
    value = WindowsPath(argument + length);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::wstring exe, payload, work, unused;
    bool open = false;
    for (int i = 1; i < argc; ++i) {
        if (!Option(argv[i], L"--exe=", exe) && !Option(argv[i], L"--payload=", payload) &&
            !Option(argv[i], L"--work=", work))
            open = open || Option(argv[i], L"--open", unused);
    }
    if (!exe.empty() && open) return OpenOnly(exe);
    if (!exe.empty() && !payload.empty() && !work.empty()) return UpdateRun(exe, payload, work);
    std::printf("usage: run_update --exe=UpDate.exe (--open | --payload=FILE --work=FOLDER)\n");
    return 2;
}
