// Shared pieces of the Windows tests: HKEY_CURRENT_USER redirected to a
// scratch key of the test's own, a scratch folder, recorded message boxes,
// and short helpers for registry values and files.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "names_in.h"
#include "platform/message_box.h"
#include "tests/matrix/payload.h"

namespace wintest {

struct Box {
    std::u16string text;
    std::u16string title;
    platform::MessageIcon icon;
};
std::vector<Box>& Boxes();  // every box the code under test asked for

using Bytes = std::vector<unsigned char>;
Bytes BytesOf(const std::string& text);

// HKEY_CURRENT_USER\Software\Qd of the scratch registry.
constexpr wchar_t kQd[] = L"Software\\Qd";
void CreateQdKey();
void DeleteQdKey();
void SetValueA(const char* name, DWORD type, const Bytes& bytes);
void SetValueW(const wchar_t* name, DWORD type, const void* data, DWORD size);
void SetString(const char* name, const std::string& ansi);  // REG_SZ with its terminator
bool ReadValueA(const char* name, Bytes& bytes);            // false when absent

// A fresh, empty folder for one test; removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder();                              // in the temporary folder
    explicit ScratchFolder(std::wstring parent);  // in `parent`
    ~ScratchFolder();
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }
    std::vector<std::wstring> Names() const;  // of the files in it, sorted

private:
    std::wstring path_;
};

void WriteFileBytes(const std::wstring& path, const Bytes& bytes, DWORD attributes = FILE_ATTRIBUTE_NORMAL);
bool ReadFileBytes(const std::wstring& path, Bytes& bytes);
using matrix::Payload;  // resource CUSTOM 101 of this program
std::u16string U16(const std::wstring& text);

// Each test starts with an empty Software\Qd key and no recorded boxes.
class QdKeyTest : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteQdKey();
        CreateQdKey();
        Boxes().clear();
    }
    void TearDown() override { DeleteQdKey(); }
};

// A program from this program's folder, started with `arguments` and waited
// for until it signals `ready` (or ends, or a minute passes). Ended with
// TerminateProcess, if still running, when destroyed.
class ChildProcess {
public:
    ChildProcess(const wchar_t* program, const std::wstring& arguments, HANDLE ready);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();
    bool ready() const { return ready_; }
    // Kills it now; true when the kill ended it, false when it had ended by itself.
    bool Kill();
    DWORD ExitCode();  // once it has ended
    static constexpr DWORD kKilledCode = 0xDEAD;

private:
    HANDLE process_ = nullptr;
    bool ready_ = false;
};

// The key below the real HKEY_CURRENT_USER that stands in for it in this
// program, so that a program it starts can be pointed at the same registry.
std::wstring ScratchRegistryKey();

// Redirects HKEY_CURRENT_USER for the whole program; registered in main().
class ScratchRegistry : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

private:
    std::wstring name_;
    HKEY key_ = nullptr;
};

}  // namespace wintest
