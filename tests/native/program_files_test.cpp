// The elevated copy (its command line and the paths it accepts) and where
// the VirtualStore keeps a legacy program's copy.
#include "app/elevated_replace.h"
#include "app/virtual_store.h"
#include "platform/path_text.h"
#include "platform/system_error.h"
#include "resources/resource_access.h"

#include <functional>
#include "test_support.h"
#include "tests/matrix/payload.h"

namespace {

constexpr std::uint32_t kInvalidParameter = platform::kErrorInvalidParameter;
constexpr std::uint32_t kLink = platform::kErrorReparsePointEncountered;
const fake::Bytes kOld = BytesOf("<old data/>");
const char16_t kData[] = u"C:\\Program Files\\Tolvar\\unit.xml";
const char16_t kPlain[] = u"C:\\Tolvar\\unit.xml";

// Every file the cases start with; a refused start must leave each as it was.
struct Seed {
    const char16_t* path;
    std::uint32_t attributes;
};
const Seed kSeeds[] = {
    {kData, 0},
    {kPlain, 0},
    {u"C:\\Program Files\\Tolvar\\other.xml", 0},
    {u"C:\\Program Files\\ReadOnly\\unit.xml", platform::kAttributeReadOnly},
    {u"C:\\Program Files\\Hidden\\unit.xml", platform::kAttributeHidden},
    {u"C:\\Program Files\\System\\unit.xml", platform::kAttributeSystem},
    {u"C:\\Real\\Tolvar\\unit.xml", 0},
    {u"Z:\\Tolvar\\unit.xml", 0},
    {u"C:\\T\\unit.xml", 0},
    {u"\\\\server\\share\\Tolvar\\unit.xml", 0},
};

struct LineCase {
    const char* name;
    const char16_t* line;               // the whole command line; %ID% is C:\Tolvar's identity
    std::optional<std::uint32_t> code;  // nothing: an ordinary start
    const char16_t* replaced;           // the seed that must now hold the payload
};

const LineCase kLines[] = {
    {"NoArguments", u"\"C:\\Downloads\\UpDate.exe\"", std::nullopt, nullptr},
    {"OnlyAnUnquotedProgramName", u"UpDate.exe", std::nullopt, nullptr},
    {"OtherArgumentsAreIgnored", u"\"C:\\Downloads\\UpDate.exe\" /s C:\\Tolvar\\unit.xml", std::nullopt, nullptr},
    {"SwitchMustBeFirst", u"UpDate.exe x /replace-data-file C:\\Tolvar\\unit.xml", std::nullopt, nullptr},
    {"SwitchMustBeWhole", u"UpDate.exe /replace-data-files C:\\Tolvar\\unit.xml", std::nullopt, nullptr},
    {"QuotedPath", u"\"C:\\Downloads\\UpDate.exe\" /replace-data-file \"C:\\Program Files\\Tolvar\\unit.xml\"", 0u,
     kData},
    {"QuotedProgramNameWithASpace",
     u"\"C:\\Users\\A B\\Downloads\\UpDate.exe\" /replace-data-file \"C:\\Tolvar\\unit.xml\"", 0u, kPlain},
    {"QuoteNeverClosed", u"UpDate.exe /replace-data-file \"C:\\Tolvar\\unit.xml", 0u, kPlain},
    {"TabsAreBlanks", u"UpDate.exe\t/replace-data-file\t\"C:\\Tolvar\\unit.xml\"\t", 0u, kPlain},
    {"OneLetterFolder", u"UpDate.exe /replace-data-file C:\\T\\unit.xml", 0u, u"C:\\T\\unit.xml"},
    {"UnquotedPathAndProgram", u"UpDate.exe  /replace-data-file C:\\Tolvar\\unit.xml ", 0u, kPlain},
    {"NameInAnyCase", u"UpDate.exe /replace-data-file \"C:\\Program Files\\Tolvar\\UNIT.XML\"", 0u, kData},
    {"TheFoldersIdentity", u"UpDate.exe /replace-data-file \"C:\\Tolvar\\unit.xml\" %ID%", 0u, kPlain},
    {"AnotherFoldersIdentity", u"UpDate.exe /replace-data-file \"C:\\Tolvar\\unit.xml\" node-99999", kInvalidParameter,
     nullptr},
    {"NoPath", u"UpDate.exe /replace-data-file", kInvalidParameter, nullptr},
    // Each of these names an existing data file the stand-in would open.
    {"RelativePath", u"UpDate.exe /replace-data-file Tolvar\\unit.xml", kInvalidParameter, nullptr},
    {"PathWithoutDrive", u"UpDate.exe /replace-data-file \\Tolvar\\unit.xml", kInvalidParameter, nullptr},
    {"VerbatimPath", u"UpDate.exe /replace-data-file \\\\?\\C:\\Tolvar\\unit.xml", kInvalidParameter, nullptr},
    {"DevicePath", u"UpDate.exe /replace-data-file \\\\.\\C:\\Tolvar\\unit.xml", kInvalidParameter, nullptr},
    {"DotDot", u"UpDate.exe /replace-data-file \"C:\\Program Files\\..\\Tolvar\\unit.xml\"", kInvalidParameter,
     nullptr},
    {"ForwardSlashes", u"UpDate.exe /replace-data-file C:/Tolvar/unit.xml", kInvalidParameter, nullptr},
    {"ShortName", u"UpDate.exe /replace-data-file C:\\PROGRA~1\\Tolvar\\unit.xml", kInvalidParameter, nullptr},
    {"ShortNameOfTheLastFolder", u"UpDate.exe /replace-data-file \"C:\\Program Files\\TOLVAR~1\\unit.xml\"",
     kInvalidParameter, nullptr},
    {"SlashBeforeTheName", u"UpDate.exe /replace-data-file C:\\Tolvar/unit.xml", kInvalidParameter, nullptr},
    {"SharePath", u"UpDate.exe /replace-data-file \\\\server\\share\\Tolvar\\unit.xml", kInvalidParameter, nullptr},
    {"NetworkDrive", u"UpDate.exe /replace-data-file Z:\\Tolvar\\unit.xml", kInvalidParameter, nullptr},
    {"ThroughALinkedFolder", u"UpDate.exe /replace-data-file C:\\Linked\\Tolvar\\unit.xml", kLink, nullptr},
    {"ALinkNamedLikeTheDataFile", u"UpDate.exe /replace-data-file C:\\LinkFile\\unit.xml", kLink, nullptr},
    {"AnotherFileName", u"UpDate.exe /replace-data-file \"C:\\Program Files\\Tolvar\\other.xml\"", kInvalidParameter,
     nullptr},
    {"AFolder", u"UpDate.exe /replace-data-file \"C:\\Program Files\\Folder\\unit.xml\"", kInvalidParameter, nullptr},
    {"ReadOnlyFile", u"UpDate.exe /replace-data-file \"C:\\Program Files\\ReadOnly\\unit.xml\"", kInvalidParameter,
     nullptr},
    {"HiddenFile", u"UpDate.exe /replace-data-file \"C:\\Program Files\\Hidden\\unit.xml\"", kInvalidParameter,
     nullptr},
    {"SystemFile", u"UpDate.exe /replace-data-file \"C:\\Program Files\\System\\unit.xml\"", kInvalidParameter,
     nullptr},
    {"MissingFolder", u"UpDate.exe /replace-data-file \"C:\\Program Files\\Gone\\unit.xml\"", kInvalidParameter,
     nullptr},
    // Not a refusal but what the file system answered, told as it is.
    {"MissingFile", u"UpDate.exe /replace-data-file \"C:\\Program Files\\unit.xml\"", platform::kErrorFileNotFound,
     nullptr},
};

class ElevatedModeTest : public FakePlatformTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(ElevatedModeTest, ReplacesOnlyAValidDataFile) {
    for (const Seed& seed : kSeeds) fake::PutFile(seed.path, kOld, seed.attributes);
    fake::AddFolder(u"C:\\Program Files\\Folder\\unit.xml");
    fake::AddLink(u"C:\\Linked", u"C:\\Real");
    fake::AddLink(u"C:\\LinkFile\\unit.xml", kPlain);
    fake::AddShortName(u"C:\\Program Files", u"PROGRA~1");
    fake::AddShortName(u"C:\\Program Files\\Tolvar", u"TOLVAR~1");
    fake::SetDriveType(u"Z:\\", fake::DriveType::Remote);
    std::u16string line = GetParam().line;
    if (const std::size_t at = line.find(u"%ID%"); at != std::u16string::npos) {
        platform::UniqueFile folder;
        ASSERT_TRUE(platform::OpenFolder(u"C:\\Tolvar", platform::Links::Follow, folder).ok());
        line.replace(at, 4, platform::IdentityOf(folder).value());
    }

