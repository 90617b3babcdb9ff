// The faults Wine cannot make on demand, injected through the portable
// platform layer: a disk that fills, a folder deleted under the run, calls
// the system refuses, a version the registry will not take, and the process
// killed at each step of the install. Judged by the same rules as the Wine
// cases (tests/matrix).
#include <algorithm>
#include <functional>

#include "app/update_run.h"
#include "resources/resource_access.h"
#include "test_support.h"
#include "tests/matrix/fault_matrix.h"

namespace {

using fake::FileOp;
using matrix::Outcome;

const char kSubKey[] = "Software\\Qd";
const char16_t kFolder[] = u"C:\\App";
const char16_t kData[] = u"C:\\App\\unit.xml";
const std::string kCarried = "7.0.8";
const fake::Bytes kOld = BytesOf("<?xml version=\"1.0\"?><aboutunits version=\"7.0.7\"/>");

fake::Bytes Payload() {
    const auto payload = resources::LoadDataResource(101, u"CUSTOM");
    return fake::Bytes(payload.value().data, payload.value().data + payload.value().size);
}

std::optional<std::string> Version() {
    const auto stored = fake::GetValue(kCurrentUser, kSubKey, "VerTOL");
    if (!stored) return std::nullopt;
    std::string text(stored->bytes.begin(), stored->bytes.end());
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

std::vector<std::string> Files() {
    std::vector<std::string> names;
    for (const std::u16string& name : fake::FilesIn(kFolder)) names.emplace_back(name.begin(), name.end());
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
    std::optional<fake::Bytes> data = fake::FileBytes(kData);
    std::optional<std::string> version = Version();
    std::vector<std::string> files = Files();
};

std::vector<std::u16string> Told() {
    std::vector<std::u16string> texts;
    for (const fake::Message& message : fake::Messages()) texts.push_back(message.text);
    return texts;
}

matrix::Observation Observe(const std::string& name, const Snapshot& before, std::vector<std::u16string> told,
                            std::size_t programs, std::optional<Outcome> expected) {
    matrix::Observation seen;
    seen.suite = "native";
    seen.name = name;
    seen.dataBefore = before.data;
    seen.dataAfter = fake::FileBytes(kData);
    seen.versionBefore = before.version;
    seen.versionAfter = Version();
    seen.messages = std::move(told);
    seen.programs = programs;
    seen.expected = expected;
    if (programs > 0) seen.newFiles = Added(before.files, Files());  // a killed run's leftovers are expected
    return seen;
}

void ExpectPasses(const matrix::Observation& seen) {
    const matrix::Verdict verdict = matrix::Record(seen, Payload(), kCarried);
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

}  // namespace
