// Updating many PCs: the switches, the exit code and log line of each kind
// of run, and the deployment guide that tells administrators both.
#include "app/command_line.h"
#include "app/elevated_replace.h"
#include "app/outcome.h"
#include "app/privilege.h"
#include "app/run_log.h"
#include "app/unattended.h"
#include "platform/session.h"
#include "test_support.h"
#include "tests/matrix/expected.h"
#include "tests/matrix/fault_matrix.h"
#include "tests/matrix/payload.h"

#include <fstream>
#include <functional>
#include <set>
#include <sstream>

namespace {

using fake::FileOp;

const char kSubKey[] = "Software\\Qd";
const char16_t kData[] = u"C:\\App\\unit.xml";
const char16_t kLog[] = u"C:\\Logs\\update.log";
const fake::Bytes kOld = BytesOf("<old data/>");

struct SwitchCase {
    const char* name;
    const char16_t* line;
    bool quiet;
    const char16_t* logFile;
    bool invalid;
};

const SwitchCase kSwitchCases[] = {
    {"None", u"\"C:\\A B\\UpDate.exe\"", false, u"", false},
    {"Quiet", u"UpDate.exe /quiet", true, u"", false},
    {"AnyCaseAndDash", u"UpDate.exe -QUIET", true, u"", false},
    {"LogThenQuiet", u"UpDate.exe /Log \"C:\\My Logs\\u.log\" /quiet", true, u"C:\\My Logs\\u.log", false},
    {"QuietThenLog", u"UpDate.exe\t-quiet\t-log\tC:\\u.log", true, u"C:\\u.log", false},
    {"EscapedQuote", u"UpDate.exe /log \"C:\\a\\\\\" /quiet", true, u"C:\\a\\", false},
    {"OddBackslashesBeforeAQuote", u"UpDate.exe /log a\\\"b /quiet", true, u"a\"b", false},
    {"BackslashEndsTheLine", u"UpDate.exe /quiet /log C:\\Logs\\", true, u"C:\\Logs\\", false},
    {"LogWithoutAFile", u"UpDate.exe /quiet /log", true, u"", true},
    {"LogFollowedByASwitch", u"UpDate.exe /log /quiet", true, u"", true},
    {"LogFollowedByADashSwitch", u"UpDate.exe /quiet /log -x.log", true, u"", true},
    {"EmptyLogName", u"UpDate.exe /quiet /log \"\"", true, u"", true},
    {"TabsAndRepeatedBlanks", u"UpDate.exe \t /quiet  \t\t/log   \tC:\\u.log\t ", true, u"C:\\u.log", false},
    {"UnknownSwitch", u"UpDate.exe /quiet /s", true, u"", true},
    {"PartOfASwitch", u"UpDate.exe /quietly", false, u"", true},
    {"FirstLetterWrong", u"UpDate.exe /xuiet", false, u"", true},
    {"StrayArgument", u"UpDate.exe /quiet now", true, u"", true},
    {"EmptyProgramName", u" /quiet", true, u"", false},  // the name ends at the first blank, even the first character
    {"EmptyQuotedProgramName", u"\"\" /quiet", true, u"", false},
    {"QuotedProgramWithTheSwitchInsideItsName", u"\"C:\\x /quiet\\UpDate.exe\"", false, u"", false},
};

class SwitchesTest : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchesTest, ReadsTheCommandLine) {
    const app::Switches switches = app::ParseSwitches(GetParam().line);
    EXPECT_EQ(switches.quiet, GetParam().quiet);
    EXPECT_EQ(switches.logFile, GetParam().logFile);
    EXPECT_EQ(switches.invalid, GetParam().invalid);
}

