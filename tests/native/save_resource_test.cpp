#include "resources/Update.h"

#include <algorithm>

#include "platform/decimal.h"
#include "resources/resource_access.h"
#include "test_support.h"

namespace {

using fake::FileOp;
using resources::SaveResourceToFile;

const char16_t kFolder[] = u"C:\\App";
const char16_t kTarget[] = u"C:\\App\\unit.xml";

fake::Bytes Payload() {
    const auto payload = resources::LoadDataResource(101, u"CUSTOM");
    return fake::Bytes(payload.value().data, payload.value().data + payload.value().size);
}

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
    ASSERT_EQ(Payload().size(), 23698u);
    fake::PutFile(kTarget, fake::Bytes(40000, 'x'), platform::kAttributeHidden);
    EXPECT_TRUE(SaveResourceToFile(101, u"CUSTOM", kTarget));
    EXPECT_EQ(fake::FileBytes(kTarget), Payload());
    ExpectFolderHoldsOnly({kTarget});
    EXPECT_EQ(platform::ProbeFile(kTarget).attributes, platform::kAttributeHidden) << "attributes must survive";
}

TEST_F(SaveResourceToFileTest, CreatesAMissingTarget) {
    fake::AddFolder(kFolder);
    EXPECT_TRUE(SaveResourceToFile(101, u"custom", kTarget));
    EXPECT_EQ(fake::FileBytes(kTarget), Payload());
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
// (or stays absent) and no temporary or backup file is left.
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

INSTANTIATE_TEST_SUITE_P(
    Steps, SaveResourceFaultTest,
    ::testing::Values(FaultCase{"CreateTemporary", FileOp::CreateNew, true},
                      FaultCase{"DiskFullHalfway", FileOp::Write, true, 10000},
                      FaultCase{"WriteNothing", FileOp::Write, false},
                      FaultCase{"Flush", FileOp::Flush, true},
                      FaultCase{"Close", FileOp::Close, true},
                      FaultCase{"Replace", FileOp::Replace, true},
                      FaultCase{"ReplaceLeavesOldFileInBackup", FileOp::ReplaceLosingTarget, true},
                      FaultCase{"MoveIntoPlace", FileOp::Move, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SaveResourceToFileTest, PassesOverTemporaryFilesLeftByAKilledRun) {
    fake::PutFile(kTarget, kOld);
    std::vector<std::u16string> names = {kTarget};
    for (int n = 1; n <= 100; ++n) {  // the names this process would try first
        names.push_back(u"C:\\App\\unit.xml.4242-" + platform::Decimal(n) + u".new");
        fake::PutFile(names.back(), kOld);
    }
    EXPECT_TRUE(SaveResourceToFile(101, u"CUSTOM", kTarget));
    EXPECT_EQ(fake::FileBytes(kTarget), Payload());
    ExpectFolderHoldsOnly(names);  // a leftover is not ours to overwrite or delete
}

}  // namespace
