// What Windows' own resource loader finds in a built UpDate.exe, held to what
// pefile reads from the same file (check_catalogue.py --listing). The release
// checks judge the catalogue from pefile's reading alone, without Wine; this
// is where that reading is shown to be what the program gets: every resource
// and no other, found by type, name and language with the same bytes (and by
// the program's own lookup in language 2052), the strings as LoadStringW and
// the program's loader give them, and the version block as VerQueryValueW
// reads it.
//
//   catalogue_test UpDate.exe LISTING
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "resources/resource_access.h"
#include "resources/resource_access_win32.h"
#include "tests/matrix/fault_matrix.h"

namespace {

HMODULE g_exe = nullptr;
using Fields = std::vector<std::string>;
std::vector<Fields> g_listing;  // the listing's lines, split at tabs

std::vector<Fields> Lines(const std::string& kind) {
    std::vector<Fields> lines;
    for (const Fields& line : g_listing)
        if (!line.empty() && line[0] == kind) lines.push_back(line);
    return lines;
}

// The listing writes texts as UTF-16LE in hex.
std::u16string FromHex(const std::string& hex) {
    std::u16string text;
    for (std::size_t i = 0; i + 4 <= hex.size(); i += 4)
        text += static_cast<char16_t>(std::stoul(hex.substr(i + 2, 2) + hex.substr(i, 2), nullptr, 16));
    return text;
}

// A resource type or name as the listing writes it: a number, or a name such as "CUSTOM".
class Label {
public:
    explicit Label(const std::string& text) : text_(text), wide_(text.begin(), text.end()) {}
    LPCWSTR get() const {
        return text_.find_first_not_of("0123456789") == std::string::npos ? MAKEINTRESOURCEW(std::stoul(text_))
                                                                          : wide_.c_str();
    }

private:
    std::string text_;
    std::wstring wide_;
};

std::string LabelOf(LPCWSTR id) {
    if (IS_INTRESOURCE(id)) return std::to_string(reinterpret_cast<ULONG_PTR>(id));
    return std::string(id, id + wcslen(id));
}

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR found) {
    reinterpret_cast<std::set<std::string>*>(found)->insert(LabelOf(type) + ' ' + LabelOf(name) + ' ' +
                                                            std::to_string(language));
    return TRUE;
}
BOOL CALLBACK AddName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR found) {
    return EnumResourceLanguagesW(module, type, name, AddLanguage, found);
}
BOOL CALLBACK AddType(HMODULE module, LPWSTR type, LONG_PTR found) {
    return EnumResourceNamesW(module, type, AddName, found);
}

std::string Sha256Of(const void* data, DWORD size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    return matrix::Sha256(matrix::Bytes(bytes, bytes + size));
}

TEST(Loader, FindsEveryResourcePefileReadsAndNoOther) {
    std::set<std::string> listed, enumerated;
    for (const Fields& line : Lines("resource")) {
        ASSERT_EQ(line.size(), 6u);
        const std::string what = line[1] + ' ' + line[2] + ' ' + line[3];
        listed.insert(what);
        const Label type(line[1]), name(line[2]);
        const WORD language = static_cast<WORD>(std::stoul(line[3]));
        const HRSRC found = FindResourceExW(g_exe, type.get(), name.get(), language);
        ASSERT_NE(found, nullptr) << "resource " << what;
        const DWORD size = SizeofResource(g_exe, found);
        EXPECT_EQ(std::to_string(size), line[4]) << "resource " << what;
        EXPECT_EQ(Sha256Of(LockResource(LoadResource(g_exe, found)), size), line[5]) << "resource " << what;
        if (language == resources::kResourceLanguage) {  // as the program looks it up
            DWORD ownSize = 0;
            const void* own = resources::FindResourceBytes(type.get(), name.get(), &ownSize);
            ASSERT_NE(own, nullptr) << "resource " << what;
            EXPECT_EQ(Sha256Of(own, ownSize), line[5]) << "resource " << what;
        }
    }
    ASSERT_TRUE(EnumResourceTypesW(g_exe, AddType, reinterpret_cast<LONG_PTR>(&enumerated)));
    EXPECT_EQ(enumerated, listed);
}

