// One install for the kill storm (kill_storm_test.cpp), in a process of its
// own so that it can be killed at any instant: the update run of the program,
// with its boxes recorded instead of shown, over the registry below
// HKEY_CURRENT_USER\KEY (where the storm prepared Software\Qd).
//
//   kill_storm_child.exe KEY READY-EVENT DONE-EVENT [--control]
//
// READY is signalled just before the install starts and DONE when it has
// ended, so the storm can time an install and aim its kills inside one.
// --control installs with a replace that removes the old file and then
// renames the new one in, pausing in between: a replace that loses the data
// file when killed at the wrong instant, which the storm must catch.
// Exits 0 when the update was installed.
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

// The control's replace: write and flush a new file, remove the old one,
// wait, rename the new one in. Killed during the wait, it leaves no data file.
bool RemoveThenRename(const std::u16string& target) {
    const auto payload = resources::LoadDataResource(101, u"CUSTOM");
    if (!payload.ok()) return false;
    const std::wstring to(target.begin(), target.end());
    const std::wstring temp = to + L".control";
    const HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool whole =
        WriteFile(file, payload.value().data, static_cast<DWORD>(payload.value().size), &written, nullptr) &&
        written == payload.value().size && FlushFileBuffers(file);
    if (!CloseHandle(file) || !whole) return false;
    constexpr DWORD kPauseMs = 5;
    DeleteFileW(to.c_str());
    Sleep(kPauseMs);
    return MoveFileExW(temp.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

// The control's install: the same registry reads and version record as the
// program's, around the unsafe replace.
bool ControlInstall() {
    const auto folder = registry::ReadStringValue(kQd, u"PathTOL");
    if (!folder.ok()) return false;
    return RemoveThenRename(folder.value() + u"\\unit.xml") &&
           registry::WriteStringValue(kQd, u"VerTOL", u"" EXPECTED_DATA_VERSION);
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
    const bool control = argc > 4 && std::wstring(argv[4]) == L"--control";
    HKEY scratch = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, argv[1], 0, KEY_ALL_ACCESS, &scratch) != ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_CURRENT_USER, scratch) != ERROR_SUCCESS || !Signal(argv[2]))
        return 2;
    const bool installed = control ? ControlInstall() : app::UpdateRun() == app::UpdateOutcome::Installed;
    Signal(argv[3]);
    return installed ? 0 : 1;
}