    EXPECT_EQ(app::RunElevatedModeIfAsked(line), GetParam().code);

    for (const Seed& seed : kSeeds) {
        const bool replaced = GetParam().replaced && std::u16string(GetParam().replaced) == seed.path;
        EXPECT_EQ(fake::FileBytes(seed.path), replaced ? matrix::Payload() : kOld)
            << ::testing::PrintToString(std::u16string(seed.path));
    }
    EXPECT_TRUE(fake::IsLink(u"C:\\Linked") && fake::IsLink(u"C:\\LinkFile\\unit.xml"));
    EXPECT_TRUE(fake::Messages().empty()) << "the copy shows nothing";
    EXPECT_EQ(fake::RedirectionTrustEnforced(), GetParam().code.has_value());
}

INSTANTIATE_TEST_SUITE_P(Lines, ElevatedModeTest, ::testing::ValuesIn(kLines),
                         [](const auto& info) { return std::string(info.param.name); });

// The first copy's parameters reach the second as the path they name; the
// second's refusal comes back as the system's code, and a failure that
// carried no code still never reads as success.
TEST_F(FakePlatformTest, ElevatedCopyReportsTheSystemsCode) {
    const std::u16string line = u"\"C:\\Downloads\\UpDate.exe\" " + app::ElevatedReplaceParameters(kData, u"");
    const struct {
        const char* name;
        std::function<void()> fault;
        std::uint32_t code;
    } cases[] = {
        {"refused", [] { fake::RefuseNewFilesIn(u"C:\\Program Files\\Tolvar", true); }, platform::kErrorAccessDenied},
        {"no code", [] { fake::FailNext(fake::FileOp::Write, 0); }, platform::kErrorInstallFailure},
        {"file unexamined", [] { fake::FailNext(fake::FileOp::Examine, kDeviceError); }, kDeviceError},
        {"drive type unknown", [] { fake::FailNext(fake::FileOp::DriveType, kDeviceError); }, kDeviceError},
        {"replaced", [] {}, 0u},
    };
    for (const auto& c : cases) {
        fake::Reset();
        fake::PutFile(kData, kOld);
        c.fault();
        EXPECT_EQ(app::RunElevatedModeIfAsked(line), c.code) << c.name;
        EXPECT_EQ(fake::FileBytes(kData), c.code == 0 ? matrix::Payload() : kOld) << c.name;
    }
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
    {"BelowAFolderNamedWithASeparator", u"C:\\Windows\\Tolvar\\unit.xml",
     u"C:\\Users\\me\\AppData\\Local\\VirtualStore\\Windows\\Tolvar\\unit.xml"},
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

// The folder a path lies in keeps its separator where it is a root: without
// it, "C:" names a drive's current folder and "\\server\share" cannot be
// opened as a folder. Separators match only separators.
TEST(PathTextTest, FolderOfKeepsARootWhole) {
    const struct {
        const char16_t* path;
        const char16_t* folder;
    } kCases[] = {
        {u"C:\\Tolvar\\unit.xml", u"C:\\Tolvar"},
        {u"C:\\unit.xml", u"C:\\"},
        {u"unit.xml", u"."},
        {u"\\\\server\\share\\unit.xml", u"\\\\server\\share\\"},
        {u"\\\\server\\share\\Tolvar\\unit.xml", u"\\\\server\\share\\Tolvar"},
        {u"\\\\server\\\\unit.xml", u"\\\\server\\"},  // no share name: no root
        {u"\\\\server\\\\x\\unit.xml", u"\\\\server\\\\x"},  // nor an empty one before a name
    };
    for (const auto& c : kCases) EXPECT_EQ(platform::FolderOf(c.path), c.folder) << ::testing::PrintToString(std::u16string(c.path));
    EXPECT_TRUE(platform::SamePathText(u"C:/Tolvar", 0, 9, u"c:\\TOLVAR"));
    EXPECT_FALSE(platform::SamePathText(u"C:\\Tolvar", 0, 9, u"C:xTolvar"));
}

}  // namespace
