// The copy started with the right to write (its command line and the paths
// it accepts) and where the VirtualStore keeps a legacy program's copy.
#include "app/elevated_replace.h"
#include "app/virtual_store.h"
#include "platform/system_error.h"
#include "resources/resource_access.h"
#include "test_support.h"
#include "tests/matrix/payload.h"

namespace {

constexpr std::uint32_t kInvalidParameter = platform::kErrorInvalidParameter;
const fake::Bytes kOld = BytesOf("<old data/>");
const char16_t kData[] = u"C:\\Program Files\\Tolvar\\unit.xml";

// Every file the cases start with; a refused start must leave each as it was.
struct Seed {
    const char16_t* path;
    std::uint32_t attributes;
};
const Seed kSeeds[] = {
    {kData, 0},
    {u"C:\\Tolvar\\unit.xml", 0},
    {u"C:\\Program Files\\Tolvar\\other.xml", 0},
    {u"C:\\Program Files\\ReadOnly\\unit.xml", platform::kAttributeReadOnly},
    {u"C:\\Program Files\\Hidden\\unit.xml", platform::kAttributeHidden},
    {u"\\\\server\\share\\Tolvar\\unit.xml", 0},
};

struct LineCase {
    const char* name;
    const char16_t* line;               // the whole command line
    std::optional<std::uint32_t> code;  // nothing: an ordinary start
    const char16_t* replaced;           // the seed that must now hold the payload
};

const LineCase kLines[] = {
    {"NoArguments", u"\"C:\\Downloads\\UpDate.exe\"", std::nullopt, nullptr},
    {"OtherArgumentsAreIgnored", u"\"C:\\Downloads\\UpDate.exe\" /s C:\\Tolvar\\unit.xml", std::nullopt, nullptr},
    {"SwitchMustBeFirst", u"UpDate.exe x /replace-data-file C:\\Tolvar\\unit.xml", std::nullopt, nullptr},
    {"SwitchMustBeWhole", u"UpDate.exe /replace-data-files C:\\Tolvar\\unit.xml", std::nullopt, nullptr},
    {"QuotedPath", u"\"C:\\Downloads\\UpDate.exe\" /replace-data-file \"C:\\Program Files\\Tolvar\\unit.xml\"", 0u,
     kData},
    {"UnquotedPathAndProgram", u"UpDate.exe  /replace-data-file C:\\Tolvar\\unit.xml ", 0u, u"C:\\Tolvar\\unit.xml"},
    {"NameInAnyCase", u"UpDate.exe /replace-data-file \"C:\\Program Files\\Tolvar\\UNIT.XML\"", 0u, kData},
    {"SharePath", u"UpDate.exe /replace-data-file \\\\server\\share\\Tolvar\\unit.xml", 0u,
     u"\\\\server\\share\\Tolvar\\unit.xml"},
    {"NoPath", u"UpDate.exe /replace-data-file", kInvalidParameter, nullptr},
    {"RelativePath", u"UpDate.exe /replace-data-file Tolvar\\unit.xml", kInvalidParameter, nullptr},
    {"PathWithoutDrive", u"UpDate.exe /replace-data-file \\Tolvar\\unit.xml", kInvalidParameter, nullptr},
    {"DevicePath", u"UpDate.exe /replace-data-file \\\\?\\C:\\Tolvar\\unit.xml", kInvalidParameter, nullptr},
    {"AnotherFileName", u"UpDate.exe /replace-data-file \"C:\\Program Files\\Tolvar\\other.xml\"", kInvalidParameter,
     nullptr},
    {"AFolder", u"UpDate.exe /replace-data-file \"C:\\Program Files\\Folder\\unit.xml\"", kInvalidParameter, nullptr},
    {"ReadOnlyFile", u"UpDate.exe /replace-data-file \"C:\\Program Files\\ReadOnly\\unit.xml\"", kInvalidParameter,
     nullptr},
    {"HiddenFile", u"UpDate.exe /replace-data-file \"C:\\Program Files\\Hidden\\unit.xml\"", kInvalidParameter,
     nullptr},
    {"MissingFile", u"UpDate.exe /replace-data-file \"C:\\Program Files\\Gone\\unit.xml\"", kInvalidParameter, nullptr},
};

class ElevatedModeTest : public FakePlatformTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(ElevatedModeTest, ReplacesOnlyAValidDataFile) {
    for (const Seed& seed : kSeeds) fake::PutFile(seed.path, kOld, seed.attributes);
    fake::AddFolder(u"C:\\Program Files\\Folder\\unit.xml");

