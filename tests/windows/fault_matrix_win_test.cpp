// The fault and bad-input matrix against Wine's real registry and files:
// whole update runs over installations that are damaged, locked, odd or
// hostile, each judged by the rules in tests/matrix. Message boxes are
// recorded, not shown.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "app/update_run.h"
#include "tests/matrix/fault_matrix.h"
#include "win_test_support.h"
#include "tests/matrix/expected.h"

namespace {

using namespace wintest;
using matrix::Outcome;

const std::string kCarried = EXPECTED_DATA_VERSION;
const Bytes kOld = BytesOf("<?xml version=\"1.0\" encoding=\"gb2312\"?><aboutunits version=\"7.0.7\"/>");

// A registry value as stored: its type and its bytes, where "%F" stands for
// the installation folder (in the ANSI code page).
struct Stored {
    DWORD type;
    std::string bytes;
};
Stored Sz(const std::string& text) { return {REG_SZ, text + '\0'}; }

enum class DataFile { Plain, Absent, ReadOnly, Folder };
enum class Holder { None, NoSharing, ReadSharing };

struct WineCase {
    std::string name;
    std::optional<Stored> pathTol = Sz("%F");
    std::optional<Stored> verTol = Sz("7.0.7");
    bool key = true;
    DataFile data = DataFile::Plain;
    Holder holder = Holder::None;
    std::wstring below;               // the installation's folder below the case's scratch folder
    bool inCurrentDirectory = false;  // the run's current directory is the installation folder
    std::optional<Outcome> expected;
    std::optional<Outcome> alsoExpected;  // for the few texts Windows and Wine take apart: the row says why
};

WineCase Named(std::string name, std::function<void(WineCase&)> shape) {
    WineCase c;
    c.name = std::move(name);
    shape(c);
    return c;
}

// A relative folder text of exactly `length` characters naming the current
// directory: ".", ".\", ".\.", ...
std::string CurrentDirectoryText(std::size_t length) {
    std::string text;
    while (text.size() < length) text += text.size() % 2 == 0 ? '.' : '\\';
    return text;
}

// "7.0.7" stretched or cut to `length` characters; always older than 7.0.8.
std::string OlderVersionText(std::size_t length) {
    std::string text = std::string("7.0.7").substr(0, length);
    while (text.size() < length) text += '1';
    return text;
}

// Values of every length from 0 to 300 bytes, terminator included. Up to
// 255 bytes fit the read buffer; longer ones read as "Error.". A value of no
// bytes at all is empty after trimming and fails the run.
void AddLengths(std::vector<WineCase>& cases) {
    for (std::size_t length = 0; length <= 300; ++length) {
        const bool fits = length <= 255;
        const std::string text = length == 0 ? "" : CurrentDirectoryText(length - 1);
        cases.push_back(Named("PathTolOf" + std::to_string(length) + "Bytes", [&](WineCase& c) {
            c.pathTol = Stored{REG_SZ, length == 0 ? std::string() : text + '\0'};
            c.inCurrentDirectory = true;
            c.expected = length == 0            ? Outcome::Failed
                         : length == 1 || !fits ? Outcome::NoUpdateNeeded  // "" or "Error."
                                                : Outcome::Installed;
        }));
        const std::string version = length == 0 ? "" : OlderVersionText(length - 1);
        cases.push_back(Named("VerTolOf" + std::to_string(length) + "Bytes", [&](WineCase& c) {
            c.verTol = Stored{REG_SZ, length == 0 ? std::string() : version + '\0'};
            c.expected = length == 0 ? Outcome::Failed : fits ? Outcome::Installed : Outcome::AlreadyUpdated;
        }));
    }
}

std::vector<WineCase> AllCases() {
    std::vector<WineCase> cases = {
        // The data file.
        Named("ReadOnlyDataFile", [](WineCase& c) { c.data = DataFile::ReadOnly, c.expected = Outcome::Failed; }),
        Named("HeldOpenWithoutSharing",
              [](WineCase& c) { c.holder = Holder::NoSharing, c.expected = Outcome::Failed; }),
        Named("HeldOpenSharingReadOnly",
              [](WineCase& c) { c.holder = Holder::ReadSharing, c.expected = Outcome::Failed; }),
        Named("DataFileIsAFolder",
              [](WineCase& c) { c.data = DataFile::Folder, c.expected = Outcome::NoUpdateNeeded; }),
        Named("NoDataFile", [](WineCase& c) { c.data = DataFile::Absent, c.expected = Outcome::NoUpdateNeeded; }),
        // The key and its values.
        Named("KeyMissing", [](WineCase& c) { c.key = false, c.expected = Outcome::NoUpdateNeeded; }),
        Named("PathTolMissing", [](WineCase& c) { c.pathTol.reset(), c.expected = Outcome::NoUpdateNeeded; }),
        Named("VerTolMissing", [](WineCase& c) { c.verTol.reset(), c.expected = Outcome::AlreadyUpdated; }),
        Named("PathTolExpandSz",
              [](WineCase& c) {
                  c.pathTol = Stored{REG_EXPAND_SZ, "%F\0"}, c.expected = Outcome::Installed;
              }),
        Named("PathTolMultiSz",
              [](WineCase& c) {
                  c.pathTol = Stored{REG_MULTI_SZ, std::string("%F\0\0", 4)}, c.expected = Outcome::Installed;
              }),
        // The last byte is taken for the terminator: here it is the separator.
        Named("PathTolBinaryUnterminated",
              [](WineCase& c) {
                  c.pathTol = Stored{REG_BINARY, "%F\\"}, c.expected = Outcome::Installed;
              }),
        // Read as the text "\x07": a control character, a name the system rejects.
        Named("PathTolDword",
              [&](WineCase& c) {
                  c.pathTol = Stored{REG_DWORD, std::string("\x07\0\0\0", 4)}, c.expected = Outcome::Failed;
              }),
        Named("VerTolExpandSz",
              [](WineCase& c) {
                  c.verTol = Stored{REG_EXPAND_SZ, std::string(EXPECTED_DATA_VERSION, sizeof EXPECTED_DATA_VERSION)},
                  c.expected = Outcome::AlreadyUpdated;
              }),
        Named("VerTolMultiSz",
              [](WineCase& c) {
                  c.verTol = Stored{REG_MULTI_SZ, std::string("7.0.9\0\0", 7)}, c.expected = Outcome::AlreadyUpdated;
              }),
        Named("VerTolBinaryUnterminated",
              [](WineCase& c) {
                  c.verTol = Stored{REG_BINARY, EXPECTED_DATA_VERSION}, c.expected = Outcome::Installed;
              }),
        Named("VerTolDword",
              [](WineCase& c) {
                  c.verTol = Stored{REG_DWORD, std::string("\x08\0\0\0", 4)}, c.expected = Outcome::Installed;
              }),
        Named("PathTolEmbeddedNul",
              [](WineCase& c) {
                  c.pathTol = Stored{REG_SZ, std::string("%F\0C:\\elsewhere\0", 16)}, c.expected = Outcome::Installed;
              }),
        Named("VerTolEmbeddedNul",
              [](WineCase& c) {
                  c.verTol = Stored{REG_SZ, std::string("7.0.7\0"
                                                        "9.9\0",
                                                        10)},
                  c.expected = Outcome::Installed;
              }),
        // Bytes GBK does not define become "?" under Wine, a name the system
        // rejects, and on Windows the code page's default character or a
        // private-use one, a folder that is not there.
        Named("PathTolNotGbk",
              [&](WineCase& c) {
                  c.pathTol = Sz("%F\\\x81\x7F\xFF"), c.expected = Outcome::Failed,
                  c.alsoExpected = Outcome::NoUpdateNeeded;
              }),
        // Whatever each system makes of them, the first character sorts after "7".
        Named("VerTolNotGbk",
              [&](WineCase& c) { c.verTol = Sz("\x80\xFF\x81"), c.expected = Outcome::AlreadyUpdated; }),
        // Folder texts no installation has.
        Named("PathTolWithAsterisk", [](WineCase& c) { c.pathTol = Sz("%F\\a*b"), c.expected = Outcome::Failed; }),
        Named("PathTolWithQuestionMark",
              [](WineCase& c) { c.pathTol = Sz("%F\\what?"), c.expected = Outcome::Failed; }),
        // The console device refuses to be opened as a folder (Wine, and
        // Windows for the access a folder is opened with), or opens and is
        // no folder: a failure, or no data file.
        Named("PathTolDeviceCon",
              [&](WineCase& c) {
                  c.pathTol = Sz("CON"), c.expected = Outcome::Failed, c.alsoExpected = Outcome::NoUpdateNeeded;
              }),
        // The folder "X\NUL" is the NUL device, or (Windows 11) a folder that
        // is not there: no data file either way.
        Named("PathTolDeviceInFolder",
              [&](WineCase& c) { c.pathTol = Sz("%F\\NUL"), c.expected = Outcome::NoUpdateNeeded; }),
        // The root of the device namespace is no folder; the system rejects
        // it as a name (Wine) or finds nothing there.
        Named("PathTolDeviceNamespace",
              [&](WineCase& c) {
                  c.pathTol = Sz("\\\\.\\"), c.expected = Outcome::Failed, c.alsoExpected = Outcome::NoUpdateNeeded;
              }),
        Named("PathTolUncToNowhere",
              [&](WineCase& c) {
                  c.pathTol = Sz("\\\\nohost.invalid\\share\\Tolvar"), c.expected = Outcome::NoUpdateNeeded;
              }),
        // A folder text of 252 characters: the data file's path is 261 long,
        // but the file is opened relative to its folder, which is shorter.
        Named("PathLongerThanMaxPath", [&](WineCase& c) { c.below = L"\\long", c.expected = Outcome::Installed; }),
    };
    AddLengths(cases);
    return cases;
}

std::string Ansi(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return out;
}

std::string Expand(std::string bytes, const std::string& folder) {
    for (std::size_t at = bytes.find("%F"); at != std::string::npos; at = bytes.find("%F", at + folder.size()))
        bytes.replace(at, 2, folder);
    return bytes;
}

void Store(const char* name, const Stored& value, const std::string& folder) {
    const std::string bytes = Expand(value.bytes, folder);
    SetValueA(name, value.type, Bytes(bytes.begin(), bytes.end()));
}

std::optional<std::string> Version() {
    Bytes bytes;
    if (!ReadValueA("VerTOL", bytes)) return std::nullopt;
    std::string text(bytes.begin(), bytes.end());
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

std::optional<Bytes> Data(const std::wstring& path) {
    Bytes bytes;
    if (!ReadFileBytes(path, bytes)) return std::nullopt;
    return bytes;
}

std::vector<std::string> Names(const std::wstring& folder) {
    std::vector<std::string> names;
    for (const std::wstring& name : NamesIn(folder)) names.push_back(Ansi(name));
    return names;
}

// A second program holding the data file open, as a running Tolvar would.
class HeldOpen {
public:
    HeldOpen(const std::wstring& path, DWORD share)
        : name_(NewName()),
          opened_(CreateEventW(nullptr, TRUE, FALSE, name_.c_str())),
          holder_(L"file_holder.exe", L"\"" + path + L"\" " + std::to_wstring(share) + L" " + name_, opened_) {}
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;
    ~HeldOpen() { CloseHandle(opened_); }
    bool holding() const { return holder_.ready(); }

private:
    static std::wstring NewName() {
        static int counter = 0;
        return L"Local\\UpDate.fault.held." + std::to_wstring(GetCurrentProcessId()) + L"." +
               std::to_wstring(++counter);
    }
    std::wstring name_;
    HANDLE opened_;
    ChildProcess holder_;  // ended before the event is closed
};

DWORD Sharing(Holder holder) { return holder == Holder::ReadSharing ? FILE_SHARE_READ : 0; }

// Creates `path` and the folders above it below `root`; \\?\ lets them pass MAX_PATH.
void MakeFolders(const std::wstring& root, const std::wstring& below) {
    std::wstring path = root;
    for (std::size_t start = 1; start <= below.size();) {
        const std::size_t end = std::min(below.find(L'\\', start), below.size());
        path = root + below.substr(0, end);
        CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr);
        start = end + 1;
    }
}

// The last whole line of a run log.
std::optional<std::string> LastLine(const std::wstring& log) {
    Bytes bytes;
    if (!ReadFileBytes(log, bytes)) return std::nullopt;
    return matrix::LastWholeLine(std::string(bytes.begin(), bytes.end()));
}

// One case, from an empty key and folder to its row in the log. The run
// keeps a log of its own, as an administrator's /log would.
void RunCase(const WineCase& c, const std::wstring& parent = std::wstring()) {
    ScratchFolder logs;
    const std::u16string log = U16(logs / L"update.log");
    struct Logging {
        explicit Logging(const std::u16string* file) { app::LogRunsTo(file); }
        ~Logging() { app::LogRunsTo(nullptr); }
    } logging(&log);
    ScratchFolder scratch(parent);
    std::wstring below = c.below;
    if (below == L"\\long") below = L"\\" + std::wstring(252 - scratch.path().size() - 1, L'x');
    MakeFolders(scratch.path(), below);
    const std::wstring folder = scratch.path() + below;
    const std::wstring data = folder + L"\\unit.xml";
    const std::wstring longData = L"\\\\?\\" + data;

    switch (c.data) {
        case DataFile::Plain: WriteFileBytes(longData, kOld); break;
        case DataFile::ReadOnly: WriteFileBytes(longData, kOld, FILE_ATTRIBUTE_READONLY); break;
        case DataFile::Folder: CreateDirectoryW(longData.c_str(), nullptr); break;
        case DataFile::Absent: break;
    }
    DeleteQdKey();
    if (c.key) {
        CreateQdKey();
        if (c.pathTol) Store("PathTOL", *c.pathTol, Ansi(folder));
        if (c.verTol) Store("VerTOL", *c.verTol, Ansi(folder));
    }
    matrix::Observation seen;
    seen.suite = "wine";
    seen.name = c.name;
    seen.expected = c.expected;
    seen.alsoExpected = c.alsoExpected;
    seen.dataBefore = Data(longData);
    seen.versionBefore = Version();
    const std::vector<std::string> before = Names(L"\\\\?\\" + folder);

    std::optional<HeldOpen> held;
    if (c.holder != Holder::None) {
        held.emplace(data, Sharing(c.holder));
        ASSERT_TRUE(held->holding()) << "the holder could not open the data file";
    }

    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    if (c.inCurrentDirectory) SetCurrentDirectoryW(folder.c_str());
    Boxes().clear();
    app::UpdateRun();
    SetCurrentDirectoryW(previous);
    held.reset();

    for (const Box& box : Boxes()) seen.messages.push_back(box.text);
    seen.logLine = LastLine(logs / L"update.log");
    EXPECT_TRUE(seen.logLine) << c.name << ": the run logged nothing";
    seen.dataAfter = Data(longData);
    seen.versionAfter = Version();
    const std::vector<std::string> after = Names(L"\\\\?\\" + folder);
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(seen.newFiles));
    const matrix::Verdict verdict = matrix::Record(seen, Payload(), kCarried);
    EXPECT_TRUE(verdict.passed) << c.name << ": " << verdict.why;
}

