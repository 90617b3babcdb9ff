#include "resources/Update.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "platform/file_replace.h"
#include "resources/resource_access.h"
#include "test_support.h"
#include "tests/matrix/payload.h"

namespace {

using fake::FileOp;
using resources::SaveResourceToFile;

const char16_t kFolder[] = u"C:\\App";
const char16_t kTarget[] = u"C:\\App\\unit.xml";

const fake::Bytes kOld = BytesOf("<old data/>");

class SaveResourceToFileTest : public FakePlatformTest {
protected:
    void ExpectFolderHoldsOnly(std::vector<std::u16string> names) {
        std::vector<std::u16string> held = fake::FilesIn(kFolder);
        std::sort(held.begin(), held.end());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(held, names);
    }
    // The payload saved into C:\App, through a folder handle held for the call.
    static platform::Status SaveIntoFolder() {
        platform::UniqueFile folder;
        const platform::Status opened = platform::OpenFolder(kFolder, platform::Links::Follow, folder);
        EXPECT_TRUE(opened.ok());
        return opened.ok() ? resources::SaveResource(101, u"CUSTOM", folder, u"unit.xml") : opened;
    }
};

// What users and Tolvar notice of the old file survives: its attributes
// (but offline: the new file is wholly on the disk), its creation time and
// its DACL, even one that does not let the writer replace or remove the file
// it is given to (the writer here is elevated, as the copy that needs it is).
TEST_F(SaveResourceToFileTest, ReplacesALongerFileWithExactlyThePayloadAndKeepsWhatUsersNotice) {
    ASSERT_EQ(matrix::Payload().size(), 23698u);
    fake::PutFile(kTarget, fake::Bytes(40000, 'x'), platform::kAttributeHidden | platform::kAttributeOffline);
    fake::SetDacl(kTarget, u"protected;deny-replace");
    fake::SetElevated(true);
    const std::uint64_t created = fake::CreationOf(kTarget);
    EXPECT_TRUE(SaveResourceToFile(101, u"CUSTOM", kTarget));
    EXPECT_EQ(fake::FileBytes(kTarget), matrix::Payload());
    ExpectFolderHoldsOnly({u"unit.xml"});
    EXPECT_EQ(fake::CreationOf(kTarget), created) << "the creation time must survive";
    EXPECT_EQ(fake::DaclOf(kTarget), u"protected;deny-replace");
    platform::UniqueFile folder;
    ASSERT_TRUE(platform::OpenFolder(kFolder, platform::Links::Follow, folder).ok());
    EXPECT_EQ(platform::AttributesIn(folder, u"unit.xml").value(), platform::kAttributeHidden);
}

// The old file is never moved away or removed: the one change the data file
// sees is the rename that puts the new file in its place.
TEST_F(SaveResourceToFileTest, TheTargetChangesInOneRename) {
    for (const bool targetExists : {true, false}) {
        fake::Reset();
        fake::AddFolder(kFolder);
        if (targetExists) fake::PutFile(kTarget, kOld);
        ASSERT_TRUE(SaveResourceToFile(101, u"CUSTOM", kTarget));
        std::vector<std::u16string> changes;
        for (const fake::Change& change : fake::Changes())
            if (change.name == u"unit.xml") changes.push_back(change.what);
        EXPECT_EQ(changes, std::vector<std::u16string>{u"rename"}) << "target exists: " << targetExists;
    }
}

// A file held by another program refuses the rename. A hold of a moment (a
// scanner on the new file, Tolvar reading the old) is waited out for about
// half a second; past that the save fails as busy, with the old file in
// place and nothing left.
TEST_F(SaveResourceToFileTest, WaitsOutAHoldOfAMomentOnEitherFile) {
    const struct {
        const char* name;
        int busy;  // renames refused
        bool targetHeld;
        bool saved;
    } cases[] = {{"free", 0, false, true},
                 {"new file held once", 1, false, true},
                 {"held for 5 tries", 5, false, true},
                 {"held past the retries", 6, false, false},
                 {"old file held open", 0, true, false}};
    for (const auto& c : cases) {
        fake::Reset();
        fake::PutFile(kTarget, kOld);
        if (c.busy) fake::FailNext(FileOp::Rename, platform::kErrorSharingViolation, c.busy);
        fake::SetLocked(kTarget, c.targetHeld);
        fake::AddFolder(kFolder);
        const platform::Status saved = SaveIntoFolder();
        EXPECT_EQ(saved.ok(), c.saved) << c.name;
        if (!saved.ok()) {
            EXPECT_EQ(saved.error(), platform::Error(platform::Step::Rename, platform::kErrorSharingViolation))
                << c.name;
            EXPECT_FALSE(platform::NeedsRights(saved.error())) << c.name << ": no prompt helps a held file";
        }
        EXPECT_EQ(fake::FileBytes(kTarget), c.saved ? matrix::Payload() : kOld) << c.name;
        ExpectFolderHoldsOnly({u"unit.xml"});
        std::uint32_t waited = 0;
        for (std::uint32_t pause : fake::Pauses()) waited += pause;
        if (!c.saved) {
            EXPECT_TRUE(waited >= 400 && waited <= 700) << c.name << ": gave up after " << waited << " ms";
        }
    }
}

// A refusal for want of rights is told apart from a busy file: the rename is
// not retried, and the error says an elevated copy may succeed.
TEST_F(SaveResourceToFileTest, TellsMissingRightsFromABusyFile) {
    fake::PutFile(kTarget, kOld);
    fake::SetDacl(kTarget, u"deny-replace");
    const platform::Status saved = SaveIntoFolder();
    ASSERT_FALSE(saved.ok());
    EXPECT_EQ(saved.error(), platform::Error(platform::Step::Rename, platform::kErrorAccessDenied));
    EXPECT_TRUE(platform::NeedsRights(saved.error()));
    EXPECT_TRUE(fake::Pauses().empty()) << "retried a refusal no wait can end";
    EXPECT_EQ(fake::FileBytes(kTarget), kOld);
    ExpectFolderHoldsOnly({u"unit.xml"});
}

TEST_F(SaveResourceToFileTest, CreatesAMissingTarget) {
    fake::AddFolder(kFolder);
    EXPECT_TRUE(SaveResourceToFile(101, u"custom", kTarget));
    EXPECT_EQ(fake::FileBytes(kTarget), matrix::Payload());
    ExpectFolderHoldsOnly({u"unit.xml"});
}

TEST_F(SaveResourceToFileTest, RefusesTargetsItMustNotWrite) {
    fake::PutFile(kTarget, kOld, platform::kAttributeReadOnly);
    EXPECT_FALSE(SaveResourceToFile(101, u"CUSTOM", kTarget)) << "read-only";
    EXPECT_EQ(fake::FileBytes(kTarget), kOld);

    fake::AddFolder(u"C:\\App\\folder.xml");
    EXPECT_FALSE(SaveResourceToFile(101, u"CUSTOM", u"C:\\App\\folder.xml")) << "a folder";
    platform::UniqueFile app;
    ASSERT_TRUE(platform::OpenFolder(kFolder, platform::Links::Follow, app).ok());
    EXPECT_EQ(resources::SaveResource(101, u"CUSTOM", app, u"folder.xml").error(),
              platform::Error(platform::Step::FindDataFile, platform::kErrorAccessDenied))
        << "a folder is refused from its attributes, before anything is written, as no right changes it";

    fake::PutFile(u"C:\\Elsewhere\\real.xml", kOld);
    fake::AddLink(u"C:\\App\\link.xml", u"C:\\Elsewhere\\real.xml");
    EXPECT_FALSE(SaveResourceToFile(101, u"CUSTOM", u"C:\\App\\link.xml")) << "a link";
    EXPECT_TRUE(fake::IsLink(u"C:\\App\\link.xml"));
    EXPECT_EQ(fake::FileBytes(u"C:\\Elsewhere\\real.xml"), kOld);

    EXPECT_FALSE(SaveResourceToFile(101, u"CUSTOM", u"C:\\Missing\\unit.xml")) << "no folder";
    EXPECT_FALSE(SaveResourceToFile(101, u"CUSTOM", u"C:\\App\\bad*name.xml")) << "malformed";
    ExpectFolderHoldsOnly({u"unit.xml", u"link.xml"});
}

TEST_F(SaveResourceToFileTest, AnAbsentResourceTouchesNothing) {
    fake::AddFolder(kFolder);
    EXPECT_FALSE(SaveResourceToFile(102, u"CUSTOM", kTarget));
    EXPECT_FALSE(SaveResourceToFile(101, u"BITMAP", kTarget));
    const platform::Result<resources::Bytes> absent = resources::LoadDataResource(102, u"CUSTOM");
    ASSERT_FALSE(absent.ok());
    EXPECT_EQ(absent.error().code(), platform::kErrorResourceNameNotFound) << "the code Windows gives, by its name";
    ExpectFolderHoldsOnly({});
    EXPECT_EQ(fake::FileCallCount(), 0u) << "a folder was opened for a resource the program does not carry";
}

// A failure injected at each step: the target keeps its old bytes (or stays
// absent), no temporary file is left, and the failing step is named.
struct FaultCase {
    const char* name;
    FileOp op;
    bool targetExists;
    platform::Step step;
    std::size_t bytesBeforeFailure = 0;
};

class SaveResourceFaultTest : public SaveResourceToFileTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(SaveResourceFaultTest, LeavesTheTargetWhole) {
    const FaultCase& c = GetParam();
    fake::AddFolder(kFolder);
    if (c.targetExists) fake::PutFile(kTarget, kOld);
    fake::FailNext(c.op, kDiskFull, 1, c.bytesBeforeFailure);

