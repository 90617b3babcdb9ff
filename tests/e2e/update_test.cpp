// "开始更新" over real installations: the registry of the prefix, real files
// in a scratch folder, and the message box the run ends with.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <regex>
#include <atomic>
#include <thread>

#include "tests/driver/driver.h"  // <windows.h> first

#include <tlhelp32.h>
#include <winternl.h>
#include "tests/matrix/fault_matrix.h"
#include "tests/matrix/expected.h"
#include "tests/matrix/run_cases.h"

namespace e2e {
namespace {

const char kInstalled[] = EXPECTED_INSTALLED;
const char kAlreadyUpdated[] = EXPECTED_ALREADY_UPDATED;
const char kNothingToUpdate[] = EXPECTED_NOTHING_TO_UPDATE;
const char kFailed[] = EXPECTED_FAILED;
const wchar_t kCarriedVersion[] = L"" EXPECTED_DATA_VERSION;

const std::vector<char> kOldData = [] {
    const std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<units version=\"7.0.7\"/>\r\n";
    return std::vector<char>(text.begin(), text.end());
}();

using matrix::DataFile;

const char* MessageOf(matrix::Outcome outcome) {
    switch (outcome) {
        case matrix::Outcome::NoUpdateNeeded: return kNothingToUpdate;
        case matrix::Outcome::AlreadyUpdated: return kAlreadyUpdated;
        case matrix::Outcome::Installed: return kInstalled;
        case matrix::Outcome::Failed: break;
    }
    return kFailed;
}

Icon IconOf(matrix::Outcome outcome) { return matrix::Informs(outcome) ? Icon::Information : Icon::Stop; }

std::wstring WideOf(const char* text) { return std::wstring(text, text + std::strlen(text)); }

// One row of the shared table (tests/matrix/run_cases.h), made real: an
// installation in its own folder below the scratch folder, which is
// UpDate.exe's current directory. Where "PathTOL" leads nowhere, decoys wait
// where a careless run would look: Error.\unit.xml in the current directory
// and \unit.xml at the root of its drive.
class Installation {
public:
    explicit Installation(const matrix::RunCase& c) : case_(c) {
        root_ = GetOptions().scratch + L"\\" + WideOf(c.name);
        folder_ = root_ + L"\\" + WideOf(c.below);
        RemoveTree(root_);
        DeleteProductKey();
    }
    ~Installation() {
        if (held_ != INVALID_HANDLE_VALUE) CloseHandle(held_);
        if (!driveDecoy_.empty()) DeleteFileW(driveDecoy_.c_str());
        RemoveTree(errorDecoyFolder());
        RemoveTree(root_);
        DeleteProductKey();
    }

    void Prepare() {
        ASSERT_TRUE(MakeFolders(folder_));
        if (case_.data == DataFile::Folder) {
            ASSERT_TRUE(MakeFolders(dataFile()));
        }
        if (HasFile()) {
            ASSERT_TRUE(WriteBytes(dataFile(), kOldData));
            ASSERT_TRUE(SetFileAttributesW(dataFile().c_str(), matrix::Win32AttributesOf(case_.data)));
        }
        attributes_ = GetFileAttributesW(dataFile().c_str());
        if (case_.key) {
            if (case_.pathTol) SetProductValue(L"PathTOL", matrix::ExpandPathTol(case_.pathTol, folder_));
            if (case_.verTol) SetProductValue(L"VerTOL", WideOf(case_.verTol));
        }
        if (matrix::LeadsNowhere(case_)) {
            ASSERT_TRUE(MakeFolders(errorDecoyFolder()));
            ASSERT_TRUE(WriteBytes(errorDecoyFolder() + L"\\unit.xml", kOldData));
            const std::wstring decoy = root_.substr(0, 2) + L"\\unit.xml";
            ASSERT_EQ(GetFileAttributesW(decoy.c_str()), INVALID_FILE_ATTRIBUTES)
                << "a file is already at " << Utf8(decoy);
            driveDecoy_ = decoy;
            ASSERT_TRUE(WriteBytes(driveDecoy_, kOldData));
        }
        if (case_.data == DataFile::HeldOpen) {
            held_ = CreateFileW(dataFile().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(held_, INVALID_HANDLE_VALUE);
        }
    }

    void Release() {
        if (held_ != INVALID_HANDLE_VALUE) CloseHandle(held_);
        held_ = INVALID_HANDLE_VALUE;
    }

    // What the registry and the files hold after the run.
    void ExpectAfterRun() const {
        const bool installed = case_.outcome == matrix::Outcome::Installed;
        EXPECT_EQ(ProductKeyExists(), case_.key);
        const std::optional<std::wstring> version = ProductValue(L"VerTOL");
        if (case_.verTolAfter) {
            EXPECT_EQ(Utf8(version.value_or(L"<none>")), case_.verTolAfter);
        } else {
            EXPECT_FALSE(version.has_value()) << "VerTOL written: " << Utf8(*version);
        }
        const std::optional<std::vector<char>> data = ReadBytes(dataFile());
        if (case_.data == DataFile::None) {
            EXPECT_FALSE(data.has_value()) << "a data file was created";
            EXPECT_TRUE(FolderEntries(folder_).empty());
        } else if (HasFile()) {
            ASSERT_TRUE(data.has_value());
            std::vector<char> expected = kOldData;
            if (installed) {
                const std::optional<std::vector<char>> payload = ReadBytes(GetOptions().payload);
                ASSERT_TRUE(payload.has_value()) << "cannot read the payload " << Utf8(GetOptions().payload);
                expected = *payload;
            }
            EXPECT_TRUE(*data == expected)
                << (installed ? "the data file is not the payload" : "the data file changed");
            EXPECT_EQ(GetFileAttributesW(dataFile().c_str()), attributes_) << "attributes changed";
            EXPECT_EQ(FolderEntries(folder_), std::vector<std::wstring>{L"unit.xml"})
                << "files left beside the data file";
        }
        if (matrix::LeadsNowhere(case_)) {
            EXPECT_TRUE(ReadBytes(errorDecoyFolder() + L"\\unit.xml") == kOldData) << "Error.\\unit.xml was written";
            EXPECT_TRUE(ReadBytes(driveDecoy_) == kOldData) << "\\unit.xml was written";
        }
    }

    std::wstring dataFile() const { return folder_ + L"\\unit.xml"; }
    const std::wstring& folder() const { return folder_; }
    // "Error." names this folder: Windows drops a trailing dot.
    static std::wstring errorDecoyFolder() { return GetOptions().scratch + L"\\Error"; }
    const std::wstring& root() const { return root_; }

private:
    bool HasFile() const { return case_.data != DataFile::None && case_.data != DataFile::Folder; }

    const matrix::RunCase& case_;
    std::wstring root_, folder_, driveDecoy_;
    DWORD attributes_ = INVALID_FILE_ATTRIBUTES;
    HANDLE held_ = INVALID_HANDLE_VALUE;
};

// The box a run ends with: the one message, the title, one OK button, the
// icon, owned by the window and modal to it. Dismissed afterwards.
void ExpectBoxAndDismiss(const App& app, const Form& form, const char* message, Icon icon) {
    const std::optional<MessageBoxSeen> box = WaitForMessageBox(app.processId());
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->title, "Tolvar Update");
    EXPECT_EQ(box->text, message);
    EXPECT_EQ(box->icon, icon) << "the icon shown is " << IconName(box->icon);
    ASSERT_EQ(box->buttons.size(), 1u) << "buttons";
    EXPECT_EQ(GetDlgCtrlID(box->buttons[0]), IDOK);
    EXPECT_EQ(WindowText(box->buttons[0]), u8"确定");
    EXPECT_EQ(box->owner, form.window) << "owned by Form1";
    EXPECT_FALSE(box->ownerEnabled) << "modal to Form1";
    ASSERT_TRUE(DismissMessageBox(*box)) << "the box did not close";
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(form.window) != FALSE; })) << "Form1 stays disabled";
}

