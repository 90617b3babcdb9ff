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
    if (programs > 0) seen.newFiles = Added(before.files, Files(folder));  // a killed run's leftovers are expected
    return seen;
}

void ExpectPasses(const matrix::Observation& seen) {
    const matrix::Verdict verdict = matrix::Record(seen, matrix::Payload(), kCarried);
    EXPECT_TRUE(verdict.passed) << seen.name << ": " << verdict.why;
}

class FaultMatrixTest : public FakePlatformTest {
protected:
    void SetUp() override {
        FakePlatformTest::SetUp();
        fake::PutString(kCurrentUser, kSubKey, "PathTOL", "C:\\App");
        fake::PutString(kCurrentUser, kSubKey, "VerTOL", "7.0.7");
        fake::PutFile(kData, kOld);
    }
};

// --- one fault, one run ------------------------------------------------------

struct Fault {
    const char* name;
    std::function<void()> inject;
};

const Fault kFaults[] = {
    {"DiskFullHalfwayThroughTheWrite", [] { fake::FailNext(FileOp::Write, 10000); }},
    {"DiskFullBeforeTheFirstByte", [] { fake::FailNext(FileOp::Write, 0); }},
    {"TemporaryFileRefused", [] { fake::FailNext(FileOp::CreateNew); }},
    {"FlushRefused", [] { fake::FailNext(FileOp::Flush); }},
    {"CloseRefused", [] { fake::FailNext(FileOp::Close); }},
    {"CopyingTheOldFilesTraitsRefused", [] { fake::FailNext(FileOp::CopyTraits); }},
    {"RenameRefused", [] { fake::FailNext(FileOp::Rename); }},
    {"NewFileHeldByAScannerPastTheRetries", [] { fake::RenameBusy(1000); }},
    {"RecordingTheVersionRefused", [] { fake::FailNextSetValue(); }},
};

class InjectedFaultTest : public FaultMatrixTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(InjectedFaultTest, TellsTheTruthAndKeepsTheDataWhole) {
    const Snapshot before;
    GetParam().inject();
    app::UpdateRun();
    ExpectPasses(Observe(GetParam().name, before, Told(), 1, std::nullopt));
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
    {"BeforeTheOldFilesTraitsAreCopied", [] { fake::BeforeNext(FileOp::CopyTraits, fake::KillProcess); }},
    {"BeforeTheRename", [] { fake::BeforeNext(FileOp::Rename, fake::KillProcess); }},
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

// --- Tolvar under Program Files: the right to write, and the VirtualStore ------

const char16_t kProtected[] = u"C:\\Program Files (x86)\\Tolvar";
const char16_t kProtectedData[] = u"C:\\Program Files (x86)\\Tolvar\\unit.xml";
const char16_t kStoreFolder[] = u"C:\\Users\\me\\AppData\\Local\\VirtualStore\\Program Files (x86)\\Tolvar";
const char16_t kStoreCopy[] = u"C:\\Users\\me\\AppData\\Local\\VirtualStore\\Program Files (x86)\\Tolvar\\unit.xml";

// The copy a granted prompt starts, as the program's start-up runs it.
std::uint32_t CopyAsStarted(const std::u16string& commandLine) {
    return app::RunElevatedModeIfAsked(commandLine).value_or(0xDEAD);  // a window: the switch was not seen
}

void Refuse() { fake::RefuseNewFilesIn(kProtected); }
void Grant() {
    Refuse();
    fake::AnswerPrompts(fake::Consent::Granted);
    fake::SetElevatedCopy(CopyAsStarted);
}
void PutStoreCopy(std::uint32_t attributes = 0) { fake::PutFile(kStoreCopy, kOld, attributes); }

struct ProgramFilesCase {
    const char* name;
    std::function<void()> arrange;
    Outcome outcome;
    std::size_t prompts;                // copies asked for
    std::optional<bool> storeReplaced;  // nothing: no VirtualStore copy
};

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
         fake::FailNext(FileOp::Write, 100);
     },
     Outcome::Failed, 1, std::nullopt},
    {"CopyCrashes",
     [] {
         Grant();
         fake::SetElevatedCopy([](const std::u16string&) { return 0xC0000005u; });
     },
     Outcome::Failed, 1, std::nullopt},
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
    // A prompt would be granted here: only the refused rename keeps it away.
    {"RefusedRenameAsksNothing",
     [] {
         fake::AnswerPrompts(fake::Consent::Granted);
         fake::SetElevatedCopy(CopyAsStarted);
         fake::FailNext(FileOp::Rename);
     },
     Outcome::Failed, 0, std::nullopt},
    {"VirtualStoreCopyReplaced", [] { PutStoreCopy(); }, Outcome::Installed, 0, true},
    {"VirtualStoreCopyRefused", [] { PutStoreCopy(platform::kAttributeReadOnly); }, Outcome::Failed, 0, false},
    {"RefusedFolderAndVirtualStoreCopyBothReplaced",
     [] {
         Grant();
         PutStoreCopy();
     },
     Outcome::Installed, 1, true},
};

class ProgramFilesTest : public FakePlatformTest, public ::testing::WithParamInterface<ProgramFilesCase> {};

TEST_P(ProgramFilesTest, AsksOnlyWhenRefusedAndReplacesEveryCopy) {
    const ProgramFilesCase& c = GetParam();
    fake::PutString(kCurrentUser, kSubKey, "PathTOL", "C:\\Program Files (x86)\\Tolvar");
    fake::PutString(kCurrentUser, kSubKey, "VerTOL", "7.0.7");
    fake::PutFile(kProtectedData, kOld);
    c.arrange();
    const Snapshot before(kProtected);

    app::UpdateRun();

    ExpectPasses(Observe(std::string("ProgramFiles/") + c.name, before, Told(), 1, c.outcome, kProtected));
    const std::vector<std::u16string> asked(c.prompts, app::ElevatedReplaceParameters(kProtectedData));
    EXPECT_EQ(fake::ElevationRequests(), asked);
    if (c.storeReplaced) {
        EXPECT_EQ(fake::FileBytes(kStoreCopy), *c.storeReplaced ? matrix::Payload() : kOld);
        EXPECT_EQ(fake::FilesIn(kStoreFolder).size(), 1u) << "files left beside the VirtualStore copy";
    } else {
        EXPECT_TRUE(fake::FilesIn(kStoreFolder).empty()) << "a VirtualStore copy was made";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ProgramFilesTest, ::testing::ValuesIn(kProgramFilesCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
