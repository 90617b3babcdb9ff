#include "app/update_run.h"

#include "registry/registry_api.h"
#include "resources/resource_access.h"
#include "test_support.h"
#include "tests/matrix/expected.h"
#include "tests/matrix/fault_matrix.h"
#include "tests/matrix/payload.h"
#include "tests/matrix/run_cases.h"

namespace {

using app::UpdateOutcome;
using platform::MessageIcon;

const char kSubKey[] = "Software\\Qd";
const fake::Bytes kOld = BytesOf("<old data/>");

const char16_t kNoUpdate[] = u"" EXPECTED_NOTHING_TO_UPDATE;
const char16_t kAlready[] = u"" EXPECTED_ALREADY_UPDATED;
const char16_t kInstalled[] = u"" EXPECTED_INSTALLED;
const char16_t kFailed[] = u"" EXPECTED_FAILED;
const char16_t kData[] = u"C:\\App\\unit.xml";

struct Expected {
    const char16_t* text;
    MessageIcon icon;
};

Expected MessageFor(matrix::Outcome outcome) {
    switch (outcome) {
        case matrix::Outcome::NoUpdateNeeded: return {kNoUpdate, MessageIcon::Critical};
        case matrix::Outcome::AlreadyUpdated: return {kAlready, MessageIcon::Information};
        case matrix::Outcome::Installed: return {kInstalled, MessageIcon::Information};
        case matrix::Outcome::Failed: break;
    }
    return {kFailed, MessageIcon::Critical};
}

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// The rows every suite runs (tests/matrix/run_cases.h), over the stand-ins:
// the installation below C:\Cases, the current folder C:\.
class UpdateRunTest : public FakePlatformTest, public ::testing::WithParamInterface<matrix::RunCase> {};

TEST_P(UpdateRunTest, ShowsOneTrueMessageAndLeavesTheDataWhole) {
    const matrix::RunCase& c = GetParam();
    const std::string folder = std::string("C:\\Cases\\") + c.below;
    const std::u16string data = Wide(folder) + u"\\unit.xml";
    const std::u16string decoys[] = {u"C:\\Error\\unit.xml", u"C:\\unit.xml"};
    if (c.key) fake::CreateKey(kCurrentUser, kSubKey);
    if (c.key && c.pathTol) fake::PutString(kCurrentUser, kSubKey, "PathTOL", matrix::ExpandPathTol(c.pathTol, folder));
    if (c.key && c.verTol) fake::PutString(kCurrentUser, kSubKey, "VerTOL", c.verTol);
    fake::AddFolder(Wide(folder));
    const bool file = c.data != matrix::DataFile::None && c.data != matrix::DataFile::Folder;
    if (c.data == matrix::DataFile::Folder) fake::AddFolder(data);
    if (file) fake::PutFile(data, kOld, matrix::AttributesOf(c.data));
    fake::SetLocked(data, c.data == matrix::DataFile::HeldOpen);
    if (matrix::LeadsNowhere(c)) {
        for (const std::u16string& decoy : decoys) fake::PutFile(decoy, kOld);
    }

    fake::AddFolder(u"C:\\Logs");
    const std::u16string log = u"C:\\Logs\\run.log";
    app::LogRunsTo(&log);
    EXPECT_EQ(static_cast<int>(app::UpdateRun()), static_cast<int>(c.outcome));
    app::LogRunsTo(nullptr);
    const std::optional<fake::Bytes> logged = fake::FileBytes(log);
    const std::optional<std::string> line =
        matrix::LastWholeLine(logged ? std::string(logged->begin(), logged->end()) : std::string());
    ASSERT_TRUE(line);
    EXPECT_EQ(matrix::LogField(*line, "exit"), std::to_string(c.exitCode)) << *line;

    ASSERT_EQ(fake::Messages().size(), 1u);
    const Expected expected = MessageFor(c.outcome);
    EXPECT_EQ(fake::Messages()[0].text, expected.text);
    EXPECT_EQ(fake::Messages()[0].icon, expected.icon);
    EXPECT_EQ(fake::Messages()[0].title, u"Tolvar Update");
    EXPECT_EQ(fake::WindowLookups(), std::vector<std::u16string>{u"tolvar"});
    if (file) {
        EXPECT_EQ(fake::FileBytes(data), c.outcome == matrix::Outcome::Installed ? matrix::Payload() : kOld);
        EXPECT_EQ(fake::FilesIn(Wide(folder)), std::vector<std::u16string>{u"unit.xml"}) << "files left";
    }
    if (matrix::LeadsNowhere(c)) {
        for (const std::u16string& decoy : decoys) EXPECT_EQ(fake::FileBytes(decoy), kOld);
    }
    const auto version = fake::GetValue(kCurrentUser, kSubKey, "VerTOL");
    if (c.verTolAfter) {
        ASSERT_TRUE(version);
        EXPECT_EQ(version->bytes, BytesOf(std::string(c.verTolAfter) + '\0'));
    } else {
        EXPECT_FALSE(version);
    }
}

INSTANTIATE_TEST_SUITE_P(Outcomes, UpdateRunTest, ::testing::ValuesIn(matrix::kRunCases),
                         [](const auto& info) { return std::string(info.param.name); });

// "C:\" is the drive's root, not the current folder of drive C.
TEST_F(FakePlatformTest, ADriveRootIsTheRootWhateverTheCurrentFolder) {
    fake::AddFolder(u"C:\\App");
    fake::SetCurrentFolder(u"C:\\App");
    fake::PutString(kCurrentUser, kSubKey, "PathTOL", "C:\\");
    fake::PutString(kCurrentUser, kSubKey, "VerTOL", "7.0.7");
    fake::PutFile(u"C:\\unit.xml", kOld);
    EXPECT_EQ(app::UpdateRun(), UpdateOutcome::Installed);
    EXPECT_EQ(fake::FileBytes(u"C:\\unit.xml"), matrix::Payload());
}

TEST_F(FakePlatformTest, RecordingTheVersionRefusedIsAFailureNotASuccess) {
    fake::PutString(kCurrentUser, kSubKey, "PathTOL", "C:\\App");
    fake::PutString(kCurrentUser, kSubKey, "VerTOL", "7.0.7");
    fake::PutFile(kData, kOld);
    fake::FailNextSetValue();
    EXPECT_EQ(app::UpdateRun(), UpdateOutcome::Failed);
    ASSERT_EQ(fake::Messages().size(), 1u);
    EXPECT_EQ(fake::Messages()[0].text, kFailed);
    EXPECT_EQ(fake::GetValue(kCurrentUser, kSubKey, "VerTOL")->bytes, BytesOf(std::string("7.0.7\0", 6)));
}

TEST_F(FakePlatformTest, AVersionValueOfNoBytesRaisesAndFails) {
    fake::PutString(kCurrentUser, kSubKey, "PathTOL", "C:\\App");
    fake::PutValue(kCurrentUser, kSubKey, "VerTOL", registry::kTypeString, {});
    fake::PutFile(kData, kOld);
    EXPECT_EQ(app::UpdateRun(), UpdateOutcome::Failed);
    ASSERT_EQ(fake::Messages().size(), 1u);
    EXPECT_EQ(fake::Messages()[0].text, kFailed);
    EXPECT_EQ(fake::FileBytes(kData), kOld);
}

TEST_F(FakePlatformTest, ASecondRunAfterAnInstallIsAlreadyUpdated) {
    fake::PutString(kCurrentUser, kSubKey, "PathTOL", "C:\\App");
    fake::PutString(kCurrentUser, kSubKey, "VerTOL", "7.0.7");
    fake::PutFile(kData, kOld);
    EXPECT_EQ(app::UpdateRun(), UpdateOutcome::Installed);
    EXPECT_EQ(app::UpdateRun(), UpdateOutcome::AlreadyUpdated);
    EXPECT_EQ(fake::Messages().size(), 2u);
}

TEST_F(FakePlatformTest, TolvarsOpenWindowDoesNotChangeTheOutcome) {
    fake::SetWindowExists(true);
    fake::PutString(kCurrentUser, kSubKey, "PathTOL", "C:\\App");
    fake::PutString(kCurrentUser, kSubKey, "VerTOL", "7.0.7");
    fake::PutFile(kData, kOld);
    EXPECT_EQ(app::UpdateRun(), UpdateOutcome::Installed);
}

TEST_F(FakePlatformTest, AGbkFolderNameReachesTheFile) {
    fake::PutString(kCurrentUser, kSubKey, "PathTOL", "D:\\\xB9\xA4\xB3\xCC");  // D:\工程
    fake::PutString(kCurrentUser, kSubKey, "VerTOL", "7.0.7");
    fake::PutFile(u"D:\\工程\\unit.xml", kOld);
    EXPECT_EQ(app::UpdateRun(), UpdateOutcome::Installed);
    EXPECT_EQ(fake::FileBytes(u"D:\\工程\\unit.xml"), matrix::Payload());
}

// The user's own run follows links to the installation folder (users move
// installations that way) and leaves them links; a link named like the data
// file is no data file.
TEST_F(FakePlatformTest, FollowsALinkedFolderButNotALinkedDataFile) {
    const struct {
        const char* name;
        const char* pathTol;
        UpdateOutcome outcome;
    } cases[] = {{"linked folder", "C:\\Linked", UpdateOutcome::Installed},
                 {"linked data file", "C:\\LinkFile", UpdateOutcome::NoUpdateNeeded}};
    for (const auto& c : cases) {
        fake::Reset();
        fake::PutString(kCurrentUser, kSubKey, "PathTOL", c.pathTol);
        fake::PutString(kCurrentUser, kSubKey, "VerTOL", "7.0.7");
        fake::PutFile(kData, kOld);
        fake::AddLink(u"C:\\Linked", u"C:\\App");
        fake::AddLink(u"C:\\LinkFile\\unit.xml", kData);
        EXPECT_EQ(app::UpdateRun(), c.outcome) << c.name;
        EXPECT_EQ(fake::FileBytes(kData), c.outcome == UpdateOutcome::Installed ? matrix::Payload() : kOld) << c.name;
        EXPECT_TRUE(fake::IsLink(u"C:\\Linked") && fake::IsLink(u"C:\\LinkFile\\unit.xml")) << c.name;
        EXPECT_EQ(fake::FilesIn(u"C:\\App").size(), 1u) << c.name;
    }
}

}  // namespace