class UpdateRunTest : public testing::TestWithParam<matrix::RunCase> {};

std::vector<std::string> LogLines(const std::wstring& log);
std::string Field(const std::string& line, const std::string& name);

// The window's run also logs its line to the /log it was started with.
TEST_P(UpdateRunTest, ClickReportsTheOutcome) {
    const matrix::RunCase& c = GetParam();
    Installation installation(c);
    ASSERT_NO_FATAL_FAILURE(installation.Prepare());
    ASSERT_TRUE(EnsureSharedApp());
    const Form& form = SharedForm();
    const std::size_t logged = LogLines(SharedRunLog()).size();

    PostMessageW(form.command1, BM_CLICK, 0, 0);
    ASSERT_NO_FATAL_FAILURE(ExpectBoxAndDismiss(SharedApp(), form, MessageOf(c.outcome), IconOf(c.outcome)));
    installation.Release();
    installation.ExpectAfterRun();
    const std::vector<std::string> lines = LogLines(SharedRunLog());
    ASSERT_EQ(lines.size(), logged + 1) << "the click logged no line";
    EXPECT_EQ(Field(lines.back(), "exit"), std::to_string(c.exitCode)) << lines.back();
}
INSTANTIATE_TEST_SUITE_P(Cases, UpdateRunTest, testing::ValuesIn(matrix::kRunCases),
                         [](const testing::TestParamInfo<matrix::RunCase>& info) {
                             return std::string(info.param.name);
                         });

// The shared row of that name; a name no row has fails the test.
const matrix::RunCase& CaseNamed(const std::string& name) {
    for (const matrix::RunCase& c : matrix::kRunCases)
        if (name == c.name) return c;
    ADD_FAILURE() << "no shared case is named " << name;
    return matrix::kRunCases[0];
}

TEST(UpdateRunAgainTest, SecondClickAfterAnInstallFindsItDone) {
    Installation installation(CaseNamed("Installs"));
    ASSERT_NO_FATAL_FAILURE(installation.Prepare());
    ASSERT_TRUE(EnsureSharedApp());
    const Form& form = SharedForm();

    PostMessageW(form.command1, BM_CLICK, 0, 0);
    ASSERT_NO_FATAL_FAILURE(ExpectBoxAndDismiss(SharedApp(), form, kInstalled, Icon::Information));
    WIN32_FILE_ATTRIBUTE_DATA first{}, second{};
    GetFileAttributesExW(installation.dataFile().c_str(), GetFileExInfoStandard, &first);

    PostMessageW(form.command1, BM_CLICK, 0, 0);
    ASSERT_NO_FATAL_FAILURE(ExpectBoxAndDismiss(SharedApp(), form, kAlreadyUpdated, Icon::Information));
    GetFileAttributesExW(installation.dataFile().c_str(), GetFileExInfoStandard, &second);
    EXPECT_EQ(CompareFileTime(&first.ftLastWriteTime, &second.ftLastWriteTime), 0) << "written again";
    installation.ExpectAfterRun();
}

bool FocusOn(HWND control) {
    return WaitFor([&] { return FocusOf(SharedApp().threadId()) == control; });
}

