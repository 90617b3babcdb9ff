// Updating many PCs: the switches, the exit code of each kind of run, and
// the line each run leaves in the log.
#include "app/command_line.h"
#include "app/run_log.h"
#include "app/unattended.h"
#include "test_support.h"
#include "tests/matrix/expected.h"
#include "tests/matrix/fault_matrix.h"
#include "tests/matrix/payload.h"

#include <functional>

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
    {"LogWithoutAFile", u"UpDate.exe /quiet /log", true, u"", true},
    {"LogFollowedByASwitch", u"UpDate.exe /log /quiet", true, u"", true},
    {"UnknownSwitch", u"UpDate.exe /quiet /s", true, u"", true},
    {"PartOfASwitch", u"UpDate.exe /quietly", false, u"", true},
    {"FirstLetterWrong", u"UpDate.exe /xuiet", false, u"", true},
    {"StrayArgument", u"UpDate.exe /quiet now", true, u"", true},
    {"EmptyProgramName", u" /quiet", true, u"", false},  // the name ends at the first blank, even the first character
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

// --- quiet runs ------------------------------------------------------------------

// The fields of a log line, by name; the first two (time and program) by index.
std::map<std::string, std::string> Fields(const std::string& line) {
    std::map<std::string, std::string> fields;
    std::size_t at = 0, index = 0;
    while (at < line.size()) {
        std::size_t end = line.find_first_of("\t\r\n", at);
        if (end == std::string::npos) end = line.size();
        const std::string field = line.substr(at, end - at);
        const std::size_t equals = field.find('=');
        if (index < 2 || equals == std::string::npos) fields[std::to_string(index)] = field;
        else fields[field.substr(0, equals)] = field.substr(equals + 1);
        ++index;
        at = end + 1;
        while (at < line.size() && (line[at] == '\r' || line[at] == '\n')) ++at;
    }
    return fields;
}

std::vector<std::string> LogLines() {
    const std::optional<fake::Bytes> bytes = fake::FileBytes(kLog);
    return matrix::WholeLines(bytes ? std::string(bytes->begin(), bytes->end()) : std::string());
}

struct QuietCase {
    const char* name;
    std::function<void()> arrange;
    std::uint32_t exitCode;
    const char* outcome;  // as the log names it
    const char* step;     // "-" when the run did not fail
    const char* verTolAfter;
    const char* file = nullptr;  // the data file the log names, where the row checks it
    bool note = false;           // the line carries a note for the administrator
    const char* line = nullptr;  // the whole line, where the row checks it
};

void Installation() {
    fake::PutString(kCurrentUser, kSubKey, "PathTOL", "C:\\App");
    fake::PutString(kCurrentUser, kSubKey, "VerTOL", "7.0.7");
    fake::PutFile(kData, kOld);
}

