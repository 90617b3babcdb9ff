#include "registry/RegEditor.h"
#include "platform/system_error.h"

#include "test_support.h"
#include "tests/matrix/expect_read.h"
#include "tests/matrix/registry_cases.h"

namespace {

using registry::ReadStringValue;
using registry::SplitKeyPath;
using registry::WriteStringValue;

const char16_t kKey[] = u"HKEY_CURRENT_USER\\Software\\Qd";

struct SplitCase {
    std::u16string path;
    registry::RootKey root;
    std::u16string rest;  // the path afterwards
    bool malformed;       // "Incorrect fmt:" shown
};

class SplitKeyPathTest : public FakePlatformTest, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(SplitKeyPathTest, GivesRootAndSubKey) {
    const SplitCase& c = GetParam();
    std::u16string path = c.path;
    EXPECT_EQ(SplitKeyPath(path), c.root);
    EXPECT_EQ(path, c.rest);
    if (c.malformed) {
        ASSERT_EQ(fake::Messages().size(), 1u);
        EXPECT_EQ(fake::Messages()[0].text, u"Incorrect fmt:\r\n\r\n" + c.path);
        EXPECT_EQ(fake::Messages()[0].title, u"Tolvar Update");
        EXPECT_EQ(fake::Messages()[0].icon, platform::MessageIcon::None);
    } else {
        EXPECT_TRUE(fake::Messages().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SplitKeyPathTest,
    ::testing::Values(SplitCase{u"HKEY_CURRENT_USER\\Software\\Qd", 0x80000001u, u"Software\\Qd", false},
                      SplitCase{u"HKEY_CURRENT_USER", 0x80000001u, u"", false},
                      SplitCase{u"HKEY_LOCAL_MACHINE\\A", 0x80000002u, u"A", false},
                      SplitCase{u"HKEY_DYN_DATA\\A\\B", 0x80000006u, u"A\\B", false},
                      SplitCase{u"HKEY_FOO\\x", 0u, u"x", false}, SplitCase{u"HKEY_current_user\\x", 0u, u"x", false},
                      SplitCase{u"hkey_current_user\\Software", 0u, u"hkey_current_user\\Software", true},
                      SplitCase{u"HKEY_CURRENT_USER\\Software\\", 0u, u"HKEY_CURRENT_USER\\Software\\", true},
                      SplitCase{u"HKEY", 0u, u"HKEY", true}, SplitCase{u"", 0u, u"", true}));

// A read and a write through a root name reach that root of the registry and
// no other; a name that differs from one by a letter's case, a space or a
// character reaches none, and the read is then empty rather than "Error.".
struct RootCase {
    const char16_t* name;
    std::optional<registry::RootKey> root;  // nothing: no root
};

void PrintTo(const RootCase& c, std::ostream* out) {
    *out << std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name));
}

class RootNameTest : public FakePlatformTest, public ::testing::WithParamInterface<RootCase> {};

TEST_P(RootNameTest, ReachesTheRootItNamesAndNoOther) {
    const RootCase& c = GetParam();
    constexpr registry::RootKey kRoots[] = {0x80000000u, 0x80000001u, 0x80000002u, 0x80000003u,
                                            0x80000004u, 0x80000005u, 0x80000006u};
    for (const registry::RootKey root : kRoots) fake::PutString(root, "Software\\Qd", "Root", std::to_string(root));
    const std::u16string path = std::u16string(c.name) + u"\\Software\\Qd";

    const std::string seen = std::to_string(c.root.value_or(0));
    EXPECT_EQ(ReadStringValue(path, u"Root").value(), c.root ? std::u16string(seen.begin(), seen.end()) : u"");
    const platform::Status written = WriteStringValue(path, u"Mark", u"here");
    EXPECT_EQ(written.ok() ? 0u : written.error().code(), c.root ? 0u : platform::kErrorFileNotFound);
    for (const registry::RootKey root : kRoots)
        EXPECT_EQ(fake::GetValue(root, "Software\\Qd", "Mark").has_value(), c.root == root) << std::hex << root;
    EXPECT_TRUE(fake::Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Names, RootNameTest,
    ::testing::Values(RootCase{u"HKEY_CLASSES_ROOT", 0x80000000u}, RootCase{u"HKEY_CURRENT_USER", 0x80000001u},
                      RootCase{u"HKEY_LOCAL_MACHINE", 0x80000002u}, RootCase{u"HKEY_USERS", 0x80000003u},
                      RootCase{u"HKEY_PERFORMANCE_DATA", 0x80000004u}, RootCase{u"HKEY_CURRENT_CONFIG", 0x80000005u},
                      RootCase{u"HKEY_DYN_DATA", 0x80000006u}, RootCase{u"HKEY_Current_User", std::nullopt},
                      RootCase{u"HKEY_CURRENT_USER ", std::nullopt}, RootCase{u"HKEY_USER", std::nullopt},
                      RootCase{u"HKEY_USERS_", std::nullopt}, RootCase{u"HKEY_CU", std::nullopt}));

class ReadStringValueTest : public FakePlatformTest, public ::testing::WithParamInterface<matrix::StoredValueCase> {};

TEST_P(ReadStringValueTest, DecodesTheStoredBytes) {
    const matrix::StoredValueCase& c = GetParam();
    fake::PutValue(kCurrentUser, "Software\\Qd", "Value", c.type, BytesOf(c.bytes));
    const auto read = ReadStringValue(kKey, u"Value");
    matrix::ExpectRead(read, c.raises, c.expected);
}

INSTANTIATE_TEST_SUITE_P(StoredValues, ReadStringValueTest, ::testing::ValuesIn(matrix::kStoredValueCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FakePlatformTest, ReadOfAMissingValueOrKeyIsTheSentinel) {
    fake::CreateKey(kCurrentUser, "Software\\Qd");
    EXPECT_EQ(ReadStringValue(kKey, u"Absent").value(), u"Error.");
    EXPECT_EQ(ReadStringValue(u"HKEY_CURRENT_USER\\Software\\Nowhere", u"PathTOL").value(), u"Error.");
    EXPECT_TRUE(fake::Messages().empty());
}

TEST_F(FakePlatformTest, ReadOfARootAloneOpensTheRoot) {
    fake::PutString(kCurrentUser, "", "AtRoot", "top");
    EXPECT_EQ(ReadStringValue(u"HKEY_CURRENT_USER", u"AtRoot").value(), u"top");
}

TEST_F(FakePlatformTest, ReadWithoutARootIsEmptyAndSilent) {
    EXPECT_EQ(ReadStringValue(u"HKEY_FOO\\x", u"v").value(), u"");
    EXPECT_TRUE(fake::Messages().empty());
    EXPECT_EQ(ReadStringValue(u"hkey_current_user\\x", u"v").value(), u"");
    EXPECT_EQ(fake::Messages().size(), 1u);
}

TEST_F(FakePlatformTest, WriteStoresAnsiTextWithOneTerminator) {
    fake::CreateKey(kCurrentUser, "Software\\Qd");
    EXPECT_TRUE(WriteStringValue(kKey, u"VerTOL", u"7.0.8"));
    EXPECT_TRUE(WriteStringValue(kKey, u"Name", u"中文"));
    const auto version = fake::GetValue(kCurrentUser, "Software\\Qd", "VerTOL");
    ASSERT_TRUE(version);
    EXPECT_EQ(version->type, 1u);  // REG_SZ
    EXPECT_EQ(version->bytes, BytesOf(std::string("7.0.8\0", 6)));
    EXPECT_EQ(fake::GetValue(kCurrentUser, "Software\\Qd", "Name")->bytes,
              BytesOf(std::string("\xD6\xD0\xCE\xC4\0", 5)));
    EXPECT_EQ(ReadStringValue(kKey, u"Name").value(), u"中文");
}

TEST_F(FakePlatformTest, WriteNeverCreatesAKeyAndSaysWhenNothingWasStored) {
    EXPECT_FALSE(WriteStringValue(kKey, u"VerTOL", u"7.0.8"));
    EXPECT_FALSE(fake::GetValue(kCurrentUser, "Software\\Qd", "VerTOL"));
    EXPECT_FALSE(WriteStringValue(u"HKEY_FOO\\Software\\Qd", u"VerTOL", u"7.0.8"));
    EXPECT_TRUE(fake::Messages().empty());

    fake::CreateKey(kCurrentUser, "Software\\Qd");
    fake::FailNextSetValue();
    EXPECT_FALSE(WriteStringValue(kKey, u"VerTOL", u"7.0.8"));
    EXPECT_FALSE(fake::GetValue(kCurrentUser, "Software\\Qd", "VerTOL"));
}

}  // namespace
