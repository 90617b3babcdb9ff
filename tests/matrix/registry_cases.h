// How a stored value reads back through ReadStringValue: one table for the
// native tests (the stand-in registry) and the Windows tests (the real
// registry, through RegSetValueExA). `raises` means the read must raise
// ERROR_INVALID_DATA instead of returning text.
#pragma once

#include <cstdint>
#include <string>

namespace matrix {

struct StoredValueCase {
    const char* name;
    std::uint32_t type;  // REG_SZ 1, REG_EXPAND_SZ 2, REG_BINARY 3, REG_DWORD 4, REG_MULTI_SZ 7
    std::string bytes;   // as stored
    std::u16string expected;
    bool raises = false;
};

inline const StoredValueCase kStoredValueCases[] = {
    {"Plain", 1, std::string("7.0.8\0", 6), u"7.0.8"},
    {"Longest", 1, std::string(254, 'a') + '\0', std::u16string(254, u'a')},
    {"TooLong", 1, std::string(255, 'a') + '\0', u"Error."},
    {"LongestUnterminated", 3, std::string(254, 'a'), std::u16string(253, u'a')},
    {"ExactlyTheBufferUnterminated", 3, std::string(255, 'a'), std::u16string(254, u'a')},
    {"SpacesTrimmedInFrontKeptBehind", 1, std::string("  abc \0", 7), u"abc "},
    {"EmbeddedNul", 1, std::string("ab\0cd\0", 6), u"ab"},
    {"EmptyWithTerminator", 1, std::string("\0", 1), u""},
    {"SpacesWithTerminator", 1, std::string("  \0", 3), u""},
    {"EmptyWithoutTerminator", 3, "", u"", true},
    {"SpacesWithoutTerminator", 3, "   ", u"", true},
    {"UnterminatedLosesItsLastCharacter", 3, "abc", u"ab"},
    {"Gbk", 1, std::string("\xD6\xD0\xCE\xC4\0", 5), u"中文"},
    {"GbkPathAtTheLimit", 1, std::string(252, 'x') + "\xD6\xD0" + '\0', std::u16string(252, u'x') + u"中"},
    {"ExpandStringIsNotExpanded", 2, std::string("%TEMP%\0", 7), u"%TEMP%"},
    {"DwordTypeIsNotExamined", 4, std::string("\x31\x32\x33\x00", 4), u"123"},
    {"MultiStringReadsItsFirstString", 7, std::string("one\0two\0\0", 9), u"one"},
};

}  // namespace matrix