// The same as a person at the keyboard: Enter on the focused "开始更新",
// Enter on the box's OK, then Space for a second run and Space on OK.
TEST(UpdateRunAgainTest, KeyboardRunsTheUpdate) {
    Installation installation(CaseNamed("Installs"));
    ASSERT_NO_FATAL_FAILURE(installation.Prepare());
    ASSERT_TRUE(EnsureSharedApp());
    const Form& form = SharedForm();
    SetForegroundWindow(form.window);
    ASSERT_TRUE(FocusOn(form.command1));

    PressKey(VK_RETURN);
    std::optional<MessageBoxSeen> box = WaitForMessageBox(SharedApp().processId());
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, kInstalled);
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box->window); })) << "Enter did not close the box";
    installation.ExpectAfterRun();
    ASSERT_TRUE(FocusOn(form.command1)) << "focus is not back on 开始更新 after the box";

    PressKey(VK_SPACE);
    box = WaitForMessageBox(SharedApp().processId());
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, kAlreadyUpdated);
    PressKey(VK_SPACE);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box->window); })) << "Space did not close the box";
    EXPECT_TRUE(FocusOn(form.command1));
}

std::u16string U16(const std::string& utf8) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::u16string text(static_cast<std::size_t>(size), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), reinterpret_cast<wchar_t*>(&text[0]),
                        size);
    return text;
}

std::optional<std::string> Narrow(const std::optional<std::wstring>& text) {
    if (!text) return std::nullopt;
    return std::string(text->begin(), text->end());
}

matrix::Bytes AsBytes(const std::optional<std::vector<char>>& bytes) {
    return bytes ? matrix::Bytes(bytes->begin(), bytes->end()) : matrix::Bytes();
}

// What a case starts from: the data file, "VerTOL" and the files beside the data file.
struct Before {
    explicit Before(const std::wstring& folder) : files(FolderEntries(folder)) {
        if (const std::optional<std::vector<char>> data = ReadBytes(folder + L"\\unit.xml")) seen.dataBefore = AsBytes(data);
        seen.versionBefore = Narrow(ProductValue(L"VerTOL"));
    }
    matrix::Observation seen;
    std::vector<std::wstring> files;
};

// The text of a run log; empty when there is none.
std::string LogText(const std::wstring& log) {
    const std::optional<std::vector<char>> bytes = ReadBytes(log);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

// The last whole line of a run log: the line of the run that ended last.
std::optional<std::string> LastLogLine(const std::wstring& log) { return matrix::LastWholeLine(LogText(log)); }

// Completes the observation with what the run left and the messages of its
// programs, judges it by the fault matrix's rules and logs the case.
matrix::Observation RecordCase(Before& before, const std::string& name, const std::wstring& folder,
                               std::vector<std::u16string> told, std::optional<matrix::Outcome> expected,
                               std::optional<std::string> logLine = std::nullopt) {
    matrix::Observation& seen = before.seen;
    seen.logLine = std::move(logLine);
    seen.suite = "e2e";
    seen.name = name;
    seen.programs = told.size();
    seen.messages = std::move(told);
    seen.expected = expected;
    if (const std::optional<std::vector<char>> data = ReadBytes(folder + L"\\unit.xml")) seen.dataAfter = AsBytes(data);
    seen.versionAfter = Narrow(ProductValue(L"VerTOL"));
    for (const std::wstring& file : FolderEntries(folder))
        if (std::find(before.files.begin(), before.files.end(), file) == before.files.end())
            seen.newFiles.push_back(Utf8(file));
    const matrix::Verdict verdict =
        matrix::Record(seen, AsBytes(ReadBytes(GetOptions().payload)), Utf8(kCarriedVersion));
    EXPECT_TRUE(verdict.passed) << verdict.why;
    return seen;
}

// Two copies of the program, started over one installation and clicked at
// the same moment: the data file ends whole and equal to the payload,
// "VerTOL" is the carried version, and each copy tells one of its four
// messages (one may find the work done, or the file busy, by the other).
TEST(TwoCopiesTest, ClickedAtTheSameMomentLeaveOneWholePayload) {
    Installation installation(CaseNamed("Installs"));
    ASSERT_NO_FATAL_FAILURE(installation.Prepare());
    EndSharedApp();
    Before before(installation.folder());

    App copies[2];
    Form forms[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(copies[i].Start(GetOptions().app, GetOptions().scratch));
        ASSERT_TRUE(copies[i].WaitForForm(forms[i]));
    }
    for (const Form& form : forms) PostMessageW(form.command1, BM_CLICK, 0, 0);
    std::vector<std::u16string> told;
    for (const App& copy : copies) {
        // The two boxes lie one over the other: their texts are read, not their icons.
        const std::optional<MessageBoxSeen> box = WaitForMessageBox(copy.processId(), false);
        ASSERT_TRUE(box.has_value());
        told.push_back(U16(box->text));
        ASSERT_TRUE(DismissMessageBox(*box));
    }
    for (int i = 0; i < 2; ++i) {
        PostMessageW(forms[i].window, WM_CLOSE, 0, 0);
        EXPECT_EQ(copies[i].WaitForExit(), std::optional<DWORD>(0));
    }

    const matrix::Observation seen =
        RecordCase(before, "TwoCopiesClickAtTheSameMoment", installation.folder(), told, std::nullopt);
    EXPECT_TRUE(seen.dataAfter == AsBytes(ReadBytes(GetOptions().payload))) << "the data file is not the payload";
    EXPECT_EQ(seen.versionAfter, std::optional<std::string>(EXPECTED_DATA_VERSION));
}

// --- Tolvar under Program Files ------------------------------------------------

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = L"";
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? value : L"";
}

