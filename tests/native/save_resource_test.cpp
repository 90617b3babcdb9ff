#include "resources/Update.h"

#include <algorithm>

#include "platform/decimal.h"
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
};

TEST_F(SaveResourceToFileTest, ReplacesALongerFileWithExactlyThePayload) {
    ASSERT_EQ(matrix::Payload().size(), 23698u);
    fake::PutFile(kTarget, fake::Bytes(40000, 'x'), platform::kAttributeHidden);
    const std::uint64_t created = fake::CreationOf(kTarget);
    EXPECT_TRUE(SaveResourceToFile(101, u"CUSTOM", kTarget));
    EXPECT_EQ(fake::FileBytes(kTarget), matrix::Payload());
    ExpectFolderHoldsOnly({kTarget});
    EXPECT_EQ(platform::ProbeFile(kTarget).attributes, platform::kAttributeHidden) << "attributes must survive";
    EXPECT_EQ(fake::CreationOf(kTarget), created) << "the creation time must survive";
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
        for (const std::u16string& entry : fake::FileJournal())
            if (entry.size() >= 8 && entry.compare(entry.size() - 8, 8, u"unit.xml") == 0) changes.push_back(entry);
        ASSERT_EQ(changes.size(), 1u) << "target exists: " << targetExists;
        EXPECT_EQ(changes[0].rfind(u"rename ", 0), 0u);
    }
}

// A scanner holding the new file: the rename is tried again for about half a
// second, then the save fails with the old file in place and nothing left.
TEST_F(SaveResourceToFileTest, RetriesARenameABusyFileRefuses) {
    const struct {
        int busy;
        bool saved;
    } cases[] = {{0, true}, {1, true}, {5, true}, {6, false}, {1000, false}};
    for (const auto& c : cases) {
        fake::Reset();
        fake::PutFile(kTarget, kOld);
        fake::RenameBusy(c.busy);
        EXPECT_EQ(SaveResourceToFile(101, u"CUSTOM", kTarget), c.saved) << c.busy << " busy";
        EXPECT_EQ(fake::FileBytes(kTarget), c.saved ? matrix::Payload() : kOld) << c.busy << " busy";
        ExpectFolderHoldsOnly({kTarget});
        std::uint32_t waited = 0;
        for (std::uint32_t pause : fake::Pauses()) waited += pause;
        EXPECT_EQ(fake::Pauses().size(), static_cast<std::size_t>(std::min(c.busy, 5))) << c.busy << " busy";
        if (!c.saved) {
            EXPECT_TRUE(waited >= 400 && waited <= 700) << "gave up after " << waited << " ms";
        }
    }
}

TEST_F(SaveResourceToFileTest, CreatesAMissingTarget) {
    fake::AddFolder(kFolder);
    EXPECT_TRUE(SaveResourceToFile(101, u"custom", kTarget));
    EXPECT_EQ(fake::FileBytes(kTarget), matrix::Payload());
    ExpectFolderHoldsOnly({kTarget});
}

TEST_F(SaveResourceToFileTest, RefusesTargetsItMustNotWrite) {
    fake::PutFile(kTarget, kOld, platform::kAttributeReadOnly);
    EXPECT_FALSE(SaveResourceToFile(101, u"CUSTOM", kTarget)) << "read-only";
    EXPECT_EQ(fake::FileBytes(kTarget), kOld);

    fake::AddFolder(u"C:\\App\\folder.xml");
    EXPECT_FALSE(SaveResourceToFile(101, u"CUSTOM", u"C:\\App\\folder.xml")) << "a folder";

    fake::PutFile(u"C:\\App\\locked.xml", kOld);
    fake::SetLocked(u"C:\\App\\locked.xml", true);
    EXPECT_FALSE(SaveResourceToFile(101, u"CUSTOM", u"C:\\App\\locked.xml")) << "held open";
    EXPECT_EQ(fake::FileBytes(u"C:\\App\\locked.xml"), kOld);

    EXPECT_FALSE(SaveResourceToFile(101, u"CUSTOM", u"C:\\Missing\\unit.xml")) << "no folder";
    EXPECT_FALSE(SaveResourceToFile(101, u"CUSTOM", u"C:\\App\\bad*name.xml")) << "malformed";
    ExpectFolderHoldsOnly({kTarget, u"C:\\App\\locked.xml"});
}

TEST_F(SaveResourceToFileTest, AnAbsentResourceTouchesNothing) {
    fake::AddFolder(kFolder);
    EXPECT_FALSE(SaveResourceToFile(102, u"CUSTOM", kTarget));
    EXPECT_FALSE(SaveResourceToFile(101, u"BITMAP", kTarget));
    ExpectFolderHoldsOnly({});
}

// A failure injected at each step of the write: the target keeps its old bytes
// (or stays absent) and no temporary file is left.
struct FaultCase {
    const char* name;
    FileOp op;
    bool targetExists;
    std::size_t bytesBeforeFailure = 0;
};

class SaveResourceFaultTest : public SaveResourceToFileTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(SaveResourceFaultTest, LeavesTheTargetWhole) {
    const FaultCase& c = GetParam();
    fake::AddFolder(kFolder);
    if (c.targetExists) fake::PutFile(kTarget, kOld);
    fake::FailNext(c.op, c.bytesBeforeFailure);

    EXPECT_FALSE(SaveResourceToFile(101, u"CUSTOM", kTarget));
    if (c.targetExists) {
        EXPECT_EQ(fake::FileBytes(kTarget), kOld);
        ExpectFolderHoldsOnly({kTarget});
    } else {
        ExpectFolderHoldsOnly({});
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, SaveResourceFaultTest,
                         ::testing::Values(FaultCase{"CreateTemporary", FileOp::CreateNew, true},
                                           FaultCase{"DiskFullHalfway", FileOp::Write, true, 10000},
                                           FaultCase{"WriteNothing", FileOp::Write, false},
                                           FaultCase{"Flush", FileOp::Flush, true},
                                           FaultCase{"Close", FileOp::Close, true},
                                           FaultCase{"CopyTraits", FileOp::CopyTraits, true},
                                           FaultCase{"RenameOver", FileOp::Rename, true},
                                           FaultCase{"RenameIntoAnEmptyPlace", FileOp::Rename, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SaveResourceToFileTest, PassesOverTemporaryFilesLeftByAKilledRun) {
    fake::PutFile(kTarget, kOld);
    std::vector<std::u16string> names = {kTarget};
    for (int n = 1; n <= 100; ++n) {  // the names this process would try first
        names.push_back(u"C:\\App\\unit.xml.4242-" + platform::Decimal(n) + u".new");
        fake::PutFile(names.back(), kOld);
    }
    EXPECT_TRUE(SaveResourceToFile(101, u"CUSTOM", kTarget));
    EXPECT_EQ(fake::FileBytes(kTarget), matrix::Payload());
    ExpectFolderHoldsOnly(names);  // a leftover is not ours to overwrite or delete
}

}  // namespace