INSTANTIATE_TEST_SUITE_P(Lines, SwitchesTest, ::testing::ValuesIn(kSwitchCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- what a run reported, as its exit code and its log line -------------------

std::vector<std::string> LogLines() {
    const std::optional<fake::Bytes> bytes = fake::FileBytes(kLog);
    return matrix::WholeLines(bytes ? std::string(bytes->begin(), bytes->end()) : std::string());
}

void Installation() {
    fake::PutString(kCurrentUser, kSubKey, "PathTOL", "C:\\App");
    fake::PutString(kCurrentUser, kSubKey, "VerTOL", "7.0.7");
    fake::PutFile(kData, kOld);
}

// The installation's folder refuses the user; a prompt would be granted and
// start `copy` (by default the copy as the program's start-up runs it).
void RefusedFolder(std::function<std::uint32_t(const std::u16string&)> copy = [](const std::u16string& line) {
    return app::RunElevatedModeIfAsked(line).value_or(0xDEAD);
}) {
    Installation();
    fake::RefuseNewFilesIn(u"C:\\App");
    fake::AnswerPrompts(fake::Consent::Granted);
    fake::SetElevatedCopy(std::move(copy));
}

enum class Start { Quiet, Window };  // /quiet /log, or a click with /log

struct ReportCase {
    const char* name;
    Start start;
    std::function<void()> arrange;
    std::uint32_t exitCode;  // the quiet run's; the line's exit= either way
    const char* line;        // the whole line from user= on, without its CR LF
};

#define FILE_APP "\tfile=C:\\App\\unit.xml"
#define NO_FAILURE "\tstep=-\terror=0\terror-text=-"
#define CLOSED_NO_COPY "\ttolvar-window=closed\televated-copy=-"

// Every kind of report a run makes: outcome; elevation would help or not; an
// elevated copy started or not, and its exit code; the failing step and its code.
const ReportCase kReportCases[] = {
    {"Installed", Start::Quiet, Installation, 0,
     "user=me\toutcome=installed\texit=0" NO_FAILURE FILE_APP "\tVerTOL=7.0.7->" EXPECTED_DATA_VERSION CLOSED_NO_COPY},
    {"AlreadyUpdated",
     Start::Quiet,
     [] {
         Installation();
         fake::PutString(kCurrentUser, kSubKey, "VerTOL", EXPECTED_DATA_VERSION);
     },
     0,
     "user=me\toutcome=already-updated\texit=0" NO_FAILURE FILE_APP "\tVerTOL=" EXPECTED_DATA_VERSION
     "->" EXPECTED_DATA_VERSION CLOSED_NO_COPY},
    // Values the registry could not give, and a user without a name, are "-".
    {"NoInstallation",
     Start::Quiet,
     [] {
         fake::CreateKey(kCurrentUser, kSubKey);
         fake::SetUser(u"", false);
     },
     1642, "user=-\toutcome=no-update-needed\texit=1642" NO_FAILURE "\tfile=-\tVerTOL=-->-" CLOSED_NO_COPY},
    {"FolderNotThereNamedWithASeparator",
     Start::Quiet,
     [] {
         Installation();
         fake::PutString(kCurrentUser, kSubKey, "PathTOL", "C:\\Gone\\");
     },
     1642,
     "user=me\toutcome=no-update-needed\texit=1642" NO_FAILURE "\tfile=C:\\Gone\\unit.xml\tVerTOL=7.0.7->7.0.7"
     CLOSED_NO_COPY},
    // The held file the deployment guide tells administrators to retry.
    {"HeldByTolvar", Start::Quiet, [] { Installation(), fake::SetLocked(kData, true), fake::SetWindowExists(true); },
     32,
     "user=me\toutcome=failed\texit=32\tstep=rename\terror=32\terror-text=系统错误 32" FILE_APP
     "\tVerTOL=7.0.7->7.0.7\ttolvar-window=open\televated-copy=-"},
    // Elevation would help and no copy ran: 740, the step keeping its own code.
    {"RefusedFolderNeverPromptsWhenQuiet", Start::Quiet, [] { RefusedFolder(); }, 740,
     "user=me\toutcome=failed\texit=740\tstep=create-temporary\terror=5\terror-text=系统错误 5" FILE_APP
     "\tVerTOL=7.0.7->7.0.7" CLOSED_NO_COPY},
    {"PromptDeclined",
     Start::Window,
     [] {
         RefusedFolder();
         fake::AnswerPrompts(fake::Consent::Declined);
     },
     740,
     "user=me\toutcome=failed\texit=740\tstep=elevate\terror=1223\terror-text=系统错误 1223" FILE_APP
     "\tVerTOL=7.0.7->7.0.7" CLOSED_NO_COPY},
    // A copy ran: its exit code is logged, 0 included, and a failed one's is the run's.
    {"ElevatedCopyInstalls", Start::Window, [] { RefusedFolder(); }, 0,
     "user=me\toutcome=installed\texit=0" NO_FAILURE FILE_APP "\tVerTOL=7.0.7->" EXPECTED_DATA_VERSION
     "\ttolvar-window=closed\televated-copy=0"},
    {"ElevatedCopyFails", Start::Window, [] { RefusedFolder([](const std::u16string&) { return kDiskFull; }); }, 112,
     "user=me\toutcome=failed\texit=112\tstep=elevate\terror=112\terror-text=系统错误 112" FILE_APP
     "\tVerTOL=7.0.7->7.0.7\ttolvar-window=closed\televated-copy=112"},
    {"ElevatedCopyClaimsSuccessWithoutWriting", Start::Window,
     [] { RefusedFolder([](const std::u16string&) { return 0u; }); }, 1603,
     "user=me\toutcome=failed\texit=1603\tstep=verify\terror=1603\terror-text=系统错误 1603" FILE_APP
     "\tVerTOL=7.0.7->7.0.7\ttolvar-window=closed\televated-copy=0"},
    // A data file whose DACL hides it from the user wants an elevated process too.
    {"FileHidesItsDaclFromTheUser",
     Start::Quiet,
     [] {
         Installation();
         fake::SetDacl(kData, u"deny-read-control");
         fake::AnswerPrompts(fake::Consent::Granted);
     },
     740,
     "user=me\toutcome=failed\texit=740\tstep=copy-attributes\terror=5\terror-text=系统错误 5" FILE_APP
     "\tVerTOL=7.0.7->7.0.7" CLOSED_NO_COPY},
    // A drive type that cannot be asked is a failure with its cause, not a "no".
    {"DriveTypeUnknown",
     Start::Quiet,
     [] {
         Installation();
         fake::RefuseNewFilesIn(u"C:\\App");
         fake::FailNext(FileOp::DriveType, kDeviceError);
     },
     kDeviceError,
     "user=me\toutcome=failed\texit=1117\tstep=find-data-file\terror=1117\terror-text=系统错误 1117" FILE_APP
     "\tVerTOL=7.0.7->7.0.7" CLOSED_NO_COPY},
    // Elevation would not help: the step's code.
    {"RefusedEvenElevated",
     Start::Quiet,
     [] {
         Installation();
         fake::SetElevated(true);
         fake::RefuseNewFilesIn(u"C:\\App", true);
     },
     5,
     "user=me\toutcome=failed\texit=5\tstep=create-temporary\terror=5\terror-text=系统错误 5" FILE_APP
     "\tVerTOL=7.0.7->7.0.7" CLOSED_NO_COPY},
    {"DiskFull", Start::Quiet, [] { Installation(), fake::FailNext(FileOp::Write, kDiskFull, 1, 100); }, 112,
     "user=me\toutcome=failed\texit=112\tstep=write\terror=112\terror-text=系统错误 112" FILE_APP
     "\tVerTOL=7.0.7->7.0.7" CLOSED_NO_COPY},
    {"BytesChangedAfterTheRename", Start::Quiet,
     [] { Installation(), fake::BeforeNext(FileOp::ReadBack, [] { fake::ChangeBytes(kData); }); }, 1603,
     "user=me\toutcome=failed\texit=1603\tstep=verify\terror=1603\terror-text=系统错误 1603" FILE_APP
     "\tVerTOL=7.0.7->7.0.7" CLOSED_NO_COPY},
    {"VersionNotRecorded", Start::Quiet, [] { Installation(), fake::FailNextSetValue(); }, 5,
     "user=me\toutcome=failed\texit=5\tstep=write-registry\terror=5\terror-text=系统错误 5" FILE_APP
     "\tVerTOL=7.0.7->7.0.7" CLOSED_NO_COPY},
    // A deployment tool's default account: no user's settings in its registry.
    {"RunAsLocalSystem", Start::Quiet, [] { fake::SetUser(u"SYSTEM", true), fake::CreateKey(kCurrentUser, kSubKey); },
     1642,
     "user=SYSTEM\toutcome=no-update-needed\texit=1642" NO_FAILURE "\tfile=-\tVerTOL=-->-" CLOSED_NO_COPY
     "\tnote=ran as LocalSystem, whose HKEY_CURRENT_USER holds no user's Tolvar settings: run it in the "
     "signed-in user's context"},
    // Control characters cannot break the line; characters beyond the BMP
    // are whole, half of one is U+FFFD.
    {"ValuesThatWouldBreakTheLine",
     Start::Window,
     [] {
         Installation();
         fake::PutString(kCurrentUser, kSubKey, "VerTOL", "7.0\t7\r\n\x7f");
         fake::SetUser(u"a\tb\r\n\U0001F600\xD800", false);
     },
     0,
     "user=a b  \U0001F600\uFFFD\toutcome=installed\texit=0" NO_FAILURE FILE_APP
     "\tVerTOL=7.0 7   ->" EXPECTED_DATA_VERSION CLOSED_NO_COPY},
};

#undef FILE_APP
#undef NO_FAILURE
#undef CLOSED_NO_COPY

class ReportTest : public FakePlatformTest, public ::testing::WithParamInterface<ReportCase> {
protected:
    void TearDown() override {
        app::LogRunsTo(nullptr);
        FakePlatformTest::TearDown();
    }
};

TEST_P(ReportTest, EndsWithOneExitCodeAndOneLine) {
    const ReportCase& c = GetParam();
    fake::AddFolder(u"C:\\Logs");
    c.arrange();
    if (c.start == Start::Quiet) {
        app::Switches switches;
        switches.quiet = true;
        switches.logFile = kLog;
        EXPECT_EQ(app::RunQuietly(switches), c.exitCode);
        EXPECT_TRUE(fake::Messages().empty()) << "a box in a quiet run";
        EXPECT_TRUE(fake::ElevationRequests().empty()) << "a prompt in a quiet run";
    } else {
        const std::u16string log = kLog;
        app::LogRunsTo(&log);
        app::UpdateRun();
        EXPECT_EQ(fake::Messages().size(), 1u);
    }
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "2026-01-02T03:04:05Z\tUpDate " EXPECTED_DATA_VERSION "\t" + std::string(c.line));
    EXPECT_EQ(matrix::LogField(lines[0], "exit"), std::to_string(c.exitCode));
}

INSTANTIATE_TEST_SUITE_P(Reports, ReportTest, ::testing::ValuesIn(kReportCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A command line the program does not know ends with ERROR_INVALID_PARAMETER
// before anything is read, written or logged; a log that cannot be written
// changes neither the outcome nor the code; runs append, one whole line each.
TEST_F(FakePlatformTest, QuietRunsAppendAndNeverDependOnTheirLog) {
    Installation();
    fake::AddFolder(u"C:\\Logs");
    app::Switches switches = app::ParseSwitches(u"UpDate.exe /quiet /log C:\\Logs\\update.log /s");
    EXPECT_EQ(app::RunQuietly(switches), platform::kErrorInvalidParameter);
    EXPECT_EQ(fake::FileBytes(kData), kOld);
    EXPECT_FALSE(fake::FileBytes(kLog));

    switches = app::ParseSwitches(u"UpDate.exe /quiet /log C:\\Missing\\update.log");
    EXPECT_EQ(app::RunQuietly(switches), 0u);
    EXPECT_EQ(fake::FileBytes(kData), matrix::Payload());

    switches = app::ParseSwitches(u"UpDate.exe /quiet /log C:\\Logs\\update.log");
    EXPECT_EQ(app::RunQuietly(switches), 0u);
    EXPECT_EQ(app::RunQuietly(switches), 0u);
    ASSERT_EQ(LogLines().size(), 2u);
    EXPECT_EQ(matrix::LogField(LogLines()[0], "outcome"), "already-updated");
}

// --- the deployment guide, which administrators read ---------------------------

std::string DeploymentGuide() {
    std::ifstream in(UPDATE_SOURCE_DIR "/docs/deployment.md", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Narrow(const char16_t* text) { return std::string(text, text + std::char_traits<char16_t>::length(text)); }

// The words between backquotes in `text`.
std::vector<std::string> Quoted(const std::string& text) {
    std::vector<std::string> words;
    for (std::size_t at = text.find('`'); at != std::string::npos; at = text.find('`', at)) {
        const std::size_t end = text.find('`', at + 1);
        if (end == std::string::npos) break;
        words.push_back(text.substr(at + 1, end - at - 1));
        at = end + 1;
    }
    return words;
}

// Its exit-code table (a row per rule: the log's outcome word, or "-" for
// none, and the code the cell begins with, or that it names) and its list of
// the log line's fields say what the program does.
TEST_F(FakePlatformTest, TheDeploymentGuideTellsTheExitCodesAndLogFieldsTheProgramUses) {
    const std::string guide = DeploymentGuide();
    const std::size_t table = guide.find("| `outcome=` |");
    ASSERT_NE(table, std::string::npos) << "no exit-code table in docs/deployment.md";
    std::multimap<std::string, std::string> rows;  // outcome word -> exit-code cell
    std::istringstream lines(guide.substr(table));
    std::string row;
    std::getline(lines, row), std::getline(lines, row);  // the header and its rule
    while (std::getline(lines, row) && row.rfind("| ", 0) == 0) {
        const std::vector<std::string> quoted = Quoted(row.substr(0, row.find(" | ")));
        const std::size_t code = row.find(" | ", row.find(" | ") + 3) + 3;  // the third cell
        rows.emplace(quoted.empty() ? "-" : quoted[0], row.substr(code, row.find(" | ", code) - code));
    }
    const auto startsWith = [](const std::string& cell, std::uint32_t code) {
        const std::string digits = std::to_string(code);
        return cell.rfind(digits, 0) == 0 && (cell.size() == digits.size() || !std::isdigit(cell[digits.size()]));
    };
    for (const app::OutcomeRow& outcome : app::kOutcomes) {
        const auto [first, last] = rows.equal_range(Narrow(outcome.logWord));
        if (outcome.outcome != app::UpdateOutcome::Failed) {
            ASSERT_EQ(std::distance(first, last), 1) << Narrow(outcome.logWord);
            EXPECT_TRUE(startsWith(first->second, outcome.exitCode)) << first->second;
            continue;
        }
        // A failure: 740 by its own rule, else the step's code or the row's.
        ASSERT_EQ(std::distance(first, last), 2);
        EXPECT_TRUE(startsWith(first->second, app::kExitElevationRequired)) << first->second;
        EXPECT_NE(std::next(first)->second.find(" " + std::to_string(outcome.exitCode) + " "), std::string::npos)
            << std::next(first)->second;
    }
    ASSERT_EQ(rows.count("-"), 1u);
    EXPECT_TRUE(startsWith(rows.find("-")->second, platform::kErrorInvalidParameter)) << rows.find("-")->second;
    EXPECT_EQ(rows.size(), std::size(app::kOutcomes) + 2) << "a row for a rule the program does not have";

    // The fields, as a LocalSystem run that failed writes them.
    const std::size_t from = guide.find("The log line has tab-separated");
    ASSERT_NE(from, std::string::npos);
    std::vector<std::string> documented, words;
    const std::string list = guide.substr(from, guide.find("\n\n", from) - from);
    for (const std::string& quoted : Quoted(list))
        if (quoted.find('=') != std::string::npos) documented.push_back(quoted.substr(0, quoted.find('=') + 1));
    const std::size_t outcomesAt = list.find("`outcome=` (");
    ASSERT_NE(outcomesAt, std::string::npos);
    words = Quoted(list.substr(outcomesAt + 12, list.find(')', outcomesAt) - outcomesAt - 12));
    fake::SetUser(u"SYSTEM", true);
    app::UpdateReport report;
    report.failure = platform::Error(platform::Step::Rename, 32);
    const std::vector<char> bytes = app::Utf8(app::RunLogLine(report, u"7.0.7"));
    const std::string line(bytes.begin(), bytes.end());
    std::vector<std::string> written;
    for (std::size_t at = line.find('\t'); at != std::string::npos; at = line.find('\t', at + 1)) {
        const std::size_t equals = line.find('=', at);
        if (equals != std::string::npos && equals < line.find_first_of("\t\r", at + 1))
            written.push_back(line.substr(at + 1, equals - at));
    }
    EXPECT_EQ(documented, written);
    std::vector<std::string> outcomes;
    for (const app::OutcomeRow& outcome : app::kOutcomes) outcomes.push_back(Narrow(outcome.logWord));
    EXPECT_EQ(std::set<std::string>(words.begin(), words.end()), std::set<std::string>(outcomes.begin(), outcomes.end()));
}


// Where a quiet run's line goes, by who runs it and how the log is named: a
// privileged run turns on redirection trust, writes only where no link led
// (a share's folder is the server's to resolve, a relative name is refused),
// and ends with the same code whether its log was written or not.
struct LogPathCase {
    const char* name;
    bool elevated, localSystem;
    const char16_t* logFile;
    std::function<void()> arrange;
    const char16_t* lineIn;    // where the line must be; nullptr: nowhere
    std::uint32_t refusal;     // AppendRunLog's code when it writes nowhere
    bool tokenUnknown = false;  // every question about the token fails
};

const char16_t kShareLog[] = u"\\\\srv\\logs\\pcs\\pc1.log";
const char16_t kSystemLog[] = u"C:\\Windows\\System32\\update.log";
void LogsLinkToSystem() { fake::AddFolder(u"C:\\Windows\\System32"), fake::AddLink(u"C:\\Logs", u"C:\\Windows\\System32"); }

const LogPathCase kLogPathCases[] = {
    {"UserFollowsALink", false, false, kLog, LogsLinkToSystem, kSystemLog, 0},
    {"ElevatedRefusesALink", true, false, kLog, LogsLinkToSystem, nullptr, platform::kErrorReparsePointEncountered},
    {"LocalSystemRefusesALink", false, true, kLog, LogsLinkToSystem, nullptr, platform::kErrorReparsePointEncountered},
    {"ElevatedPlainFolder", true, false, kLog, [] { fake::AddFolder(u"C:\\Logs"); }, kLog, 0},
    {"ElevatedOnDriveA", true, false, u"A:\\Logs\\update.log", [] { fake::AddFolder(u"A:\\Logs"); }, u"A:\\Logs\\update.log", 0},
    {"ElevatedOnDriveAInLowerCase", true, false, u"a:\\Logs\\update.log", [] { fake::AddFolder(u"A:\\Logs"); },
     u"A:\\Logs\\update.log", 0},
    {"ElevatedOnAShare", true, false, kShareLog, [] { fake::AddFolder(u"\\\\srv\\logs\\pcs"); }, kShareLog, 0},
    // A share whose folder the client was led back to a local one from.
    {"ElevatedShareLeadingToALocalFolder", true, false, kShareLog,
     [] {
         fake::AddFolder(u"\\\\srv\\logs"), fake::AddFolder(u"C:\\Windows\\System32");
         fake::AddLink(u"\\\\srv\\logs\\pcs", u"C:\\Windows\\System32");
     },
     nullptr,
     platform::kErrorReparsePointEncountered},
    {"ElevatedRelativeName", true, false, u"update.log", [] { fake::SetCurrentFolder(u"C:\\Logs"), fake::AddFolder(u"C:\\Logs"); },
     nullptr, platform::kErrorInvalidName},
    {"ElevatedDevicePath", true, false, u"\\\\.\\C:\\Logs\\update.log", [] { fake::AddFolder(u"C:\\Logs"); }, nullptr,
     platform::kErrorInvalidName},
    {"UserRelativeName", false, false, u"update.log", [] { fake::SetCurrentFolder(u"C:\\Logs"), fake::AddFolder(u"C:\\Logs"); },
     kLog, 0},
    // A second name of a file elsewhere: appending would write into that file.
    {"ElevatedHardLinkedLog", true, false, kLog,
     [] { fake::AddFolder(u"C:\\Logs"), fake::PutFile(kSystemLog, {}), fake::AddHardLink(kLog, kSystemLog); }, nullptr,
     platform::kErrorTooManyLinks},
    // Not knowing who runs it is not "a user": such a run trusts no link.
    {"UnknownTokenRefusesALink", false, false, kLog, LogsLinkToSystem, nullptr, platform::kErrorReparsePointEncountered, true},
};

class LogPathTest : public FakePlatformTest, public ::testing::WithParamInterface<LogPathCase> {};

TEST_P(LogPathTest, PrivilegedRunsWriteOnlyWhereNoLinkLed) {
    const LogPathCase& c = GetParam();
    Installation();
    fake::SetElevated(c.elevated);
    if (c.localSystem) fake::SetUser(u"SYSTEM", true);
    c.arrange();
    if (c.tokenUnknown) fake::FailElevationQuery(kDeviceError);
    app::GuardPrivilegedRun();
    EXPECT_EQ(fake::RedirectionTrustEnforced(), c.elevated || c.localSystem || c.tokenUnknown);
    if (c.tokenUnknown) fake::FailElevationQuery(kDeviceError);
    app::Switches switches;
    switches.quiet = true;
    switches.logFile = c.logFile;

    EXPECT_EQ(app::RunQuietly(switches), 0u);

    EXPECT_EQ(fake::FileBytes(kData), matrix::Payload());
    const auto lines = [](const char16_t* path) {
        const std::optional<fake::Bytes> bytes = fake::FileBytes(path);
        return bytes ? matrix::WholeLines(std::string(bytes->begin(), bytes->end())).size() : 0u;
    };
    if (c.lineIn) {
        EXPECT_EQ(lines(c.lineIn), 1u);
    } else {
        EXPECT_EQ(lines(kLog) + lines(kShareLog) + lines(u"C:\\Windows\\System32\\pc1.log"), 0u) << "a line where a link led";
    }
    if (!c.lineIn || std::u16string(c.lineIn) != kSystemLog) {
        EXPECT_EQ(lines(kSystemLog), 0u);
    }
    // The run does not stop for its log, but the refusal keeps its cause.
    if (c.tokenUnknown) fake::FailElevationQuery(kDeviceError);
    const platform::Status again = app::AppendRunLog(c.logFile, app::UpdateReport{});
    EXPECT_EQ(again.ok() ? 0u : again.error().code(), c.refusal);
}

INSTANTIATE_TEST_SUITE_P(Logs, LogPathTest, ::testing::ValuesIn(kLogPathCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The log's UTF-8 at each length's edges: names in a log line come from the
// registry and the file system, any character a user may type.
TEST(LogTextTest, IsUtf8AtEveryLength) {
    const struct {
        std::u16string text;
        std::string bytes;
    } kCases[] = {
        {u"\u007F\u0080", "\x7F\xC2\x80"},
        {u"\u07FF\u0800", "\xDF\xBF\xE0\xA0\x80"},
        {u"\uD7FF\uE000", "\xED\x9F\xBF\xEE\x80\x80"},  // either side of the surrogates
        {u"\uFFFF", "\xEF\xBF\xBF"},
        {u"a\U0001D11E", "a\xF0\x9D\x84\x9E"},   // a surrogate pair: one character
        {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
    };
    for (const auto& c : kCases) {
        const std::vector<char> bytes = app::Utf8(c.text);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.bytes) << c.bytes.size();
    }
}

// The time stamp a log line starts with, from the clock's fields: each at its
// full width, so that a one-digit month, day, hour, minute or second keeps
// its zero whatever the time of the run.
TEST(LogTextTest, TimeStampKeepsEveryFieldsWidth) {
    const struct {
        platform::CalendarTime time;
        std::u16string text;
    } kCases[] = {
        {{2026, 1, 2, 3, 4, 5}, u"2026-01-02T03:04:05Z"},
        {{2027, 12, 31, 23, 59, 59}, u"2027-12-31T23:59:59Z"},
        {{2030, 10, 10, 10, 10, 10}, u"2030-10-10T10:10:10Z"},
        {{2031, 9, 9, 0, 0, 0}, u"2031-09-09T00:00:00Z"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(platform::FormatUtcTimestamp(c.time), c.text) << ::testing::PrintToString(c.text);
}

}  // namespace