// The elevated copy that replaces the data file, started directly: any
// argument but an absolute path to an ordinary, writable file named unit.xml
// ends the program with ERROR_INVALID_PARAMETER, touching nothing.
TEST(ElevatedCopyTest, StartedDirectlyChecksItsArgument) {
    const std::wstring root = GetOptions().scratch + L"\\ElevatedCopy";
    const std::wstring data = root + L"\\Tolvar\\unit.xml";
    const std::wstring readOnly = root + L"\\ReadOnly\\unit.xml";
    RemoveTree(root);
    ASSERT_TRUE(MakeFolders(root + L"\\Tolvar") && MakeFolders(root + L"\\ReadOnly") &&
                MakeFolders(root + L"\\Folder\\unit.xml"));
    for (const std::wstring& file : {data, root + L"\\Tolvar\\other.xml", readOnly})
        ASSERT_TRUE(WriteBytes(file, kOldData));
    ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    const struct {
        const char* name;
        std::wstring arguments;
        DWORD code;
    } cases[] = {
        {"relative path", L"/replace-data-file Tolvar\\unit.xml", ERROR_INVALID_PARAMETER},
        {"another file name", L"/replace-data-file \"" + root + L"\\Tolvar\\other.xml\"", ERROR_INVALID_PARAMETER},
        {"a folder", L"/replace-data-file \"" + root + L"\\Folder\\unit.xml\"", ERROR_INVALID_PARAMETER},
        {"a read-only file", L"/replace-data-file \"" + readOnly + L"\"", ERROR_INVALID_PARAMETER},
        {"a missing file", L"/replace-data-file \"" + root + L"\\Gone\\unit.xml\"", ERROR_INVALID_PARAMETER},
        {"no path", L"/replace-data-file", ERROR_INVALID_PARAMETER},
        {"the data file", L"/replace-data-file \"" + data + L"\"", ERROR_SUCCESS},
    };
    for (const auto& c : cases) {
        App copy;
        ASSERT_TRUE(copy.Start(GetOptions().app, root, c.arguments)) << c.name;
        EXPECT_EQ(copy.WaitForExit(), std::optional<DWORD>(c.code)) << c.name;
        EXPECT_FALSE(FindProcessWindow(copy.processId(), nullptr, nullptr)) << c.name << ": a window was shown";
        const bool replaced = c.code == ERROR_SUCCESS;
        EXPECT_TRUE(ReadBytes(data) == (replaced ? ReadBytes(GetOptions().payload) : kOldData)) << c.name;
        EXPECT_TRUE(ReadBytes(readOnly) == kOldData) << c.name;
        EXPECT_TRUE(ReadBytes(root + L"\\Tolvar\\other.xml") == kOldData) << c.name;
        EXPECT_EQ(FolderEntries(root + L"\\Tolvar"), (std::vector<std::wstring>{L"other.xml", L"unit.xml"})) << c.name;
    }
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveTree(root);
}

// Tolvar installed under Program Files, with the copy a legacy Tolvar
// reads in the user's VirtualStore: one click replaces both.
TEST(ProgramFilesTest, ClickReplacesTheVirtualStoreCopyToo) {
    const std::wstring programFiles = Environment(L"ProgramFiles");
    const std::wstring local = Environment(L"LOCALAPPDATA");
    ASSERT_FALSE(programFiles.empty() || local.empty()) << "no ProgramFiles or LOCALAPPDATA";
    const std::wstring folder = programFiles + L"\\TolvarE2E";
    const std::wstring store = local + L"\\VirtualStore" + folder.substr(2);
    RemoveTree(folder);
    RemoveTree(store);
    ASSERT_TRUE(MakeFolders(folder) && MakeFolders(store));
    ASSERT_TRUE(WriteBytes(folder + L"\\unit.xml", kOldData) && WriteBytes(store + L"\\unit.xml", kOldData));
    DeleteProductKey();
    SetProductValue(L"PathTOL", folder);
    SetProductValue(L"VerTOL", L"7.0.7");
    Before before(folder);

    ASSERT_TRUE(EnsureSharedApp());
    PostMessageW(SharedForm().command1, BM_CLICK, 0, 0);
    ASSERT_NO_FATAL_FAILURE(ExpectBoxAndDismiss(SharedApp(), SharedForm(), kInstalled, Icon::Information));

    RecordCase(before, "ProgramFilesWithVirtualStoreCopy", folder, {U16(kInstalled)}, matrix::Outcome::Installed,
               LastLogLine(SharedRunLog()));
    EXPECT_TRUE(ReadBytes(store + L"\\unit.xml") == ReadBytes(GetOptions().payload)) << "the VirtualStore copy is old";
    EXPECT_EQ(FolderEntries(store), std::vector<std::wstring>{L"unit.xml"}) << "files left in the VirtualStore";
    RemoveTree(folder);
    RemoveTree(local + L"\\VirtualStore");
    DeleteProductKey();
}

// --- unattended runs -----------------------------------------------------------

// The lines of a run log, each whole (ended by CR LF).
std::vector<std::string> LogLines(const std::wstring& log) { return matrix::WholeLines(LogText(log)); }

std::string Field(const std::string& line, const std::string& name) {
    return matrix::LogField(line, name).value_or("?");
}

