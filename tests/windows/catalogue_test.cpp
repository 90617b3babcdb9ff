// The resource catalogue read back from the built UpDate.exe, loaded as a data file.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "catalogue.h"
#include "resources/resource_access.h"
#include "resources/resource_access_win32.h"
#include "tests/matrix/expected.h"

namespace {

HMODULE g_exe = nullptr;

std::vector<unsigned char> FileContents(const char* path) {
    std::ifstream in(std::string("Z:") + path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

const void* Find(LPCWSTR type, LPCWSTR name, WORD language, DWORD* size) {
    const HRSRC found = FindResourceExW(g_exe, type, name, language);
    if (!found) return nullptr;
    *size = SizeofResource(g_exe, found);
    return LockResource(LoadResource(g_exe, found));
}

TEST(Catalogue, StringsInChinese) {
    const std::pair<unsigned, std::u16string> strings[] = {{101, u"" CATALOGUE_DATA_VERSION},
                                                           {102, u"" CATALOGUE_DATA_FILE_NAME},
                                                           {103, u"" CATALOGUE_DESCRIPTION},
                                                           {104, u"" CATALOGUE_TARGET_WINDOW_TITLE},
                                                           {105, u"" CATALOGUE_DATA_VERSION}};
    for (const auto& [id, text] : strings) {
        const auto loaded = resources::LoadStringResource(id);
        ASSERT_TRUE(loaded.ok()) << id;
        EXPECT_EQ(loaded.value(), text) << id;
    }
    EXPECT_EQ(resources::LoadStringResource(101).value(), u"" EXPECTED_DATA_VERSION);
    EXPECT_EQ(resources::LoadStringResource(103).value(), u"该更新程序，纠正了单位换算中的某些数据错误。");
    EXPECT_FALSE(resources::LoadStringResource(106).ok());
}

TEST(Catalogue, PayloadIsTheAssetByteForByte) {
    const auto payload = resources::LoadDataResource(101, u"CUSTOM");
    ASSERT_TRUE(payload.ok());
    EXPECT_EQ(payload.value().size, 23698u);
    const std::vector<unsigned char> file = FileContents(CATALOGUE_PAYLOAD_FILE);
    EXPECT_EQ(std::vector<unsigned char>(payload.value().data, payload.value().data + payload.value().size), file);
}

TEST(Catalogue, PictureIs72By72TwentyFourBitUncompressed) {
    DWORD size = 0;
    const auto* info =
        static_cast<const BITMAPINFOHEADER*>(resources::FindResourceBytes(RT_BITMAP, MAKEINTRESOURCEW(101), &size));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->biWidth, 72);
    EXPECT_EQ(info->biHeight, 72);
    EXPECT_EQ(info->biBitCount, 24);
    EXPECT_EQ(info->biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(info->biXPelsPerMeter, 11808);
    EXPECT_EQ(info->biYPelsPerMeter, 11808);
}

#pragma pack(push, 2)
struct GroupEntry {
    BYTE width, height, colors, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(Catalogue, IconGroupListsFourteenImagesInOrder) {
    const WORD neutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
    DWORD size = 0;
    const auto* group = static_cast<const WORD*>(Find(RT_GROUP_ICON, MAKEINTRESOURCEW(1), neutral, &size));
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(group[2], 14);
    const auto* entries = reinterpret_cast<const GroupEntry*>(group + 3);
    const int sizes[] = {48, 32, 16, 48, 32, 16, 256, 128, 96, 72, 64, 48, 32, 16};
    const int depths[] = {4, 4, 4, 8, 8, 8, 32, 32, 32, 32, 32, 32, 32, 32};
    for (int i = 0; i < 14; ++i) {
        EXPECT_EQ(entries[i].width == 0 ? 256 : entries[i].width, sizes[i]) << i;
        EXPECT_EQ(entries[i].bitCount, depths[i]) << i;
        EXPECT_EQ(entries[i].id, 30001 + i) << i;
        DWORD imageSize = 0;
        const auto* image =
            static_cast<const unsigned char*>(Find(RT_ICON, MAKEINTRESOURCEW(30001 + i), neutral, &imageSize));
        ASSERT_NE(image, nullptr) << i;
        EXPECT_EQ(imageSize, entries[i].bytes) << i;
        const bool png = imageSize > 8 && std::string(reinterpret_cast<const char*>(image), 4) == "\x89PNG";
        EXPECT_EQ(png, sizes[i] == 256) << i;
    }
}

TEST(Catalogue, VersionBlockAndManifest) {
    DWORD size = 0;
    const void* block = Find(RT_VERSION, MAKEINTRESOURCEW(1), resources::kResourceLanguage, &size);
    ASSERT_NE(block, nullptr);
    std::vector<unsigned char> copy(static_cast<const unsigned char*>(block),
                                    static_cast<const unsigned char*>(block) + size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(copy.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    const std::pair<const wchar_t*, const wchar_t*> fields[] = {{L"FileVersion", L"1.00"},
                                                                {L"ProductVersion", L"1.00"},
                                                                {L"ProductName", L"Tolvar Update"},
                                                                {L"InternalName", L"UpDate"},
                                                                {L"OriginalFilename", L"UpDate.exe"}};
    for (const auto& [name, value] : fields) {
        wchar_t* text = nullptr;
        ASSERT_TRUE(VerQueryValueW(copy.data(), (std::wstring(L"\\StringFileInfo\\080404B0\\") + name).c_str(),
                                   reinterpret_cast<void**>(&text), &length))
            << name;
        EXPECT_STREQ(text, value);
    }
    WORD* translation = nullptr;
    ASSERT_TRUE(
        VerQueryValueW(copy.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(translation[0], 0x0804);
    EXPECT_EQ(translation[1], 0x04B0);

    const HRSRC manifest = FindResourceW(g_exe, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(g_exe, manifest))),
                           SizeofResource(g_exe, manifest));
    EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(text.find("PerMonitorV2"), std::string::npos);
    EXPECT_EQ(text.find("activeCodePage"), std::string::npos);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: catalogue_test UpDate.exe\n");
        return 2;
    }
    const std::wstring path(argv[1], argv[1] + strlen(argv[1]));
    g_exe = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!g_exe) {
        fprintf(stderr, "cannot load %s as a data file: error %lu\n", argv[1], GetLastError());
        return 2;
    }
    resources::SetResourceModule(g_exe);
    return RUN_ALL_TESTS();
}