TEST(Loader, GivesTheStringsPefileReadsAndNoOthers) {
    const std::vector<Fields> strings = Lines("string");
    ASSERT_FALSE(strings.empty());
    std::set<unsigned> listed, blocks;
    for (const Fields& line : strings) {
        ASSERT_EQ(line.size(), 4u);
        const unsigned id = std::stoul(line[1]);
        listed.insert(id);
        blocks.insert(id / 16);
        const std::u16string text = FromHex(line[3]);
        const auto own = resources::LoadStringResource(id);
        ASSERT_TRUE(own.ok()) << "string " << id;
        EXPECT_EQ(own.value(), text) << "string " << id << ", as the program loads it";
        wchar_t buffer[512] = {};
        const int length = LoadStringW(g_exe, id, buffer, 512);
        EXPECT_EQ(std::u16string(buffer, buffer + length), text) << "string " << id << ", as LoadStringW loads it";
    }
    // The other places of the same string tables are empty.
    for (const unsigned block : blocks)
        for (unsigned id = block * 16; id < block * 16 + 16; ++id) {
            if (listed.count(id)) continue;
            EXPECT_FALSE(resources::LoadStringResource(id).ok()) << "no string " << id;
        }
}

TEST(Loader, ReadsTheVersionBlockAsPefileDoes) {
    DWORD size = 0;
    const void* block = resources::FindResourceBytes(RT_VERSION, MAKEINTRESOURCEW(1), &size);
    ASSERT_NE(block, nullptr);
    std::vector<unsigned char> copy(static_cast<const unsigned char*>(block),
                                    static_cast<const unsigned char*>(block) + size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(copy.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    const std::vector<Fields> fixedLines = Lines("fixed");
    ASSERT_EQ(fixedLines.size(), 1u);
    EXPECT_EQ(std::to_string(fixed->dwFileVersionMS) + ' ' + std::to_string(fixed->dwFileVersionLS) + ' ' +
                  std::to_string(fixed->dwProductVersionMS) + ' ' + std::to_string(fixed->dwProductVersionLS),
              fixedLines[0].at(1));

    const std::vector<Fields> fields = Lines("version");
    ASSERT_FALSE(fields.empty());
    for (const Fields& line : fields) {
        ASSERT_EQ(line.size(), 4u);
        const std::wstring query = L"\\StringFileInfo\\" + std::wstring(line[1].begin(), line[1].end()) + L"\\" +
                                   std::wstring(line[2].begin(), line[2].end());
        wchar_t* text = nullptr;
        ASSERT_TRUE(VerQueryValueW(copy.data(), query.c_str(), reinterpret_cast<void**>(&text), &length)) << line[2];
        EXPECT_EQ(std::u16string(text, text + wcslen(text)), FromHex(line[3])) << line[2];
    }

    WORD* translation = nullptr;
    ASSERT_TRUE(
        VerQueryValueW(copy.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    char found[32];
    std::snprintf(found, sizeof found, "0x%04x 0x%04x", translation[0], translation[1]);
    const std::vector<Fields> translations = Lines("translation");
    ASSERT_EQ(translations.size(), 1u);
    EXPECT_EQ(found, translations[0].at(1));
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: catalogue_test UpDate.exe LISTING\n");
        return 2;
    }
    std::ifstream listing(argv[2]);
    for (std::string line; std::getline(listing, line);) {
        Fields fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
        g_listing.push_back(fields);
    }
    if (g_listing.empty()) {
        std::fprintf(stderr, "nothing listed in %s\n", argv[2]);
        return 2;
    }
    const std::wstring path(argv[1], argv[1] + strlen(argv[1]));
    g_exe = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!g_exe) {
        std::fprintf(stderr, "cannot load %s as a data file: error %lu\n", argv[1], GetLastError());
        return 2;
    }
    resources::SetResourceModule(g_exe);
    return RUN_ALL_TESTS();
}