// UpDate.exe /quiet /log LOG (with `token` instead of the driver's), watched
// until it ends: its exit code, and whether any window of it ever showed.
struct QuietRun {
    std::optional<DWORD> exitCode;
    bool windowShown = false;
};
QuietRun RunQuietly(const std::wstring& log, HANDLE token = nullptr, const std::wstring& more = L"") {
    QuietRun run;
    App app;
    if (!app.Start(GetOptions().app, GetOptions().scratch, L"/quiet /log \"" + log + L"\"" + more, token)) return run;
    const ULONGLONG deadline = GetTickCount64() + StartBoundMs() + SettleBoundMs();
    while (app.running() && GetTickCount64() < deadline) {
        if (FindProcessWindow(app.processId(), nullptr, nullptr)) run.windowShown = true;
        Sleep(5);
    }
    run.exitCode = app.WaitForExit();
    return run;
}

// Who runs the tests, and so the runs they start, as the system names them.
std::string UserName() {
    wchar_t name[257];  // UNLEN + 1
    DWORD size = 257;
    return GetUserNameW(name, &size) ? Utf8(std::wstring(name, size - 1)) : std::string("?");
}

class QuietTest : public testing::TestWithParam<matrix::RunCase> {};

// An unattended run over a real installation: no window, no box, the exit
// code that says what happened, and one line in the log that says why.
TEST_P(QuietTest, EndsWithItsCodeAndLogsOneLine) {
    const matrix::RunCase& c = GetParam();
    Installation installation(c);
    ASSERT_NO_FATAL_FAILURE(installation.Prepare());
    const std::wstring log = installation.root() + L"\\quiet.log";
    Before before(installation.folder());
    if (c.data == DataFile::HeldOpen) before.seen.dataBefore = AsBytes(kOldData);  // unreadable while held

    const QuietRun run = RunQuietly(log);
    installation.Release();

    EXPECT_EQ(run.exitCode, std::optional<DWORD>(c.exitCode));
    EXPECT_FALSE(run.windowShown) << "a window in a quiet run";
    installation.ExpectAfterRun();
    const std::vector<std::string> lines = LogLines(log);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Field(lines[0], "exit"), std::to_string(c.exitCode)) << lines[0];
    EXPECT_EQ(Field(lines[0], "user"), UserName()) << lines[0];
    EXPECT_FALSE(matrix::LogField(lines[0], "note").has_value()) << "not a LocalSystem run: " << lines[0];
    EXPECT_EQ(Field(lines[0], "tolvar-window"), "closed") << "no Tolvar window is open here";
    EXPECT_TRUE(std::regex_search(lines[0], std::regex("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ\t")))
        << "the time stamp's form: " << lines[0];
    std::printf("  %s\n", lines[0].c_str());
    RecordCase(before, std::string("Quiet/") + c.name, installation.folder(), {U16(MessageOf(c.outcome))}, std::nullopt,
               lines[0]);
}
INSTANTIATE_TEST_SUITE_P(Runs, QuietTest, testing::ValuesIn(matrix::kRunCases),
                         [](const testing::TestParamInfo<matrix::RunCase>& info) {
                             return std::string(info.param.name);
                         });

