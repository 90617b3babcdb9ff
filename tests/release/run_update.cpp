// Works UpDate.exe from outside, as a user does, for the release tests of the
// exe as shipped (signed, or beside planted DLLs), with the end-to-end
// driver's helpers: starts it in its own folder, waits for its window, clicks
// "开始更新", reads the message box, dismisses it and clicks "退出".
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
#include <cstdio>
#include <cwchar>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

int g_failures = 0;
bool Check(bool passed, const char* what, const std::string& detail = std::string()) {
    std::printf("%s %s%s%s\n", passed ? "ok  " : "FAIL", what, detail.empty() ? "" : ": ", detail.c_str());
    if (!passed) ++g_failures;
    return passed;
}

std::wstring FolderOf(const std::wstring& exe) { return exe.substr(0, exe.find_last_of(L'\\')); }

int OpenOnly(const std::wstring& exe) {
    App app;
    if (!app.Start(exe, FolderOf(exe))) return 1;
    HWND form = nullptr;
    WaitFor([&] { return (form = FindProcessWindow(app.processId(), nullptr, L"Tolvar Update")) || !app.running(); },
            StartBoundMs());
    std::printf("%s\n", form ? "the window came up" : app.running() ? "no window in time" : "the program ended");
    if (form) PostMessageW(form, WM_CLOSE, 0, 0);
    app.WaitForExit();
    return form || !app.running() ? 0 : 1;
}

int UpdateRun(const std::wstring& exe, const std::wstring& payloadFile, const std::wstring& work) {
    const std::wstring shownVersion = ExeString(exe, 101), dataFileName = ExeString(exe, 102),
                       dataVersion = ExeString(exe, 105);
    const std::optional<std::vector<char>> payload = ReadBytes(payloadFile);
    if (!Check(!shownVersion.empty() && !dataFileName.empty() && !dataVersion.empty(), "the exe's strings read") ||
        !Check(payload.has_value(), "the payload read", Utf8(payloadFile)))
        return 1;

    // An installation recorded at a version before any: the update applies.
    const std::wstring installation = work + L"\\installation", dataFile = installation + L"\\" + dataFileName;
    const std::string old = "the old table\r\n";
    DeleteProductKey();
    if (!Check(MakeFolders(installation) && WriteBytes(dataFile, std::vector<char>(old.begin(), old.end())),
               "the installation made", Utf8(dataFile)))
        return 1;
    SetProductValue(L"PathTOL", installation);
    SetProductValue(L"VerTOL", L"0");

    {
        App app;
        Form form;
        if (!Check(app.Start(exe, FolderOf(exe)) && app.WaitForForm(form), "the window came up")) return 1;
        PostMessageW(form.command1, BM_CLICK, 0, 0);
        // Outside a virtual desktop the box's icon is not read off the screen.
        const std::optional<MessageBoxSeen> box = WaitForMessageBox(app.processId(), false);
        if (!Check(box.has_value(), "a message box came up")) return 1;
        const std::string expected = Utf8(L"成功更新至版本" + shownVersion + L".");
        Check(box->text == expected, "it said the update was installed", box->text);
        if (!Check(DismissMessageBox(*box), "the box went")) return 1;
        PostMessageW(form.command2, BM_CLICK, 0, 0);
        const std::optional<DWORD> exitCode = app.WaitForExit();
        Check(exitCode == std::optional<DWORD>(0), "it ended with exit code 0",
              exitCode ? std::to_string(*exitCode) : "it did not end");
    }

    Check(ReadBytes(dataFile) == payload, "the data file is the payload byte for byte");
    const std::wstring recorded = ProductValue(L"VerTOL").value_or(L"(unreadable)");
    Check(recorded == dataVersion, "VerTOL is the data version", Utf8(recorded));
    DeleteProductKey();
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
