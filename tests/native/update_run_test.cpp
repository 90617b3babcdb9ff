#include "app/update_run.h"

#include "registry/registry_api.h"
#include "resources/resource_access.h"
#include "test_support.h"
#include "tests/matrix/expected.h"
#include "tests/matrix/payload.h"

namespace {

using app::UpdateOutcome;
using platform::MessageIcon;

const char kSubKey[] = "Software\\Qd";
const fake::Bytes kOld = BytesOf("<old data/>");

// One run: how the registry and the folder are set up, and what must follow.
struct RunCase {
    const char* name;
    const char* pathTol;       // null: no "PathTOL" value
    const char* verTol;        // null: no "VerTOL" value
    const char16_t* dataFile;  // where the old data file lies (null: nowhere)
    std::uint32_t attributes;  // of the old data file
    UpdateOutcome outcome;
    const char* verTolAfter;  // null: still absent
};

const char16_t kNoUpdate[] = u"" EXPECTED_NOTHING_TO_UPDATE;
const char16_t kAlready[] = u"" EXPECTED_ALREADY_UPDATED;
const char16_t kInstalled[] = u"" EXPECTED_INSTALLED;
const char16_t kFailed[] = u"" EXPECTED_FAILED;

struct Expected {
    const char16_t* text;
    MessageIcon icon;
};

Expected MessageFor(UpdateOutcome outcome) {
    switch (outcome) {
        case UpdateOutcome::NoUpdateNeeded: return {kNoUpdate, MessageIcon::Critical};
        case UpdateOutcome::AlreadyUpdated: return {kAlready, MessageIcon::Information};
        case UpdateOutcome::Installed: return {kInstalled, MessageIcon::Information};
        case UpdateOutcome::Failed: break;
    }
    return {kFailed, MessageIcon::Critical};
}

class UpdateRunTest : public FakePlatformTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(UpdateRunTest, ShowsOneTrueMessageAndLeavesTheDataWhole) {
    const RunCase& c = GetParam();
    fake::CreateKey(kCurrentUser, kSubKey);
    if (c.pathTol) fake::PutString(kCurrentUser, kSubKey, "PathTOL", c.pathTol);
    if (c.verTol) fake::PutString(kCurrentUser, kSubKey, "VerTOL", c.verTol);
    fake::AddFolder(u"C:\\App");
    if (c.dataFile) fake::PutFile(c.dataFile, kOld, c.attributes);

    EXPECT_EQ(app::UpdateRun(), c.outcome);

    ASSERT_EQ(fake::Messages().size(), 1u);
    const Expected expected = MessageFor(c.outcome);
    EXPECT_EQ(fake::Messages()[0].text, expected.text);
    EXPECT_EQ(fake::Messages()[0].icon, expected.icon);
    EXPECT_EQ(fake::Messages()[0].title, u"Tolvar Update");
    EXPECT_EQ(fake::WindowLookups(), std::vector<std::u16string>{u"tolvar"});

    if (c.dataFile) {
        EXPECT_EQ(fake::FileBytes(c.dataFile), c.outcome == UpdateOutcome::Installed ? matrix::Payload() : kOld);
    }
    const auto version = fake::GetValue(kCurrentUser, kSubKey, "VerTOL");
    if (c.verTolAfter) {
        ASSERT_TRUE(version);
        EXPECT_EQ(version->bytes, BytesOf(std::string(c.verTolAfter) + '\0'));
    } else {
        EXPECT_FALSE(version);
    }
}

constexpr std::uint32_t kReadOnly = platform::kAttributeReadOnly;
constexpr std::uint32_t kHidden = platform::kAttributeHidden;
constexpr std::uint32_t kSystem = platform::kAttributeSystem;
constexpr std::uint32_t kArchive = 0x20;
const char16_t kData[] = u"C:\\App\\unit.xml";

INSTANTIATE_TEST_SUITE_P(
    Outcomes, UpdateRunTest,
    ::testing::Values(
        RunCase{"OlderVersionInstalls", "C:\\App", "7.0.7", kData, 0, UpdateOutcome::Installed, EXPECTED_DATA_VERSION},
        RunCase{"TrailingBackslash", "C:\\App\\", "7.0.7", kData, kArchive, UpdateOutcome::Installed,
                EXPECTED_DATA_VERSION},
        RunCase{"SameVersion", "C:\\App", EXPECTED_DATA_VERSION, kData, 0, UpdateOutcome::AlreadyUpdated,
                EXPECTED_DATA_VERSION},
        RunCase{"NewerVersion", "C:\\App", "7.1", kData, 0, UpdateOutcome::AlreadyUpdated, "7.1"},
        RunCase{"OrdinalTenBeforeEight", "C:\\App", "7.0.10", kData, 0, UpdateOutcome::Installed,
                EXPECTED_DATA_VERSION},
        RunCase{"ProperPrefixIsOlder", "C:\\App", "7.0", kData, 0, UpdateOutcome::Installed, EXPECTED_DATA_VERSION},
        RunCase{"LowerCaseSortsAfterDigits", "C:\\App", "a", kData, 0, UpdateOutcome::AlreadyUpdated, "a"},
        RunCase{"MissingVersionReadsAsSentinel", "C:\\App", nullptr, kData, 0, UpdateOutcome::AlreadyUpdated, nullptr},
        RunCase{"NoDataFile", "C:\\App", "7.0.7", nullptr, 0, UpdateOutcome::NoUpdateNeeded, "7.0.7"},
        RunCase{"HiddenDataFile", "C:\\App", "7.0.7", kData, kHidden, UpdateOutcome::NoUpdateNeeded, "7.0.7"},
        RunCase{"SystemDataFile", "C:\\App", "7.0.7", kData, kSystem, UpdateOutcome::NoUpdateNeeded, "7.0.7"},
        RunCase{"ReadOnlyDataFile", "C:\\App", "7.0.7", kData, kReadOnly, UpdateOutcome::Failed, "7.0.7"},
        RunCase{"MissingFolderValue", nullptr, "7.0.7", u"Error.\\unit.xml", 0, UpdateOutcome::NoUpdateNeeded, "7.0.7"},
        RunCase{"EmptyFolderValue", "", "7.0.7", u"\\unit.xml", 0, UpdateOutcome::NoUpdateNeeded, "7.0.7"},
        RunCase{"MalformedFolder", "C:\\A*p", "7.0.7", nullptr, 0, UpdateOutcome::Failed, "7.0.7"}),
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

TEST_F(FakePlatformTest, FolderIsADirectoryNamedLikeTheDataFile) {
    fake::PutString(kCurrentUser, kSubKey, "PathTOL", "C:\\App");
    fake::PutString(kCurrentUser, kSubKey, "VerTOL", "7.0.7");
    fake::AddFolder(u"C:\\App\\unit.xml");
    EXPECT_EQ(app::UpdateRun(), UpdateOutcome::NoUpdateNeeded);
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

TEST_F(FakePlatformTest, ARunningTargetChangesNothing) {
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