// Two unattended runs at once append two whole lines, and a third while a
// viewer has the log open; a log that cannot be written changes neither the
// outcome nor the code; a command line the program does not know does
// nothing and says so with its code.
TEST(QuietLogTest, RunsAppendWholeLinesAndNeverDependOnTheLog) {
    Installation installation(CaseNamed("Installs"));
    ASSERT_NO_FATAL_FAILURE(installation.Prepare());
    const std::wstring log = installation.root() + L"\\quiet.log";

    EXPECT_EQ(RunQuietly(log, nullptr, L" /nonsense").exitCode, std::optional<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(ReadBytes(log).has_value()) << "a refused command line logged";
    EXPECT_EQ(RunQuietly(installation.root() + L"\\no\\such\\folder\\quiet.log").exitCode, std::optional<DWORD>(0));
    installation.ExpectAfterRun();

    App first, second;
    const std::wstring arguments = L"/quiet /log \"" + log + L"\"";
    ASSERT_TRUE(first.Start(GetOptions().app, GetOptions().scratch, arguments));
    ASSERT_TRUE(second.Start(GetOptions().app, GetOptions().scratch, arguments));
    EXPECT_EQ(first.WaitForExit(StartBoundMs()), std::optional<DWORD>(0));
    EXPECT_EQ(second.WaitForExit(StartBoundMs()), std::optional<DWORD>(0));
    ASSERT_EQ(LogLines(log).size(), 2u);

    // A viewer holding the log open, reading and sharing it as log viewers do,
    // does not keep a run from appending.
    const HANDLE viewer = CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(RunQuietly(log).exitCode, std::optional<DWORD>(0));
    CloseHandle(viewer);
    const std::vector<std::string> lines = LogLines(log);
    ASSERT_EQ(lines.size(), 3u) << "no line appended while the log was open in a viewer";
    for (const std::string& line : lines) EXPECT_EQ(Field(line, "outcome"), "already-updated") << line;
}

// Links, made by run-e2e on the Unix side (Wine shows a symbolic link to a
// folder as a reparse point): the run follows a linked installation folder
// and leaves the link a link; the elevated copy, started directly on a path
// through that link, refuses it and touches nothing; a data file that is a
// link to another counts as no data file.
TEST(LinkTest, TheRunFollowsALinkedFolderTheElevatedCopyRefusesIt) {
    const std::wstring links = GetOptions().links;
    if (links.empty()) GTEST_SKIP() << "run by run-e2e, which makes the links";
    const std::wstring real = links + L"\\real\\Tolvar", via = links + L"\\via\\Tolvar";
    ASSERT_NE(GetFileAttributesW((links + L"\\via").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u) << "no link";
    ASSERT_TRUE(WriteBytes(real + L"\\unit.xml", kOldData));
    DeleteProductKey();
    SetProductValue(L"VerTOL", L"7.0.7");

    App copy;
    ASSERT_TRUE(copy.Start(GetOptions().app, links, L"/replace-data-file \"" + via + L"\\unit.xml\""));
    constexpr DWORD kReparsePointEncountered = 4395;  // ERROR_REPARSE_POINT_ENCOUNTERED
    EXPECT_EQ(copy.WaitForExit(), std::optional<DWORD>(kReparsePointEncountered));
    EXPECT_TRUE(ReadBytes(real + L"\\unit.xml") == kOldData) << "the elevated copy wrote through a link";

    ASSERT_TRUE(EnsureSharedApp());
    SetProductValue(L"PathTOL", links + L"\\filelink");
    PostMessageW(SharedForm().command1, BM_CLICK, 0, 0);
    ASSERT_NO_FATAL_FAILURE(ExpectBoxAndDismiss(SharedApp(), SharedForm(), kNothingToUpdate, Icon::Stop));
    EXPECT_TRUE(ReadBytes(real + L"\\unit.xml") == kOldData) << "the run wrote through a linked data file";

    SetProductValue(L"PathTOL", via);
    Before before(real);
    PostMessageW(SharedForm().command1, BM_CLICK, 0, 0);
    ASSERT_NO_FATAL_FAILURE(ExpectBoxAndDismiss(SharedApp(), SharedForm(), kInstalled, Icon::Information));
    RecordCase(before, "LinkedInstallationFolder", real, {U16(kInstalled)}, matrix::Outcome::Installed,
               LastLogLine(SharedRunLog()));
    EXPECT_NE(GetFileAttributesW((links + L"\\via").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u)
        << "the link is a link no more";
    EXPECT_EQ(FolderEntries(links + L"\\filelink"), std::vector<std::wstring>{L"unit.xml"});
    DeleteProductKey();
}

// --- privileged unattended runs and their log ----------------------------------

// Whether the process's token is elevated; nothing when it cannot be read.
std::optional<bool> Elevated(HANDLE process) {
    HANDLE token = nullptr;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return std::nullopt;
    const BOOL read = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    return read ? std::optional<bool>(elevation.TokenIsElevated != 0) : std::nullopt;
}

// `UpDate.exe /quiet /log LOG` started the way deployment scripts start it,
// from a batch file: `start /wait`, then %ERRORLEVEL% read on the next line
// (cmd expands a line as it reads it, so on the same line it would be the
// value from before the run). The code it read, or nothing.
std::optional<DWORD> StartAndWaitFromScript(const std::wstring& log) {
    const std::wstring& app = GetOptions().app;
    const std::wstring script = GetOptions().scratch + L"\\deploy.cmd", code = GetOptions().scratch + L"\\deploy.code";
    DeleteFileW(code.c_str());
    const std::string text = "@echo off\r\ncd /d \"" + Utf8(app.substr(0, app.rfind(L'\\'))) +
                             "\"\r\nstart /wait " + Utf8(app.substr(app.rfind(L'\\') + 1)) + " /quiet /log \"" +
                             Utf8(log) + "\"\r\n>\"" + Utf8(code) + "\" echo %ERRORLEVEL%\r\n";
    if (!WriteBytes(script, std::vector<char>(text.begin(), text.end()))) return std::nullopt;
    wchar_t system[MAX_PATH] = L"";
    GetSystemDirectoryW(system, MAX_PATH);
    App cmd;
    if (!cmd.Start(std::wstring(system) + L"\\cmd.exe", GetOptions().scratch, L"/c \"" + script + L"\"") ||
        !cmd.WaitForExit(StartBoundMs() + SettleBoundMs()))
        return std::nullopt;
    const std::string read = LogText(code);
    if (read.empty() || read.find_first_not_of("0123456789\r\n") != std::string::npos) return std::nullopt;
    return static_cast<DWORD>(std::stoul(read));
}

// An elevated run (Wine 8 gives the driver, and so every program it starts,
// an elevated token; "runas" is the way an administrator asks for one) with
// its /log in a folder reached through a Unix link to another (run-e2e's
// links\via, shown by Wine as a reparse point) writes no line there nor at
// the link's target, and ends with the same code; nor does it append to a
// file through a log that is a Unix link to it (links\logfile\linked.log ->
// links\real\linked.log). The same in a plain folder writes its one line.
enum class Launch { Runas, StartWait };
enum class LogIn { PlainFolder, LinkedFolder, LinkedFile };
struct PrivilegedLogCase {
    const char* name;
    const char* row;  // one of the shared rows
    Launch launch;
    LogIn log;
    DWORD exitCode;
};
const PrivilegedLogCase kPrivilegedLogCases[] = {
    {"RunasLinkedFolder", "Installs", Launch::Runas, LogIn::LinkedFolder, 0},
    {"RunasLinkedFile", "Installs", Launch::Runas, LogIn::LinkedFile, 0},
    {"RunasPlainFolder", "Installs", Launch::Runas, LogIn::PlainFolder, 0},
    {"StartWaitLinkedFolder", "NoKey", Launch::StartWait, LogIn::LinkedFolder, 1642},
    {"StartWaitPlainFolder", "NoKey", Launch::StartWait, LogIn::PlainFolder, 1642},
};

void PrintTo(const PrivilegedLogCase& c, std::ostream* out) { *out << c.name; }

class PrivilegedLogTest : public testing::TestWithParam<PrivilegedLogCase> {};

TEST_P(PrivilegedLogTest, WritesItsLineOnlyWhereNoLinkLed) {
    const PrivilegedLogCase& p = GetParam();
    const std::wstring links = GetOptions().links;
    if (links.empty()) GTEST_SKIP() << "run by run-e2e, which makes the links";
    ASSERT_NE(GetFileAttributesW((links + L"\\via").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u) << "no link";
    const matrix::RunCase& c = CaseNamed(p.row);
    Installation installation(c);
    ASSERT_NO_FATAL_FAILURE(installation.Prepare());
    const std::wstring name = WideOf(p.name) + L".log";
    // Where a line lands if it is written, through a link or not.
    const std::wstring target = p.log == LogIn::LinkedFile ? links + L"\\real\\linked.log"
                                                           : links + L"\\real\\Tolvar\\" + name;
    const std::wstring log = p.log == LogIn::LinkedFile     ? links + L"\\logfile\\linked.log"
                             : p.log == LogIn::LinkedFolder ? links + L"\\via\\Tolvar\\" + name
                                                            : target;
    DeleteFileW(target.c_str());
    if (p.log == LogIn::LinkedFile) {
        ASSERT_TRUE(WriteBytes(target, kOldData));
    }
    Before before(installation.folder());

    std::optional<DWORD> exitCode;
    if (p.launch == Launch::Runas) {
        App app;
        ASSERT_TRUE(app.StartElevated(GetOptions().app, GetOptions().scratch, L"/quiet /log \"" + log + L"\""));
        EXPECT_EQ(Elevated(app.process()), std::optional<bool>(true)) << "the runas run's token";
        exitCode = app.WaitForExit(StartBoundMs() + SettleBoundMs());
    } else {
        ASSERT_EQ(Elevated(GetCurrentProcess()), std::optional<bool>(true))
            << "the driver's token, which the run inherits";
        exitCode = StartAndWaitFromScript(log);
    }
    EXPECT_EQ(exitCode, std::optional<DWORD>(p.exitCode));
    installation.ExpectAfterRun();
    std::optional<std::string> line;
    if (p.log == LogIn::LinkedFile) {
        EXPECT_TRUE(ReadBytes(target) == kOldData) << "a privileged run appended through a linked log file";
    } else if (p.log == LogIn::LinkedFolder) {
        EXPECT_FALSE(ReadBytes(target).has_value()) << "a privileged run wrote its log through a linked folder";
    } else {
        const std::vector<std::string> lines = LogLines(target);
        ASSERT_EQ(lines.size(), 1u);
        line = lines[0];
        EXPECT_EQ(Field(lines[0], "exit"), std::to_string(p.exitCode)) << lines[0];
        std::printf("  %s\n", lines[0].c_str());
    }
    RecordCase(before, std::string("PrivilegedLog/") + p.name, installation.folder(), {U16(MessageOf(c.outcome))},
               c.outcome, line);
    DeleteFileW(target.c_str());
}
INSTANTIATE_TEST_SUITE_P(Runs, PrivilegedLogTest, testing::ValuesIn(kPrivilegedLogCases),
                         [](const testing::TestParamInfo<PrivilegedLogCase>& info) {
                             return std::string(info.param.name);
                         });

// The command lines of the processes that `app` starts while it watches. The
// program is put in a job, and the job reports each process started in it
// the moment it is created, so a copy that is refused and ends at once is
// not missed as a look at the process list now and then could miss it.
class CopyWatch {
public:
    explicit CopyWatch(HANDLE app)
        : job_(CreateJobObjectW(nullptr, nullptr)),
          port_(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1)),
          first_(app) {
        JOBOBJECT_ASSOCIATE_COMPLETION_PORT association{job_, port_};
        watching_ = job_ && port_ &&
                    SetInformationJobObject(job_, JobObjectAssociateCompletionPortInformation, &association,
                                            sizeof association) &&
                    AssignProcessToJobObject(job_, app);
        if (watching_) thread_ = std::thread([this] { Watch(); });
    }
    ~CopyWatch() {
        Stop();
        if (port_) CloseHandle(port_);
        if (job_) CloseHandle(job_);
    }
    bool watching() const { return watching_; }
    const std::vector<std::wstring>& Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return seen_;
    }

private:
    void Watch() {
        while (!stop_) {
            DWORD message = 0;
            ULONG_PTR key = 0;
            OVERLAPPED* detail = nullptr;
            if (!GetQueuedCompletionStatus(port_, &message, &key, &detail, 20)) continue;
            // The first process's own arrival is reported too: it is not a copy.
            const DWORD processId = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(detail));
            if (message == JOB_OBJECT_MSG_NEW_PROCESS && processId != GetProcessId(first_))
                seen_.push_back(CommandLineOf(processId));
        }
    }

    // Read from the process's own parameters block; "?" when it ended first.
    static std::wstring CommandLineOf(DWORD processId) {
        using Query = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
        const auto query = reinterpret_cast<Query>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
        const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
        std::wstring line = L"?";
        for (int attempt = 0; process && query && attempt < 500 && line == L"?"; ++attempt, Sleep(1)) {
            PROCESS_BASIC_INFORMATION basic{};
            PEB peb{};
            RTL_USER_PROCESS_PARAMETERS parameters{};
            if (query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 ||
                !ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, nullptr) ||
                !peb.ProcessParameters ||
                !ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters, nullptr) ||
                parameters.CommandLine.Length == 0)
                continue;
            // Read too early, the block is there but its text is not yet:
            // a line holding NULs is read again.
            std::wstring text(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
            if (ReadProcessMemory(process, parameters.CommandLine.Buffer, &text[0], parameters.CommandLine.Length,
                                  nullptr) &&
                text.find(L'\0') == std::wstring::npos)
                line = text;
        }
        if (process) CloseHandle(process);
        return line;
    }

    HANDLE job_;
    HANDLE port_;
    HANDLE first_;
    bool watching_ = false;
    std::atomic<bool> stop_{false};
    std::vector<std::wstring> seen_;
    std::thread thread_;
};