class WineFaultMatrixTest : public QdKeyTest, public ::testing::WithParamInterface<WineCase> {};

TEST_P(WineFaultMatrixTest, TellsTheTruthAndKeepsTheDataWhole) { RunCase(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Cases, WineFaultMatrixTest, ::testing::ValuesIn(AllCases()),
                         [](const auto& info) { return info.param.name; });

// The disk fills during the write: the installation lies on a small
// filesystem that run-fault-matrix mounts as drive S: where the machine
// lets it (UPDATE_SMALL_DISK), or says why it could not.
TEST_F(QdKeyTest, DiskFillsDuringTheWrite) {
    const char* disk = std::getenv("UPDATE_SMALL_DISK");
    if (!disk || !*disk) {
        const char* why = std::getenv("UPDATE_SMALL_DISK_UNAVAILABLE");
        ASSERT_TRUE(why && *why) << "run this program through run-fault-matrix, which provides the small disk";
        matrix::RecordSkipped("wine", "DiskFillsDuringTheWrite", why);
        GTEST_SKIP() << "no small filesystem: " << why;
    }
    ULARGE_INTEGER free{};
    const std::wstring root(disk, disk + std::strlen(disk));
    ASSERT_TRUE(GetDiskFreeSpaceExW(root.c_str(), &free, nullptr, nullptr));
    ASSERT_LT(free.QuadPart, Payload().size()) << "the small disk has room for the payload";
    WineCase c;
    c.name = "DiskFillsDuringTheWrite";
    c.expected = Outcome::Failed;
    RunCase(c, root);
}

}  // namespace