const QuietCase kQuietCases[] = {
    {"Installed", Installation, 0, "installed", "-", EXPECTED_DATA_VERSION},
    {"AlreadyUpdated",
     [] {
         Installation();
         fake::PutString(kCurrentUser, kSubKey, "VerTOL", EXPECTED_DATA_VERSION);
     },
     0, "already-updated", "-", EXPECTED_DATA_VERSION},
    {"NoInstallation", [] { fake::CreateKey(kCurrentUser, kSubKey); }, 1642, "no-update-needed", "-", "Error."},
    // The folder text ends in a separator: no second one before the name.
    {"FolderNotThereNamedWithASeparator",
     [] {
         Installation();
         fake::PutString(kCurrentUser, kSubKey, "PathTOL", "C:\\Gone\\");
     },
     1642, "no-update-needed", "-", "7.0.7", "C:\\Gone\\unit.xml"},
    {"EmptyFolderValue",
     [] {
         Installation();
         fake::PutString(kCurrentUser, kSubKey, "PathTOL", "");
     },
     1642, "no-update-needed", "-", "7.0.7"},
    {"NoOrdinaryDataFile", [] { Installation(), fake::PutFile(kData, kOld, platform::kAttributeHidden); }, 1642,
     "no-update-needed", "-", "7.0.7"},
    // The whole line, as the README shows it to administrators.
    {"HeldByTolvar", [] { Installation(), fake::SetLocked(kData, true), fake::SetWindowExists(true); }, 32, "failed",
     "rename", "7.0.7", nullptr, false,
     "2026-01-02T03:04:05Z\tUpDate " EXPECTED_DATA_VERSION
     "\tuser=me\toutcome=failed\texit=32\tstep=rename\terror=32\terror-text=系统错误 32"
     "\tfile=C:\\App\\unit.xml\tVerTOL=7.0.7->7.0.7\ttolvar-window=open\televated-copy=-"},
    {"ReadOnly", [] { Installation(), fake::PutFile(kData, kOld, platform::kAttributeReadOnly); }, 5, "failed",
     "find-data-file", "7.0.7"},
    // Quiet mode never prompts: a folder that wants an elevated process says so.
    {"FolderRefusesTheUser",
     [] {
         Installation();
         fake::RefuseNewFilesIn(u"C:\\App");
         fake::AnswerPrompts(fake::Consent::Granted);
     },
     740, "failed", "create-temporary", "7.0.7"},
    {"FolderRefusesEvenAnElevatedProcess",
     [] {
         Installation();
         fake::SetElevated(true);
         fake::RefuseNewFilesIn(u"C:\\App", true);
     },
     5, "failed", "create-temporary", "7.0.7"},
    {"DiskFull", [] { Installation(), fake::FailNext(FileOp::Write, kDiskFull, 1, 100); }, kDiskFull, "failed", "write", "7.0.7"},
    {"BytesChangedAfterTheRename",
     [] { Installation(), fake::BeforeNext(FileOp::ReadBack, [] { fake::ChangeBytes(kData); }); }, 1603, "failed",
     "verify", "7.0.7"},
    {"VersionNotRecorded", [] { Installation(), fake::FailNextSetValue(); }, 5, "failed", "write-registry", "7.0.7"},
    // A deployment tool's default account: no user's settings in its registry.
    {"RunAsLocalSystem", [] { fake::SetUser(u"SYSTEM", true), fake::CreateKey(kCurrentUser, kSubKey); }, 1642,
     "no-update-needed", "-", "Error.", nullptr, true},
};

class QuietRunTest : public FakePlatformTest, public ::testing::WithParamInterface<QuietCase> {};

TEST_P(QuietRunTest, EndsWithTheCodeThatSaysWhatHappenedAndLogsWhy) {
    const QuietCase& c = GetParam();
    fake::AddFolder(u"C:\\Logs");
    c.arrange();
    app::Switches switches;
    switches.quiet = true;
    switches.logFile = kLog;

    EXPECT_EQ(app::RunQuietly(switches), c.exitCode);

    EXPECT_TRUE(fake::Messages().empty()) << "a box in a quiet run";
    EXPECT_TRUE(fake::ElevationRequests().empty()) << "a prompt in a quiet run";
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 1u);
    std::map<std::string, std::string> fields = Fields(lines[0]);
    EXPECT_EQ(fields["0"], "2026-01-02T03:04:05Z");
    EXPECT_EQ(fields["1"], "UpDate " EXPECTED_DATA_VERSION);
    EXPECT_EQ(fields["outcome"], c.outcome);
    EXPECT_EQ(fields["exit"], std::to_string(c.exitCode));
    EXPECT_EQ(fields["step"], c.step);
    EXPECT_EQ(fields["error"] == "0", std::string(c.step) == "-") << fields["error"];
    EXPECT_EQ(fields["VerTOL"].substr(fields["VerTOL"].find("->") + 2), c.verTolAfter);
    EXPECT_EQ(fields.count("note") == 1, c.note) << fields["note"];
    if (c.file) {
        EXPECT_EQ(fields["file"], c.file);
    }
    if (c.line) {
        EXPECT_EQ(lines[0], c.line);
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, QuietRunTest, ::testing::ValuesIn(kQuietCases),
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
    EXPECT_EQ(Fields(LogLines()[0])["outcome"], "already-updated");
}

// The log's UTF-8 at each length's edges: names in a log line come from the
// registry and the file system, any character a user may type.
TEST(LogTextTest, IsUtf8AtEveryLength) {
    const struct {
        std::u16string text;
        std::string bytes;
    } kCases[] = {
        {u"\u007F\u0080", "\x7F\xC2\x80"},
        {u"\u07FF\u0800", "\xDF\xBF\xE0\xA0\x80"},
        {u"\uFFFF", "\xEF\xBF\xBF"},
        {u"a\U0001D11E", "a\xF0\x9D\x84\x9E"},   // a surrogate pair: one character
        {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
    };
    for (const auto& c : kCases) {
        const std::vector<char> bytes = app::Utf8(c.text);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.bytes) << c.bytes.size();
    }
}

}  // namespace