// An installation folder this user cannot write (made so by run-e2e-refused
// on the Unix side), and UpDate.exe started with the limited token of an
// administrator who has not elevated: the run asks for an elevated copy,
// that copy is refused the same way, and the run says 更新失败.
TEST(RefusedFolderTest, AsksForACopyAndFailsWhenThatIsRefusedToo) {
    const std::wstring folder = GetOptions().refusedInstall;
    if (folder.empty()) GTEST_SKIP() << "run by run-e2e-refused, as a user who cannot write the folder";
    const std::wstring data = folder + L"\\unit.xml";
    const HANDLE probe = CreateFileW((folder + L"\\probe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    const DWORD refusal = GetLastError();
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        DeleteFileW((folder + L"\\probe").c_str());
        FAIL() << "the folder is writable";
    }
    ASSERT_EQ(refusal, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    HANDLE token = nullptr;
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    ASSERT_TRUE(GetTokenInformation(token, TokenLinkedToken, &linked, sizeof linked, &size)) << GetLastError();
    CloseHandle(token);
    DeleteProductKey();
    SetProductValue(L"PathTOL", folder);
    SetProductValue(L"VerTOL", L"7.0.7");
    Before before(folder);

    EndSharedApp();
    App app;
    Form form;
    struct Token {
        HANDLE handle;
        ~Token() { CloseHandle(handle); }
    } limited{linked.LinkedToken};
    ASSERT_TRUE(app.Start(GetOptions().app, GetOptions().scratch, L"", limited.handle));
    ASSERT_TRUE(app.WaitForForm(form));
    CopyWatch watch(app.process());
    ASSERT_TRUE(watch.watching()) << "cannot watch UpDate.exe through a job: " << GetLastError();
    PostMessageW(form.command1, BM_CLICK, 0, 0);
    ASSERT_NO_FATAL_FAILURE(ExpectBoxAndDismiss(app, form, kFailed, Icon::Stop));
    const std::vector<std::wstring> copies = watch.Stop();

    ASSERT_EQ(copies.size(), 1u) << "copies of UpDate.exe started";
    std::printf("  the copy's command line: %s\n", Utf8(copies[0]).c_str());
    EXPECT_NE(copies[0].find(L"/replace-data-file \"" + data + L"\""), std::wstring::npos) << Utf8(copies[0]);
    RecordCase(before, "RefusedFolderCopyRefusedToo", folder, {U16(kFailed)}, matrix::Outcome::Failed);
    PostMessageW(form.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.WaitForExit(), std::optional<DWORD>(0));

    // Unattended, the same refusal asks for nothing: it ends with
    // ERROR_ELEVATION_REQUIRED, and no copy is started.
    Before quietBefore(folder);
    App quiet;
    ASSERT_TRUE(quiet.Start(GetOptions().app, GetOptions().scratch, L"/quiet", limited.handle, true));
    CopyWatch quietWatch(quiet.process());
    ASSERT_TRUE(quietWatch.watching()) << "cannot watch UpDate.exe through a job: " << GetLastError();
    quiet.Resume();
    EXPECT_EQ(quiet.WaitForExit(StartBoundMs()), std::optional<DWORD>(740));  // ERROR_ELEVATION_REQUIRED
    EXPECT_TRUE(quietWatch.Stop().empty()) << "an unattended run started a copy";
    RecordCase(quietBefore, "RefusedFolderQuiet", folder, {U16(kFailed)}, matrix::Outcome::Failed);
    DeleteProductKey();
}

// Enter on "退出", a click on it and the close box each end the program at
// once with exit code 0, and the window goes with it. Each of these ends the
// shared program, so they come last.
struct QuitWay {
    const char* name;
    void (*quit)(const Form&);
};
const QuitWay kQuitWays[] = {
    {"KeyboardOnCommand2",
     [](const Form& form) {
         SetForegroundWindow(form.window);
         PressKey(VK_TAB);
         EXPECT_TRUE(FocusOn(form.command2)) << "Tab did not reach 退出";
         PressKey(VK_RETURN);
     }},
    {"Command2", [](const Form& form) { PostMessageW(form.command2, BM_CLICK, 0, 0); }},
    {"CloseBox", [](const Form& form) { PostMessageW(form.window, WM_SYSCOMMAND, SC_CLOSE, 0); }},
};

class QuitTest : public testing::TestWithParam<QuitWay> {};

TEST_P(QuitTest, EndsTheProgramWithExitCodeZero) {
    ASSERT_TRUE(EnsureSharedApp());
    const Form form = SharedForm();
    if (std::string(GetParam().name) == "KeyboardOnCommand2") {
        SetForegroundWindow(form.window);
        ASSERT_TRUE(FocusOn(form.command1));
    }
    GetParam().quit(form);
    const std::optional<DWORD> exit = SharedApp().WaitForExit();
    ASSERT_TRUE(exit.has_value()) << "still running";
    EXPECT_EQ(*exit, 0u);
    EXPECT_FALSE(IsWindow(form.window));
    EndSharedApp();
}
INSTANTIATE_TEST_SUITE_P(Ways, QuitTest, testing::ValuesIn(kQuitWays),
                         [](const testing::TestParamInfo<QuitWay>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
