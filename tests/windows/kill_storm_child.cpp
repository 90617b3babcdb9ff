// One install for the kill storm (kill_storm_test.cpp), in a process of its
// own so that it can be killed at any instant: the update run of the program,
// with its boxes recorded instead of shown, over the registry below
// HKEY_CURRENT_USER\KEY (where the storm prepared Software\Qd).
//
//   kill_storm_child.exe KEY READY-EVENT DONE-EVENT [--control=KIND]
//
// READY is signalled just before the install starts and DONE when it has
// ended, so the storm can time an install and aim its kills inside one.
// --control installs with a replace that is unsafe in one known way, which
// the storm must catch on the counter that way shows up on:
//   remove-first   removes the old file, pauses, renames the new one in: no data file;
//   in-place       writes the payload over the old file, half, a pause, the rest: a mix;
//   version-first  records "VerTOL", pauses, then replaces: the version ahead of the data.
// The controls make their own file calls, so that they stay what they are
// whatever the program's replace becomes. Exits 0 when the update was installed.
#include <windows.h>

#include <string>

#include "app/update_run.h"
#include "platform/message_box.h"
#include "registry/RegEditor.h"
#include "resources/resource_access.h"
#include "tests/matrix/expected.h"

namespace platform {
void ShowMessage(const std::u16string&, const std::u16string&, MessageIcon) {}
}  // namespace platform

namespace {

const char16_t kQd[] = u"HKEY_CURRENT_USER\\Software\\Qd";
// Most of a control's install, so that most kills land in it whatever the
// few milliseconds a child's start varies by under Wine; still short against
// the start of a process, which is most of a storm's time.
constexpr DWORD kPauseMs = 20;

bool WriteAll(HANDLE file, const unsigned char* data, std::size_t size) {
    DWORD written = 0;
    return WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
}

// A new file holding `data`, flushed and closed.
bool WriteNewFile(const std::wstring& path, const resources::Bytes& data) {
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool written = WriteAll(file, data.data, data.size) && FlushFileBuffers(file);
    return CloseHandle(file) && written;
}

bool RenameOver(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool RecordVersion() { return registry::WriteStringValue(kQd, u"VerTOL", u"" EXPECTED_DATA_VERSION).ok(); }

bool RemoveFirst(const std::wstring& target, const resources::Bytes& payload) {
    const std::wstring temp = target + L".control";
    if (!WriteNewFile(temp, payload) || !DeleteFileW(target.c_str())) return false;
    Sleep(kPauseMs);
    return RenameOver(temp, target) && RecordVersion();
}

bool InPlace(const std::wstring& target, const resources::Bytes& payload) {
    const HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const std::size_t half = payload.size / 2;
    bool written = WriteAll(file, payload.data, half);
    if (written) Sleep(kPauseMs);
    written = written && WriteAll(file, payload.data + half, payload.size - half) && SetEndOfFile(file);
    return CloseHandle(file) && written && RecordVersion();
}

bool VersionFirst(const std::wstring& target, const resources::Bytes& payload) {
    if (!RecordVersion()) return false;
    Sleep(kPauseMs);
    const std::wstring temp = target + L".control";
    return WriteNewFile(temp, payload) && RenameOver(temp, target);
}

// The control's install: the program's registry reads and payload around
// the unsafe replace; false for an unknown kind.
bool ControlInstall(const std::wstring& kind) {
    const auto payload = resources::LoadDataResource(101, u"CUSTOM");
    const auto folder = registry::ReadStringValue(kQd, u"PathTOL");
    if (!payload.ok() || !folder.ok()) return false;
    const std::wstring target = std::wstring(folder.value().begin(), folder.value().end()) + L"\\unit.xml";
    if (kind == L"remove-first") return RemoveFirst(target, payload.value());
    if (kind == L"in-place") return InPlace(target, payload.value());
    if (kind == L"version-first") return VersionFirst(target, payload.value());
    return false;
}

bool Signal(const wchar_t* name) {
    const HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name);
    const bool signalled = event && SetEvent(event);
    if (event) CloseHandle(event);
    return signalled;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    const std::wstring option = argc > 4 ? argv[4] : L"";
    const std::wstring prefix = L"--control=";
    const bool control = option.compare(0, prefix.size(), prefix) == 0;
    if (argc > 4 && !control) return 2;
    HKEY scratch = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, argv[1], 0, KEY_ALL_ACCESS, &scratch) != ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_CURRENT_USER, scratch) != ERROR_SUCCESS || !Signal(argv[2]))
        return 2;
    const bool installed =
        control ? ControlInstall(option.substr(prefix.size())) : app::UpdateRun() == app::UpdateOutcome::Installed;
    Signal(argv[3]);
    return installed ? 0 : 1;
}