    EXPECT_EQ(app::RunElevatedModeIfAsked(GetParam().line), GetParam().code);

    for (const Seed& seed : kSeeds) {
        const bool replaced = GetParam().replaced && std::u16string(GetParam().replaced) == seed.path;
        EXPECT_EQ(fake::FileBytes(seed.path), replaced ? matrix::Payload() : kOld);
    }
    EXPECT_TRUE(fake::Messages().empty()) << "the copy shows nothing";
}

INSTANTIATE_TEST_SUITE_P(Lines, ElevatedModeTest, ::testing::ValuesIn(kLines),
                         [](const auto& info) { return std::string(info.param.name); });

// The first copy's parameters reach the second as the path they name; the
// second's refusal comes back as the system's code.
TEST_F(FakePlatformTest, ElevatedCopyReportsTheSystemsCode) {
    fake::PutFile(kData, kOld);
    const std::u16string line = u"\"C:\\Downloads\\UpDate.exe\" " + app::ElevatedReplaceParameters(kData);
    fake::RefuseNewFilesIn(u"C:\\Program Files\\Tolvar", true);
    EXPECT_EQ(app::RunElevatedModeIfAsked(line), platform::kErrorAccessDenied);
    EXPECT_EQ(fake::FileBytes(kData), kOld);
    fake::Reset();
    fake::PutFile(kData, kOld);
    EXPECT_EQ(app::RunElevatedModeIfAsked(line), 0u);
    EXPECT_EQ(fake::FileBytes(kData), matrix::Payload());
}

struct StoreCase {
    const char* name;
    const char16_t* dataFile;
    const char16_t* copy;  // empty: no VirtualStore copy applies
};

const char16_t kLocal[] = u"C:\\Users\\me\\AppData\\Local";
const StoreCase kStoreCases[] = {
    {"ProgramFiles", u"C:\\Program Files\\Tolvar\\unit.xml",
     u"C:\\Users\\me\\AppData\\Local\\VirtualStore\\Program Files\\Tolvar\\unit.xml"},
    {"OtherCase", u"c:\\PROGRAM FILES (X86)\\Tolvar\\unit.xml",
     u"C:\\Users\\me\\AppData\\Local\\VirtualStore\\PROGRAM FILES (X86)\\Tolvar\\unit.xml"},
    {"DirectlyInTheFolder", u"C:\\ProgramData\\unit.xml",
     u"C:\\Users\\me\\AppData\\Local\\VirtualStore\\ProgramData\\unit.xml"},
    {"NotAFolderBoundary", u"C:\\Program Files2\\Tolvar\\unit.xml", u""},
    {"AnotherDrive", u"D:\\Program Files\\Tolvar\\unit.xml", u""},
    {"Elsewhere", u"C:\\Tolvar\\unit.xml", u""},
    {"Relative", u"Program Files\\Tolvar\\unit.xml", u""},
    {"Share", u"\\\\server\\Program Files\\unit.xml", u""},
};

class VirtualStoreTest : public ::testing::TestWithParam<StoreCase> {};

TEST_P(VirtualStoreTest, NamesTheCopyOnlyBelowAVirtualisedFolder) {
    const std::vector<std::u16string> virtualized{u"C:\\Program Files", u"C:\\Program Files (x86)", u"C:\\Windows\\",
                                                  u"C:\\ProgramData"};
    EXPECT_EQ(app::VirtualStoreCopyPath(GetParam().dataFile, virtualized, kLocal), GetParam().copy);
    EXPECT_EQ(app::VirtualStoreCopyPath(GetParam().dataFile, virtualized, u""), u"") << "no local folder";
}

INSTANTIATE_TEST_SUITE_P(Paths, VirtualStoreTest, ::testing::ValuesIn(kStoreCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