    const platform::Status saved = SaveIntoFolder();
    ASSERT_FALSE(saved.ok());
    EXPECT_EQ(saved.error(), platform::Error(c.step, kDiskFull));
    if (c.targetExists) {
        EXPECT_EQ(fake::FileBytes(kTarget), kOld);
        ExpectFolderHoldsOnly({u"unit.xml"});
    } else {
        ExpectFolderHoldsOnly({});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SaveResourceFaultTest,
    ::testing::Values(FaultCase{"ExamineTarget", FileOp::Examine, true, platform::Step::FindDataFile},
                      FaultCase{"ReadTheTargetsDacl", FileOp::ReadFacts, true, platform::Step::CopyAttributes},
                      FaultCase{"CreateTemporary", FileOp::CreateNew, true, platform::Step::CreateTemporary},
                      FaultCase{"DiskFullHalfway", FileOp::Write, true, platform::Step::Write, 10000},
                      FaultCase{"WriteNothing", FileOp::Write, false, platform::Step::Write},
                      FaultCase{"Flush", FileOp::Flush, true, platform::Step::Flush},
                      FaultCase{"CopyAttributes", FileOp::ApplyFacts, true, platform::Step::CopyAttributes},
                      FaultCase{"RenameOver", FileOp::Rename, true, platform::Step::Rename},
                      FaultCase{"RenameIntoAnEmptyPlace", FileOp::Rename, false, platform::Step::Rename}),
    [](const auto& info) { return std::string(info.param.name); });

// After a rename reported failed, the temporary file's handle is asked its
// name before anything is removed: a rename that took effect all the same is
// checked as any rename is, and never undone by the clean-up; a clean-up that
// cannot be made, or a name that cannot be asked, leaves the file and says so.
TEST_F(SaveResourceToFileTest, ARenameReportedFailedIsJudgedByWhereTheFileIs) {
    constexpr std::uint32_t kCleanUpError = 19;  // ERROR_WRITE_PROTECT
    const platform::Error kRenameFailed(platform::Step::Rename, kDeviceError);
    const struct {
        const char* name;
        std::function<void()> inject;
        std::optional<platform::Error> error;  // nothing: saved
        bool payloadInPlace;
        bool temporaryLeft;
    } cases[] = {
        {"took effect", [] { fake::FailNext(FileOp::RenameReportedFailed, kDeviceError); }, std::nullopt, true,
         false},
        {"took effect, then the bytes changed",
         [] {
             fake::FailNext(FileOp::RenameReportedFailed, kDeviceError);
             fake::BeforeNext(FileOp::ReadBack, [] { fake::ChangeBytes(kTarget); });
         },
         platform::Error(platform::Step::Verify, platform::kErrorInstallFailure), false, false},
        {"took effect, then could not be read back",
         [] {
             fake::FailNext(FileOp::RenameReportedFailed, kDeviceError);
             fake::FailNext(FileOp::ReadBack, kCleanUpError);
         },
         platform::Error(platform::Step::Verify, kCleanUpError), true, false},
        {"did not take effect", [] { fake::FailNext(FileOp::Rename, kDeviceError); }, kRenameFailed, false, false},
        {"did not take effect, clean-up refused",
         [] {
             fake::FailNext(FileOp::Rename, kDeviceError);
             fake::FailNext(FileOp::RemoveOnClose, kCleanUpError);
         },
         platform::Error(platform::Step::CreateTemporary, kCleanUpError), false, true},
        {"name unknown",
         [] {
             fake::FailNext(FileOp::Rename, kDeviceError);
             fake::FailNext(FileOp::QueryName, kCleanUpError);
         },
         platform::Error(platform::Step::Rename, kCleanUpError), false, true},
    };
    for (const auto& c : cases) {
        fake::Reset();
        fake::PutFile(kTarget, kOld);
        c.inject();
        const platform::Status saved = SaveIntoFolder();
        EXPECT_EQ(saved.ok(), !c.error) << c.name;
        if (c.error && !saved.ok()) {
            EXPECT_EQ(saved.error(), *c.error) << c.name;
        }
        ASSERT_TRUE(fake::FileBytes(kTarget)) << c.name << ": the data file is gone";
        EXPECT_EQ(*fake::FileBytes(kTarget) == matrix::Payload(), c.payloadInPlace) << c.name;
        EXPECT_EQ(fake::FilesIn(kFolder).size(), c.temporaryLeft ? 2u : 1u) << c.name;
        for (const fake::Change& change : fake::Changes())
            EXPECT_FALSE(change.what == u"remove" && change.name == u"unit.xml") << c.name << ": the data file removed";
    }
}

// Read back after the rename through the file's own handle: bytes that a
// filter or scanner changed fail the save, so the version is not recorded.
TEST_F(SaveResourceToFileTest, BytesChangedAfterTheRenameFailTheSave) {
    fake::PutFile(kTarget, kOld);
    fake::BeforeNext(FileOp::ReadBack, [] { fake::ChangeBytes(kTarget); });
    const platform::Status saved = SaveIntoFolder();
    EXPECT_EQ(saved.error(), platform::Error(platform::Step::Verify, platform::kErrorInstallFailure));
    ExpectFolderHoldsOnly({u"unit.xml"});
}

// Names a killed run left are passed over, and not ours to overwrite or delete.
TEST_F(SaveResourceToFileTest, PassesOverTemporaryFilesLeftByAKilledRun) {
    fake::PutFile(kTarget, kOld);
    std::vector<std::u16string> names = {u"unit.xml"};
    for (std::uint32_t n = 1; n <= 999; ++n) {  // every name the next save tries but its last
        names.push_back(platform::TemporaryName(u"unit.xml", fake::ProcessId(), n));
        fake::PutFile(u"C:\\App\\" + names.back(), kOld);
    }
    const std::string pid = std::to_string(fake::ProcessId());
    EXPECT_EQ(names[1], u"unit.xml." + std::u16string(pid.begin(), pid.end()) + u"-1.new") << "the name documented";
    EXPECT_TRUE(SaveResourceToFile(101, u"CUSTOM", kTarget));
    EXPECT_EQ(fake::FileBytes(kTarget), matrix::Payload());
    ExpectFolderHoldsOnly(names);

    // With the last name taken too, the save gives up and says why.
    names.push_back(platform::TemporaryName(u"unit.xml", fake::ProcessId(), 1000));
    fake::PutFile(u"C:\\App\\" + names.back(), kOld);
    const platform::Status full = SaveIntoFolder();
    ASSERT_FALSE(full.ok());
    EXPECT_EQ(full.error(), platform::Error(platform::Step::CreateTemporary, platform::kErrorAlreadyExists));
    ExpectFolderHoldsOnly(names);
}

}  // namespace
