#include "win_test_support.h"

#include <algorithm>

#include "resources/resource_access.h"

namespace platform {
// The test programs record boxes instead of showing them.
void ShowMessage(const std::u16string& text, const std::u16string& title, MessageIcon icon) {
    wintest::Boxes().push_back({text, title, icon});
}
void SetMessageOwner(HWND) {}  // recorded boxes have no owner
}  // namespace platform

namespace wintest {

std::vector<Box>& Boxes() {
    static std::vector<Box> boxes;
    return boxes;
}

Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::u16string U16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

void CreateQdKey() {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kQd, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// RegDeleteTreeW empties the key; RegDeleteKeyW then removes the key itself.
void DeleteQdKey() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kQd);
    RegDeleteKeyW(HKEY_CURRENT_USER, kQd);
}

void SetValueA(const char* name, DWORD type, const Bytes& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kQd, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())), ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetValueW(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kQd, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetString(const char* name, const std::string& ansi) {
    Bytes bytes = BytesOf(ansi);
    bytes.push_back(0);
    SetValueA(name, REG_SZ, bytes);
}

bool ReadValueA(const char* name, Bytes& bytes) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kQd, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    LONG result = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size);
    if (result == ERROR_SUCCESS) {
        bytes.assign(size, 0);
        result = RegQueryValueExA(key, name, nullptr, nullptr, bytes.data(), &size);
        bytes.resize(size);
    }
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

ScratchFolder::ScratchFolder() : ScratchFolder(std::wstring()) {}

ScratchFolder::ScratchFolder(std::wstring parent) {
    static int counter = 0;
    if (parent.empty()) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        parent = temp;
    }
    if (parent.back() != L'\\') parent += L'\\';
    path_ = parent + L"UpDateTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    CreateDirectoryW(path_.c_str(), nullptr);
}

namespace {
// Removes `path` and all below it; `path` carries the \\?\ prefix so that
// folders deeper than MAX_PATH go too.
void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring full = path + L"\\" + name;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(full);
            else DeleteFileW(full.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}
}  // namespace

ScratchFolder::~ScratchFolder() { RemoveTree(L"\\\\?\\" + path_); }

std::vector<std::wstring> ScratchFolder::Names() const { return NamesIn(path_); }

void WriteFileBytes(const std::wstring& path, const Bytes& bytes, DWORD attributes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot create the test file";
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size());
    SetFileAttributesW(path.c_str(), attributes);
}

bool ReadFileBytes(const std::wstring& path, Bytes& bytes) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes.assign(GetFileSize(file, nullptr), 0);
    DWORD read = 0;
    const BOOL ok = bytes.empty() || ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    return ok && read == bytes.size();
}

ChildProcess::ChildProcess(const wchar_t* program, const std::wstring& arguments, HANDLE ready) {
    wchar_t self[MAX_PATH];
    const std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    const std::wstring exe = path.substr(0, path.rfind(L'\\') + 1) + program;
    std::wstring command = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return;
    CloseHandle(started.hThread);
    process_ = started.hProcess;
    const HANDLE waits[] = {ready, process_};
    ready_ = WaitForMultipleObjects(2, waits, FALSE, 60000) == WAIT_OBJECT_0;
}

ChildProcess::~ChildProcess() {
    if (!process_) return;
    TerminateProcess(process_, kKilledCode);
    WaitForSingleObject(process_, 60000);
    CloseHandle(process_);
}

bool ChildProcess::Kill() {
    TerminateProcess(process_, kKilledCode);
    return ExitCode() == kKilledCode;
}

DWORD ChildProcess::ExitCode() {
    DWORD code = ~0u;
    WaitForSingleObject(process_, 60000);
    GetExitCodeProcess(process_, &code);
    return code;
}

std::wstring ScratchRegistryKey() { return L"Software\\UpDateTests\\" + std::to_wstring(GetCurrentProcessId()); }

void ScratchRegistry::SetUp() {
    name_ = ScratchRegistryKey();
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, name_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, key_), ERROR_SUCCESS);
}

void ScratchRegistry::TearDown() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(key_);
    RegDeleteTreeW(HKEY_CURRENT_USER, name_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, name_.c_str());
}

}  // namespace wintest

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new wintest::ScratchRegistry);
    return RUN_ALL_TESTS();
}
