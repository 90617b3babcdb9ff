// The faults Wine cannot make on demand, injected through the portable
// platform layer: a disk that fills, a folder deleted under the run, calls
// the system refuses, a version the registry will not take, and the process
// killed at each step of the install. Judged by the same rules as the Wine
// cases (tests/matrix).
#include <algorithm>
#include <functional>

#include "app/elevated_replace.h"
#include "app/update_run.h"
#include "resources/resource_access.h"
#include "test_support.h"
#include "tests/matrix/fault_matrix.h"
#include "tests/matrix/expected.h"
#include "tests/matrix/payload.h"

namespace {

using fake::FileOp;
using matrix::Outcome;

const char kSubKey[] = "Software\\Qd";
const char16_t kFolder[] = u"C:\\App";
const char16_t kData[] = u"C:\\App\\unit.xml";
const std::string kCarried = EXPECTED_DATA_VERSION;
const fake::Bytes kOld = BytesOf("<?xml version=\"1.0\"?><aboutunits version=\"7.0.7\"/>");

std::optional<std::string> Version() {
    const auto stored = fake::GetValue(kCurrentUser, kSubKey, "VerTOL");
    if (!stored) return std::nullopt;
    std::string text(stored->bytes.begin(), stored->bytes.end());
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

std::vector<std::string> Files(const std::u16string& folder = kFolder) {
    std::vector<std::string> names;
    for (const std::u16string& name : fake::FilesIn(folder)) names.emplace_back(name.begin(), name.end());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Added(const std::vector<std::string>& before, const std::vector<std::string>& after) {
    std::vector<std::string> added;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
    return added;
}

// What the disk and the registry hold now, before a run.
struct Snapshot {
    explicit Snapshot(const std::u16string& folder = kFolder)
        : data(fake::FileBytes(folder + u"\\unit.xml")), files(Files(folder)) {}
    std::optional<fake::Bytes> data;
    std::optional<std::string> version = Version();
    std::vector<std::string> files;
};

// Every matrix case keeps a log, as an administrator's /log would.
const std::u16string kRunLog = u"C:\\Logs\\update.log";
void KeepRunLog() {
    fake::AddFolder(u"C:\\Logs");
    app::LogRunsTo(&kRunLog);
}

// The last whole line of the log: the line of the run that ended last.
std::optional<std::string> LastLogLine() {
    const std::optional<fake::Bytes> bytes = fake::FileBytes(kRunLog);
    return matrix::LastWholeLine(bytes ? std::string(bytes->begin(), bytes->end()) : std::string());
}

std::vector<std::u16string> Told() {
    std::vector<std::u16string> texts;
    for (const fake::Message& message : fake::Messages()) texts.push_back(message.text);
    return texts;
}

matrix::Observation Observe(const std::string& name, const Snapshot& before, std::vector<std::u16string> told,
                            std::size_t programs, std::optional<Outcome> expected,
                            const std::u16string& folder = kFolder) {
    matrix::Observation seen;
    seen.suite = "native";
    seen.name = name;
    seen.dataBefore = before.data;
    seen.dataAfter = fake::FileBytes(folder + u"\\unit.xml");
    seen.versionBefore = before.version;
    seen.versionAfter = Version();
    seen.messages = std::move(told);
    seen.programs = programs;
    seen.expected = expected;
    seen.logLine = LastLogLine();
    if (programs > 0) seen.newFiles = Added(before.files, Files(folder));  // a killed run's leftovers are expected
    return seen;
}

void ExpectPasses(const matrix::Observation& seen) {
    const matrix::Verdict verdict = matrix::Record(seen, matrix::Payload(), kCarried);
    EXPECT_TRUE(verdict.passed) << seen.name << ": " << verdict.why;
}

// A fixture whose runs keep the log every matrix case is judged with.
class LoggedRunTest : public FakePlatformTest {
protected:
    void SetUp() override {
        FakePlatformTest::SetUp();
        KeepRunLog();
    }
    void TearDown() override {
        app::LogRunsTo(nullptr);
        FakePlatformTest::TearDown();
    }
};

class FaultMatrixTest : public LoggedRunTest {
protected:
    void SetUp() override {
        LoggedRunTest::SetUp();
        fake::PutString(kCurrentUser, kSubKey, "PathTOL", "C:\\App");
        fake::PutString(kCurrentUser, kSubKey, "VerTOL", "7.0.7");
        fake::PutFile(kData, kOld);
    }
};

// --- one fault, one run ------------------------------------------------------

struct Fault {
    const char* name;
    std::function<void()> inject;
    std::uint32_t code;  // the Windows code the failing step fails with; 0 where the stand-ins cannot carry it
    Outcome outcome = Outcome::Failed;
};


// Each refused call ends the run in 更新失败. (unless a row says otherwise)
// with the data file whole: a program that ignored the failure and went on
// would say 成功.
const Fault kFaults[] = {
    {"DiskFullHalfwayThroughTheWrite", [] { fake::FailNext(FileOp::Write, kDiskFull, 1, 10000); }, kDiskFull},
    {"DiskFullBeforeTheFirstByte", [] { fake::FailNext(FileOp::Write, kDiskFull); }, kDiskFull},
    {"TemporaryFileRefused", [] { fake::FailNext(FileOp::CreateNew, kDeviceError); }, kDeviceError},
    {"FlushRefused", [] { fake::FailNext(FileOp::Flush, kDeviceError); }, kDeviceError},
    {"FlushAfterTheRenameRefused",
     [] {
         fake::BeforeNext(
             FileOp::Flush, [] { fake::FailNext(FileOp::Flush, kDeviceError); }, 2);
     }, kDeviceError},
    // A refused close tells its code only as the last error, which the stand-ins do not keep.
    {"CloseRefused", [] { fake::FailNext(FileOp::Close, kDeviceError); }, 0},
    {"CopyingTheAttributesTimeAndDaclRefused", [] { fake::FailNext(FileOp::ApplyFacts, kDeviceError); }, kDeviceError},
    {"RenameRefused", [] { fake::FailNext(FileOp::Rename, kDeviceError); }, kDeviceError},
    {"ReadingBackRefused", [] { fake::FailNext(FileOp::ReadBack, kDeviceError); }, kDeviceError},
    // A filter fails the rename after the file system made it: the data file
    // is the new one, read back whole, and that is the truth to tell.
    {"RenameReportedFailedAfterItTookEffect", [] { fake::FailNext(FileOp::RenameReportedFailed, kDeviceError); }, 0,
     Outcome::Installed},
    {"NewFileHeldByAScannerPastTheRetries",
     [] { fake::FailNext(FileOp::Rename, platform::kErrorSharingViolation, 1000); }, platform::kErrorSharingViolation},
    {"DataFileHeldOpenByTolvar", [] { fake::SetLocked(kData, true); }, platform::kErrorSharingViolation},
    {"RecordingTheVersionRefused", [] { fake::FailNextSetValue(); }, platform::kErrorAccessDenied},
    // A folder whose drive, share or device is not there, or a file where the
    // folder should be (ERROR_DIRECTORY), is nothing to update, not a failure.
    {"InstallationFolderIsAFile", [] { fake::FailNext(FileOp::OpenFolder, 267); }, 0, Outcome::NoUpdateNeeded},
    {"NoSuchDrive", [] { fake::FailNext(FileOp::OpenFolder, 15); }, 0, Outcome::NoUpdateNeeded},
    {"DriveNotReady", [] { fake::FailNext(FileOp::OpenFolder, 21); }, 0, Outcome::NoUpdateNeeded},
    {"NoSuchNetworkPath", [] { fake::FailNext(FileOp::OpenFolder, 53); }, 0, Outcome::NoUpdateNeeded},
    {"NetworkAnsweredNothing", [] { fake::FailNext(FileOp::OpenFolder, 58); }, 0, Outcome::NoUpdateNeeded},
    {"ShareGoneWhileOpening", [] { fake::FailNext(FileOp::OpenFolder, 64); }, 0, Outcome::NoUpdateNeeded},
    {"NoSuchShare", [] { fake::FailNext(FileOp::OpenFolder, 67); }, 0, Outcome::NoUpdateNeeded},
};

class InjectedFaultTest : public FaultMatrixTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(InjectedFaultTest, TellsTheTruthAndKeepsTheDataWhole) {
    const Snapshot before;
    GetParam().inject();
    app::UpdateRun();
    matrix::Observation seen = Observe(GetParam().name, before, Told(), 1, GetParam().outcome);
    if (GetParam().code) seen.failedWith = GetParam().code;
    ExpectPasses(seen);
}

INSTANTIATE_TEST_SUITE_P(Faults, InjectedFaultTest, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

// Another program deletes the installation folder after the run found the
// data file and before it writes: nothing may be created in its place.
TEST_F(FaultMatrixTest, FolderDeletedBetweenTheExistenceTestAndTheWrite) {
    fake::BeforeNext(FileOp::CreateNew, [] { fake::RemoveFolder(kFolder); });
    Snapshot gone;
    gone.data.reset();
    gone.files.clear();
    app::UpdateRun();
    ExpectPasses(Observe("FolderDeletedBetweenTheExistenceTestAndTheWrite", gone, Told(), 1, Outcome::Failed));
    EXPECT_TRUE(fake::FilesIn(kFolder).empty());
}

// --- the process killed at each step of the install ---------------------------

struct KillPoint {
    const char* name;
    std::function<void()> arm;
};

const KillPoint kKillPoints[] = {
    {"BeforeTheTemporaryFileIsCreated", [] { fake::BeforeNext(FileOp::CreateNew, fake::KillProcess); }},
    {"BeforeAnyByteIsWritten", [] { fake::BeforeNext(FileOp::Write, fake::KillProcess); }},
    {"BeforeTheFlush", [] { fake::BeforeNext(FileOp::Flush, fake::KillProcess); }},
    {"BeforeTheTemporaryFileIsClosed", [] { fake::BeforeNext(FileOp::Close, fake::KillProcess); }},
    {"BeforeTheAttributesTimeAndDaclAreCopied", [] { fake::BeforeNext(FileOp::ApplyFacts, fake::KillProcess); }},
    {"BeforeTheRename", [] { fake::BeforeNext(FileOp::Rename, fake::KillProcess); }},
    {"AfterTheRenameBeforeTheReadBack", [] { fake::BeforeNext(FileOp::ReadBack, fake::KillProcess); }},
    {"AfterTheRenameBeforeTheVersionIsRecorded", [] { fake::BeforeNextSetValue(fake::KillProcess); }},
};

class KilledRunTest : public FaultMatrixTest, public ::testing::WithParamInterface<KillPoint> {};

// After the kill the data file is whole, old or new; the next run (another
// process) installs over whatever it finds and passes over the leftovers.
TEST_P(KilledRunTest, LeavesAWholeFileForTheNextRun) {
    const std::string name = GetParam().name;
    const Snapshot start;
    GetParam().arm();
    app::UpdateRun();
    ASSERT_TRUE(fake::ProcessKilled()) << "the run never reached the kill point";
    ExpectPasses(Observe(name + "/killed", start, {}, 0, std::nullopt));

    fake::StartProcess(5151);
    const Snapshot afterKill;
    app::UpdateRun();
    ExpectPasses(Observe(name + "/next run", afterKill, Told(), 1, Outcome::Installed));
}

INSTANTIATE_TEST_SUITE_P(Points, KilledRunTest, ::testing::ValuesIn(kKillPoints),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Tolvar under Program Files: elevation, and the VirtualStore --------------

const char16_t kProtected[] = u"C:\\Program Files (x86)\\Tolvar";
const char16_t kProtectedData[] = u"C:\\Program Files (x86)\\Tolvar\\unit.xml";

// The copy a granted prompt starts, as the program's start-up runs it.
std::uint32_t CopyAsStarted(const std::u16string& commandLine) {
    return app::RunElevatedModeIfAsked(commandLine).value_or(0xDEAD);  // a window: the switch was not seen
}

void Refuse() { fake::RefuseNewFilesIn(kProtected); }
void Consent() {
    fake::AnswerPrompts(fake::Consent::Granted);
    fake::SetElevatedCopy(CopyAsStarted);
}
void Grant() {
    Refuse();
    Consent();
}
const char16_t kLocalAppData[] = u"C:\\Users\\me\\AppData\\Local";

// Where the VirtualStore would keep a copy of `folder`; none for a share.
std::u16string StoreFolderOf(const std::u16string& folder) {
    if (folder.size() < 2 || folder[1] != u':') return std::u16string();
    return kLocalAppData + (u"\\VirtualStore" + folder.substr(2));
}
void PutStoreCopy(std::uint32_t attributes = 0, const std::u16string& folder = kProtected) {
    fake::PutFile(StoreFolderOf(folder) + u"\\unit.xml", kOld, attributes);
}

struct ProgramFilesCase {
    const char* name;
    std::function<void()> arrange;
    Outcome outcome;
    std::size_t prompts;                // copies asked for
    std::optional<bool> storeReplaced;  // nothing: no VirtualStore copy
    const char* pathTol = "C:\\Program Files (x86)\\Tolvar";
    const char16_t* folder = kProtected;  // where the data file is
    std::vector<const char*> logHas = {};  // parts the run's log line must hold
};

const char16_t kShare[] = u"\\\\server\\share\\Tolvar";
const char16_t kMapped[] = u"Z:\\Tolvar";
const char16_t kProgramFiles64[] = u"C:\\Program Files\\Tolvar";

const ProgramFilesCase kProgramFilesCases[] = {
    {"WritableFolderAsksNothing", [] {}, Outcome::Installed, 0, std::nullopt},
    {"RefusedFolderElevatedCopyInstalls", Grant, Outcome::Installed, 1, std::nullopt},
    {"PromptDeclined",
     [] {
         Refuse();
         fake::AnswerPrompts(fake::Consent::Declined);
     },
     Outcome::Failed, 1, std::nullopt},
    {"CopyCannotStart",
     [] {
         Refuse();
         fake::AnswerPrompts(fake::Consent::CannotStart);
     },
     Outcome::Failed, 1, std::nullopt},
    {"CopyFailsToWrite",
     [] {
         Grant();
         fake::FailNext(FileOp::Write, kDiskFull, 1, 100);
     },
     Outcome::Failed, 1, std::nullopt},
    // The log names a failed copy by its own exit code, not by what the run
    // found in the file afterwards.
    {"CopyCrashes",
     [] {
         Grant();
         fake::SetElevatedCopy([](const std::u16string&) { return 0xC0000005u; });
     },
     Outcome::Failed, 1, std::nullopt, "C:\\Program Files (x86)\\Tolvar", kProtected,
     {"\tstep=elevate\t", "\terror=3221225477\t", "\televated-copy=3221225477"}},
    // A copy that says it replaced the file: the run believes the file.
    {"CopyClaimsSuccessWithoutWriting",
     [] {
         Grant();
         fake::SetElevatedCopy([](const std::u16string&) { return 0u; });
     },
     Outcome::Failed, 1, std::nullopt},
    // The copy installs, but the run cannot open the file to check it: no
    // success is claimed for a file nobody read back.
    {"CopyInstallsButTheFileCannotBeReadBack",
     [] {
         Grant();
         fake::SetElevatedCopy([](const std::u16string& commandLine) {
             const std::uint32_t code = CopyAsStarted(commandLine);
             fake::FailNext(FileOp::ReadBack, kDeviceError);
             return code;
         });
     },
     Outcome::Failed, 1, std::nullopt, "C:\\Program Files (x86)\\Tolvar", kProtected, {"\tstep=verify\t", "\televated-copy=0"}},
    {"CopyRefusedTheSameWay",
     [] {
         Grant();
         fake::RefuseNewFilesIn(kProtected, true);
     },
     Outcome::Failed, 1, std::nullopt},
    {"AlreadyElevatedAndRefused",
     [] {
         Grant();
         fake::RefuseNewFilesIn(kProtected, true);
         fake::SetElevated(true);
     },
     Outcome::Failed, 0, std::nullopt},
    // The folder lets users add files but the data file's DACL does not let
    // them replace it (ProgramData's default): the rename is refused for want
    // of rights, and the elevated copy installs, the list being kept.
    {"FileThatRefusesTheUserAsksAndInstalls",
     [] {
         Consent();
         fake::SetDacl(kProtectedData, u"protected;deny-replace");
     },
     Outcome::Installed, 1, std::nullopt},
    // The data file lets users read its bytes but not its DACL, which the
    // replace copies: a missing right like any other, and the copy installs.
    {"FileThatHidesItsDaclAsksAndInstalls",
     [] {
         Consent();
         fake::SetDacl(kProtectedData, u"deny-read-control");
     },
     Outcome::Installed, 1, std::nullopt},
    // Whether a prompt could help cannot be told: the run fails with the
    // question's own step and code rather than guess.
    {"DriveTypeUnknownAsksNothing",
     [] {
         Grant();
         fake::FailNext(FileOp::DriveType, kDeviceError);
     },
     Outcome::Failed, 0, std::nullopt, "C:\\Program Files (x86)\\Tolvar", kProtected,
     {"\tstep=find-data-file\t", "\terror=1117\t"}},
    {"ElevationUnknownAsksNothing",
     [] {
         Grant();
         fake::FailElevationQuery(1008);  // ERROR_NO_TOKEN
     },
     Outcome::Failed, 0, std::nullopt, "C:\\Program Files (x86)\\Tolvar", kProtected,
     {"\tstep=elevate\t", "\terror=1008\t"}},
    // A prompt would be granted in each of these: nothing but the kind of
    // refusal keeps it away.
    {"FileHeldOpenByTolvarAsksNothing",
     [] {
         Consent();
         fake::SetLocked(kProtectedData, true);
     },
     Outcome::Failed, 0, std::nullopt},
    {"RefusedRenameAsksNothing",
     [] {
         Consent();
         fake::FailNext(FileOp::Rename, kDeviceError);
     },
     Outcome::Failed, 0, std::nullopt},
    {"NetworkShareAsksNothing",
     [] {
         Consent();
         fake::RefuseNewFilesIn(kShare);
     },
     Outcome::Failed, 0, std::nullopt, "\\\\server\\share\\Tolvar", kShare},
    {"MappedNetworkDriveAsksNothing",
     [] {
         Consent();
         fake::SetDriveType(u"Z:\\", fake::DriveType::Remote);
         fake::RefuseNewFilesIn(kMapped);
     },
     Outcome::Failed, 0, std::nullopt, "Z:\\Tolvar", kMapped},
    {"VirtualStoreCopyReplaced", [] { PutStoreCopy(); }, Outcome::Installed, 0, true},
    {"VirtualStoreCopyRefused", [] { PutStoreCopy(platform::kAttributeReadOnly); }, Outcome::Failed, 0, false},
    {"VirtualStoreCopyCannotBeExamined",
     [] {
         PutStoreCopy();
         fake::BeforeNext(
             FileOp::Examine, [] { fake::FailNext(FileOp::Examine, platform::kErrorAccessDenied); }, 3);
     },
     Outcome::Failed, 0, false, "C:\\Program Files (x86)\\Tolvar", kProtected, {"\tstep=virtual-store\t"}},
    // The shell's DLLs do not load: a copy may be there, so the run cannot say it installed.
    {"KnownFoldersCannotBeLookedUp",
     [] {
         PutStoreCopy();
         fake::FailKnownFolders(126);  // ERROR_MOD_NOT_FOUND
     },
     Outcome::Failed, 0, false},
    {"VirtualStoreCopyUnderThe64BitProgramFiles", [] { PutStoreCopy(0, kProgramFiles64); },
     Outcome::Installed, 0, true, "C:\\Program Files\\Tolvar", kProgramFiles64},
    {"VirtualStoreCopyThroughAShortName",
     [] {
         fake::AddShortName(u"C:\\Program Files (x86)", u"PROGRA~2");
         PutStoreCopy();
     },
     Outcome::Installed, 0, true, "C:\\PROGRA~2\\Tolvar"},
    {"VirtualStoreCopyThroughDotDot",
     [] {
         fake::AddFolder(u"C:\\Program Files (x86)\\Other");
         PutStoreCopy();
     },
     Outcome::Installed, 0, true, "C:\\Program Files (x86)\\Other\\..\\Tolvar"},
    {"RefusedFolderAndVirtualStoreCopyBothReplaced",
     [] {
         Grant();
         PutStoreCopy();
     },
     Outcome::Installed, 1, true},
};

class ProgramFilesTest : public LoggedRunTest, public ::testing::WithParamInterface<ProgramFilesCase> {};

TEST_P(ProgramFilesTest, AsksOnlyWhenRightsAreMissingAndReplacesEveryCopy) {
    const ProgramFilesCase& c = GetParam();
    const std::u16string data = c.folder + std::u16string(u"\\unit.xml");
    fake::PutString(kCurrentUser, kSubKey, "PathTOL", c.pathTol);
    fake::PutString(kCurrentUser, kSubKey, "VerTOL", "7.0.7");
    fake::PutFile(data, kOld);
    c.arrange();
    const Snapshot before(c.folder);
    const std::u16string dacl = fake::DaclOf(data);

    app::UpdateRun();

    matrix::Observation seen = Observe(std::string("ProgramFiles/") + c.name, before, Told(), 1, c.outcome, c.folder);
    seen.elevationWouldHelp = c.prompts > 0;  // a prompt is asked for exactly there
    ExpectPasses(seen);
    ASSERT_EQ(fake::ElevationRequests().size(), c.prompts);
    for (const std::u16string& asked : fake::ElevationRequests())
        EXPECT_EQ(asked.rfind(u"/replace-data-file \"" + data + u"\" ", 0), 0u) << "asked for " << ::testing::PrintToString(asked);
    const std::u16string store = StoreFolderOf(c.folder);
    if (c.storeReplaced) {
        EXPECT_EQ(fake::FileBytes(store + u"\\unit.xml"), *c.storeReplaced ? matrix::Payload() : kOld);
        EXPECT_EQ(fake::FilesIn(store).size(), 1u) << "files left beside the VirtualStore copy";
    } else if (!store.empty()) {
        EXPECT_TRUE(fake::FilesIn(store).empty()) << "a VirtualStore copy was made";
    }
    EXPECT_EQ(fake::DaclOf(data), dacl) << "the data file keeps its DACL";
    const std::string line = LastLogLine().value_or("");
    for (const char* part : c.logHas) EXPECT_NE(line.find(part), std::string::npos) << part << " in " << line;
}

INSTANTIATE_TEST_SUITE_P(Cases, ProgramFilesTest, ::testing::ValuesIn(kProgramFilesCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- a folder of the path swapped between two calls ---------------------------

// Another program moves C:\Apps away between two file calls of a run and
// puts in its place another folder holding a data file of its own, or a link
// to a system folder holding one. Whatever the moment, every change the run
// (and an elevated copy it starts) makes is in the one folder it opened
// first, every data file is whole, and nothing is left anywhere.
// (The folder first opened is the installation, or, when the swap comes
// before the run opens anything, what the path names then: a link followed
// is the user's own choice, made before the run looked.)
//
// The log's swaps: C:\Logs moved away and a link to a system folder put in
// its place; a link named like the log, to a system file; both, as a junction
// into the object manager's namespace holding a link named like the log
// would be; a hard link to a system file named like the log. A run with the
// user's rights follows them (the user could write there anyway); an
// elevated or LocalSystem run writes its line in the folder it checked or
// nowhere, and its outcome is the same either way.
enum class Swap { Folder, Link, LogFolderLink, LinkNamedLikeTheLog, ObjectLinks, HardLinkedLog };
enum class Who { User, Elevated, LocalSystem };
struct SwapCase {
    const char* name;
    Swap swap;
    bool refused;  // the installation refuses the user: an elevated copy writes
    Who who = Who::User;
};

const char16_t kApps[] = u"C:\\Apps";
const char16_t kSwappedData[] = u"C:\\Apps\\Tolvar\\unit.xml";
const char16_t kSystem[] = u"C:\\Windows\\System32";
const fake::Bytes kDecoy = BytesOf("<decoy/>");
const char16_t kSystemFile[] = u"C:\\Windows\\System32\\boot.ini";
const char16_t kSystemLog[] = u"C:\\Windows\\System32\\update.log";
const char16_t kObjects[] = u"C:\\RPC Control";  // where a junction into the object manager would lead
const fake::Bytes kSystemBytes = BytesOf("[boot]\r\n");

// The run's line where the log was moved to, or where its path leads now.
std::optional<std::string> RunLineWherever() {
    for (const std::u16string& path : {std::u16string(u"C:\\Logs.moved\\update.log"), kRunLog}) {
        const std::optional<fake::Bytes> bytes = fake::FileBytes(path);
        const std::optional<std::string> line =
            matrix::LastWholeLine(bytes ? std::string(bytes->begin(), bytes->end()) : std::string());
        if (line && line->find("\tUpDate ") != std::string::npos) return line;
    }
    return std::nullopt;
}

// Plants the swap of `swap` now: false when it cannot be made.
bool PlantSwap(Swap swap) {
    switch (swap) {
        case Swap::Folder:
        case Swap::Link:
            if (!fake::MoveEntry(kApps, u"C:\\Apps.moved")) return false;
            if (swap == Swap::Folder) fake::PutFile(kSwappedData, kDecoy);
            if (swap == Swap::Link) fake::AddLink(kApps, kSystem);
            return true;
        case Swap::LogFolderLink:
            if (!fake::MoveEntry(u"C:\\Logs", u"C:\\Logs.moved")) return false;
            fake::AddLink(u"C:\\Logs", kSystem);
            return true;
        case Swap::LinkNamedLikeTheLog: fake::AddLink(kRunLog, kSystemFile); return true;
        case Swap::ObjectLinks:
            if (!fake::MoveEntry(u"C:\\Logs", u"C:\\Logs.moved")) return false;
            fake::AddLink(u"C:\\Logs", kObjects);
            fake::AddLink(std::u16string(kObjects) + u"\\update.log", kSystemFile);
            return true;
        case Swap::HardLinkedLog:
            fake::RemoveFolder(kRunLog);
            fake::AddHardLink(kRunLog, kSystemFile);
            return true;
    }
    return false;
}

class SwapTest : public LoggedRunTest, public ::testing::WithParamInterface<SwapCase> {};

TEST_P(SwapTest, ChangesOnlyTheFolderFirstOpened) {
    const SwapCase& c = GetParam();
    const std::u16string folders[] = {u"C:\\Apps.moved\\Tolvar", u"C:\\Apps\\Tolvar",
                                      std::u16string(kSystem) + u"\\Tolvar"};
    std::size_t position = 1;
    for (bool swapped = true; swapped; ++position) {
        fake::Reset();
        KeepRunLog();
        fake::PutString(kCurrentUser, kSubKey, "PathTOL", "C:\\Apps\\Tolvar");
        fake::PutString(kCurrentUser, kSubKey, "VerTOL", "7.0.7");
        fake::PutFile(kSwappedData, kOld);
        fake::PutFile(folders[2] + u"\\unit.xml", kDecoy);
        fake::RefuseNewFilesIn(folders[2]);
        fake::PutFile(kSystemFile, kSystemBytes);
        if (c.refused) {
            fake::RefuseNewFilesIn(u"C:\\Apps\\Tolvar");
            Consent();
        }
        if (c.who == Who::Elevated) fake::SetElevated(true);
        if (c.who == Who::LocalSystem) fake::SetUser(u"SYSTEM", true);
        swapped = false;
        fake::BeforeNext(FileOp::Any, [&] { swapped = PlantSwap(c.swap); }, position);
        const std::optional<std::string> versionBefore = Version();
        const std::uint64_t installation = fake::FolderId(u"C:\\Apps\\Tolvar");
        app::UpdateRun();
        if (!swapped) break;

        const std::string name = std::string("Swap/") + c.name + "/before call " + std::to_string(position);
        ASSERT_FALSE(fake::OpenedFolders().empty()) << name;
        for (const fake::Change& change : fake::Changes())
            EXPECT_EQ(change.folderId, fake::OpenedFolders().front()) << name << ": a change made elsewhere";
        for (const std::u16string& folder : folders) {
            if (const std::optional<fake::Bytes> data = fake::FileBytes(folder + u"\\unit.xml")) {
                EXPECT_TRUE(*data == kOld || *data == kDecoy || *data == matrix::Payload()) << name;
                EXPECT_EQ(fake::FilesIn(folder).size(), 1u) << name << ": files left";
            }
        }
        const bool systemTouched = fake::FileBytes(kSystemFile) != kSystemBytes || fake::FileBytes(kSystemLog);
        if (c.swap >= Swap::LogFolderLink) {
            EXPECT_EQ(systemTouched, c.who == Who::User) << name << (c.who == Who::User ? ": not followed" : ": written there");
            EXPECT_TRUE(fake::FilesIn(kObjects).size() <= 1) << name << ": made beside the link";
        } else {
            EXPECT_FALSE(systemTouched) << name;
        }
        // Judged as every case is, on the folder the run opened first.
        const std::uint64_t first = fake::OpenedFolders().front();
        matrix::Observation seen;
        seen.suite = "native";
        seen.name = name;
        seen.dataBefore = first == installation ? kOld : kDecoy;
        seen.dataAfter = fake::FileBytes(fake::FolderPath(first) + u"\\unit.xml");
        seen.versionBefore = versionBefore;
        seen.versionAfter = Version();
        seen.messages = Told();
        seen.logLine = RunLineWherever();
        seen.elevationWouldHelp = !fake::ElevationRequests().empty();  // the folder reached refused the user
        ExpectPasses(seen);
    }
    EXPECT_GT(position, 10u) << "the swap never came between the run's calls";
}

const SwapCase kSwapCases[] = {
    {"AnotherFolder", Swap::Folder, false},
    {"ALinkToASystemFolder", Swap::Link, false},
    {"AnotherFolderWhileElevated", Swap::Folder, true},
    {"ALinkToASystemFolderWhileElevated", Swap::Link, true},
    {"LogFolderLink", Swap::LogFolderLink, false},
    {"LogFolderLinkElevated", Swap::LogFolderLink, false, Who::Elevated},
    {"LogFolderLinkAsLocalSystem", Swap::LogFolderLink, false, Who::LocalSystem},
    {"LinkNamedLikeTheLog", Swap::LinkNamedLikeTheLog, false},
    {"LinkNamedLikeTheLogElevated", Swap::LinkNamedLikeTheLog, false, Who::Elevated},
    {"ObjectLinks", Swap::ObjectLinks, false},
    {"ObjectLinksAsLocalSystem", Swap::ObjectLinks, false, Who::LocalSystem},
    {"HardLinkedLog", Swap::HardLinkedLog, false},
    {"HardLinkedLogAsLocalSystem", Swap::HardLinkedLog, true, Who::LocalSystem},
};
INSTANTIATE_TEST_SUITE_P(Moments, SwapTest, ::testing::ValuesIn(kSwapCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
