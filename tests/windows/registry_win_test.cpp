// The registry module against the real registry: values stored through both
// the ANSI and the Unicode functions, of every type the read may meet.
#include "registry/RegEditor.h"

#include "win_test_support.h"
#include "tests/matrix/expect_read.h"
#include "tests/matrix/registry_cases.h"

namespace {

using namespace wintest;
using registry::ReadStringValue;
using registry::WriteStringValue;

const char16_t kKey[] = u"HKEY_CURRENT_USER\\Software\\Qd";

using RegistryTest = QdKeyTest;

// The values every build reads the same way (tests/matrix), stored here in
// the real registry through RegSetValueExA.
class StoredValueTest : public RegistryTest, public ::testing::WithParamInterface<matrix::StoredValueCase> {};

TEST_P(StoredValueTest, ReadsBackAsTheAlgorithmSays) {
    const matrix::StoredValueCase& c = GetParam();
    SetValueA("Value", c.type, BytesOf(c.bytes));
    matrix::ExpectRead(ReadStringValue(kKey, u"Value"), c.raises, c.expected);
    EXPECT_TRUE(Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Values, StoredValueTest, ::testing::ValuesIn(matrix::kStoredValueCases),
                         [](const auto& info) { return std::string(info.param.name); });

// What only the real registry shows: values stored as UTF-16 units
// (RegSetValueExW) and read through the ANSI query, which converts them to
// code page 936 and measures the buffer in ANSI bytes.
struct UnicodeCase {
    const char* name;
    std::wstring wide;  // stored as given, no terminator added
    std::u16string expected;
};

class UnicodeValueTest : public RegistryTest, public ::testing::WithParamInterface<UnicodeCase> {};

TEST_P(UnicodeValueTest, ReadsBackThroughCodePage936) {
    const UnicodeCase& c = GetParam();
    SetValueW(L"Value", REG_SZ, c.wide.data(), static_cast<DWORD>(c.wide.size() * sizeof(wchar_t)));
    matrix::ExpectRead(ReadStringValue(kKey, u"Value"), false, c.expected);
}

const std::wstring k127Wide(127, L'中');  // 254 bytes in code page 936

INSTANTIATE_TEST_SUITE_P(Values, UnicodeValueTest,
                         ::testing::Values(UnicodeCase{"Chinese", std::wstring(L"C:\\工程\0", 6), u"C:\\工程"},
                                           UnicodeCase{"LongestInAnsi", k127Wide + L'\0', std::u16string(127, u'中')},
                                           UnicodeCase{"TooLongInAnsi", k127Wide + L"a" + L'\0', u"Error."}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistryTest, MissingValueOrKeyReadsAsTheSentinel) {
    EXPECT_EQ(ReadStringValue(kKey, u"Absent").value(), u"Error.");
    EXPECT_EQ(ReadStringValue(u"HKEY_CURRENT_USER\\Software\\NoSuchKey", u"PathTOL").value(), u"Error.");
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(RegistryTest, PathsWithoutARootAndMalformedPaths) {
    EXPECT_EQ(ReadStringValue(u"HKEY_FOO\\x", u"v").value(), u"");
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(ReadStringValue(u"hkey_current_user\\Software\\Qd", u"v").value(), u"");
    EXPECT_FALSE(WriteStringValue(u"HKEY_CURRENT_USER\\Software\\Qd\\", u"v", u"x"));
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_EQ(Boxes()[0].text, u"Incorrect fmt:\r\n\r\nhkey_current_user\\Software\\Qd");
    EXPECT_EQ(Boxes()[1].text, u"Incorrect fmt:\r\n\r\nHKEY_CURRENT_USER\\Software\\Qd\\");
    EXPECT_EQ(Boxes()[1].title, u"Tolvar Update");
    EXPECT_EQ(Boxes()[1].icon, platform::MessageIcon::None);
}

TEST_F(RegistryTest, WriteStoresAnsiAndReadsBackThroughBothInterfaces) {
    ASSERT_TRUE(WriteStringValue(kKey, u"VerTOL", u"7.0.8"));
    ASSERT_TRUE(WriteStringValue(kKey, u"Folder", u"D:\\工程"));
    Bytes bytes;
    ASSERT_TRUE(ReadValueA("VerTOL", bytes));
    EXPECT_EQ(bytes, BytesOf(std::string("7.0.8\0", 6)));
    ASSERT_TRUE(ReadValueA("Folder", bytes));
    EXPECT_EQ(bytes, BytesOf(std::string("D:\\\xB9\xA4\xB3\xCC\0", 8)));
    // An empty text is stored as its terminator alone.
    ASSERT_TRUE(WriteStringValue(kKey, u"Empty", u""));
    ASSERT_TRUE(ReadValueA("Empty", bytes));
    EXPECT_EQ(bytes, BytesOf(std::string("\0", 1)));

    wchar_t wide[32] = {};
    DWORD size = sizeof wide;
    DWORD type = 0;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, kQd, L"Folder", RRF_RT_ANY, &type, wide, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(wide, L"D:\\工程");
    EXPECT_EQ(ReadStringValue(kKey, u"Folder").value(), u"D:\\工程");
}

TEST_F(RegistryTest, WriteUnderAMissingKeyCreatesNothing) {
    EXPECT_FALSE(WriteStringValue(u"HKEY_CURRENT_USER\\Software\\Qd\\Missing", u"VerTOL", u"7.0.8"));
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Qd\\Missing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, RootAloneAddressesTheRoot) {
    HKEY root = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"", 0, KEY_SET_VALUE, &root), ERROR_SUCCESS);
    RegSetValueExA(root, "UpDateRootValue", 0, REG_SZ, reinterpret_cast<const BYTE*>("top"), 4);
    EXPECT_EQ(ReadStringValue(u"HKEY_CURRENT_USER", u"UpDateRootValue").value(), u"top");
    RegDeleteValueA(root, "UpDateRootValue");
    RegCloseKey(root);
}

}  // namespace
