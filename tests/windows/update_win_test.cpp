// The existence test, SaveResourceToFile and whole update runs against the
// real file system and registry. Message boxes are recorded, not shown.
#include "app/Form1.h"
#include "app/update_run.h"
#include "platform/file_replace.h"
#include "platform/file_system.h"
#include "platform/handles_win32.h"
#include "platform/known_folders.h"
#include "platform/session.h"
#include "platform/system_error.h"
#include "platform/system_library_win32.h"
#include "registry/registry_api.h"

#include <initguid.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include "resources/Update.h"
#include "win_test_support.h"
#include "tests/matrix/expected.h"
#include "tests/matrix/fault_matrix.h"
#include "tests/matrix/run_cases.h"

#include <cstring>
#include <functional>
#include <set>

namespace {

using namespace wintest;
using app::UpdateOutcome;
using platform::MessageIcon;
using resources::SaveResourceToFile;

const Bytes kOld = BytesOf("<?xml version=\"1.0\"?><old/>");

// --- the folder and the names in it ---------------------------------------------

// Opening the installation folder once, and what is in it, against Wine's
// files: absent tells apart from malformed, and a device or a file where the
// folder should be is no folder.
TEST(FileSystem, OpensFoldersAndTellsAbsentFromMalformed) {
    ScratchFolder folder;
    WriteFileBytes(folder / L"plain.xml", kOld);
    WriteFileBytes(folder / L"hidden.xml", kOld, FILE_ATTRIBUTE_HIDDEN);
    const struct {
        std::wstring path;
        DWORD error;  // 0: opens
    } cases[] = {
        {folder.path(), 0},
        {folder.path() + L"\\", 0},
        {folder / L"no\\such\\folder", ERROR_PATH_NOT_FOUND},
        {folder / L"missing", ERROR_FILE_NOT_FOUND},
        {L"Error.", ERROR_FILE_NOT_FOUND},
        {folder / L"plain.xml", ERROR_DIRECTORY},
        {L"NUL", ERROR_DIRECTORY},
        {folder / L"bad*name", ERROR_INVALID_NAME},
        {folder / L"what?", ERROR_INVALID_NAME},
    };
    for (const auto& c : cases) {
        platform::UniqueFile opened;
        const platform::Status status = platform::OpenFolder(U16(c.path), platform::Links::Follow, opened);
        EXPECT_EQ(status.ok() ? 0u : status.error().code(), c.error) << std::string(c.path.begin(), c.path.end());
    }
    platform::UniqueFile opened;
    ASSERT_TRUE(platform::OpenFolder(U16(folder.path()), platform::Links::Follow, opened).ok());
    EXPECT_EQ(platform::AttributesIn(opened, u"hidden.xml").value() & FILE_ATTRIBUTE_HIDDEN,
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(platform::AttributesIn(opened, u"absent.xml").error().code(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    const platform::Result<std::u16string> final = platform::FinalPath(opened);
    ASSERT_TRUE(final.ok());
    EXPECT_EQ(final.value(), U16(folder.path()));
    // The same folder opened again, and through the walk that refuses links,
    // is the same folder; another is another.
    platform::UniqueFile again, other;
    ASSERT_TRUE(platform::OpenFolder(final.value(), platform::Links::Refuse, again).ok());
    ASSERT_TRUE(CreateDirectoryW((folder / L"other").c_str(), nullptr));
    ASSERT_TRUE(platform::OpenFolder(U16(folder / L"other"), platform::Links::Refuse, other).ok());
    EXPECT_EQ(platform::IdentityOf(again).value(), platform::IdentityOf(opened).value());
    EXPECT_NE(platform::IdentityOf(other).value(), platform::IdentityOf(opened).value());
    other.reset();
    RemoveDirectoryW((folder / L"other").c_str());
    // Seventeen folders made one after another, whose file indexes differ
    // in their low bits, have seventeen identities: all of each index counts.
    std::set<std::u16string> identities;
    for (int i = 0; i < 17; ++i) {
        const std::wstring made = folder / (L"f" + std::to_wstring(i));
        ASSERT_TRUE(CreateDirectoryW(made.c_str(), nullptr));
        platform::UniqueFile held;
        ASSERT_TRUE(platform::OpenFolder(U16(made), platform::Links::Follow, held).ok());
        identities.insert(platform::IdentityOf(held).value());
    }
    EXPECT_EQ(identities.size(), 17u);
    for (int i = 0; i < 17; ++i) RemoveDirectoryW((folder / (L"f" + std::to_wstring(i))).c_str());
    // A part longer than a name may be, or one that names no folder of its
    // own ("..", ".", ""), is refused as a bad name by the walk.
    for (const std::wstring& bad : {folder / std::wstring(256, L'x'), folder.path() + L"\\..\\other",
                                    folder.path() + L"\\.\\other", folder.path() + L"\\\\other"}) {
        platform::UniqueFile refused;
        const platform::Status walked = platform::OpenFolder(U16(bad), platform::Links::Refuse, refused);
        EXPECT_EQ(walked.ok() ? 0u : walked.error().code(), static_cast<DWORD>(ERROR_INVALID_NAME))
            << std::string(bad.begin(), bad.end());
    }
    // The drive's root itself, by the walk too.
    platform::UniqueFile root;
    const platform::Status rootOpened =
        platform::OpenFolder(U16(folder.path().substr(0, 3)), platform::Links::Refuse, root);
    EXPECT_TRUE(rootOpened.ok()) << rootOpened.error().code();
    // Another program's handles on the folder and on its drive's root, to list
    // and to add files, sharing all: both walks open it all the same.
    for (const std::wstring& held : {folder.path(), folder.path().substr(0, 3)}) {
        const HANDLE holder = CreateFileW(held.c_str(), FILE_LIST_DIRECTORY | FILE_ADD_FILE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        for (const platform::Links links : {platform::Links::Follow, platform::Links::Refuse}) {
            platform::UniqueFile again;
            const platform::Status status = platform::OpenFolder(U16(folder.path()), links, again);
            EXPECT_EQ(status.ok() ? 0u : status.error().code(), 0u) << std::string(held.begin(), held.end());
        }
        CloseHandle(holder);
    }
}

// Every payload is written the same way, whatever its size: one larger than
// a single write comes out whole, and reads back as what was written.
TEST(FileSystem, WritesAPayloadLargerThanOneWriteWhole) {
    ScratchFolder folder;
    WriteFileBytes(folder / L"unit.xml", kOld);
    Bytes large(3 * 1024 * 1024 + 17);
    for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<unsigned char>(i * 7 + i / 4096);
    platform::UniqueFile opened;
    ASSERT_TRUE(platform::OpenFolder(U16(folder.path()), platform::Links::Follow, opened).ok());
    const platform::Status saved = platform::ReplaceFileDurably(opened, u"unit.xml", large.data(), large.size());
    EXPECT_TRUE(saved.ok()) << (saved.ok() ? 0u : saved.error().code());
    // Read back through the held folder, as after an elevated copy: the
    // bytes written pass, any others fail the check.
    EXPECT_TRUE(platform::VerifyFile(opened, u"unit.xml", large.data(), large.size()).ok());
    // So they do while another program holds the file open to write, sharing everything.
    const HANDLE writer =
        CreateFileW((folder / L"unit.xml").c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    const platform::Status shared = platform::VerifyFile(opened, u"unit.xml", large.data(), large.size());
    CloseHandle(writer);
    EXPECT_TRUE(shared.ok()) << (shared.ok() ? 0u : shared.error().code());
    const platform::Status other = platform::VerifyFile(opened, u"unit.xml", kOld.data(), kOld.size());
    EXPECT_FALSE(other.ok());
    EXPECT_EQ(other.error().step(), platform::Step::Verify);
    // So do bytes of the same size with one byte changed, wherever it is.
    for (const std::size_t at : {std::size_t{0}, std::size_t{2048}, large.size() - 1}) {
        Bytes changed = large;
        changed[at] ^= 0x20;
        EXPECT_FALSE(platform::VerifyFile(opened, u"unit.xml", changed.data(), changed.size()).ok()) << at;
    }
    // A folder of the name is no file to read back: refused when opened
    // (STATUS_FILE_IS_A_DIRECTORY), not read as one.
    ASSERT_TRUE(CreateDirectoryW((folder / L"folder.xml").c_str(), nullptr));
    const platform::Status onFolder = platform::VerifyFile(opened, u"folder.xml", large.data(), large.size());
    EXPECT_EQ(onFolder.ok() ? 0u : onFolder.error().code(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    RemoveDirectoryW((folder / L"folder.xml").c_str());
    opened.reset();
    Bytes after;
    ASSERT_TRUE(ReadFileBytes(folder / L"unit.xml", after));
    EXPECT_TRUE(after == large) << after.size() << " bytes";
    EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"unit.xml"});
}

// A log that another program holds open, reading and appending and sharing
// both as log viewers and other runs do, takes a run's line all the same,
// by path (a user's run) and in the held folder (a privileged run's); the
// second line lands after the first. In the held folder, a log that is
// another file's second name takes nothing (ERROR_TOO_MANY_LINKS).
TEST(FileSystem, AppendsToALogAnotherProgramHolds) {
    ScratchFolder folder;
    platform::UniqueFile opened;
    ASSERT_TRUE(platform::OpenFolder(U16(folder.path()), platform::Links::Follow, opened).ok());
    const std::vector<char> line{'l', 'i', 'n', 'e', '\r', '\n'};
    const struct {
        const char* how;
        const wchar_t* name;
        std::function<platform::Status()> append;
    } ways[] = {
        {"by path", L"user.log", [&] { return platform::AppendToFile(U16(folder / L"user.log"), line); }},
        {"in the held folder", L"privileged.log",
         [&] { return platform::AppendInFolder(opened, u"privileged.log", line); }},
    };
    for (const auto& way : ways) {
        ASSERT_TRUE(way.append().ok()) << way.how;
        // The append made the log and holds nothing of it once it returns.
        const HANDLE alone =
            CreateFileW((folder / way.name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(alone, INVALID_HANDLE_VALUE) << way.how << ": " << GetLastError();
        CloseHandle(alone);
        const HANDLE viewer =
            CreateFileW((folder / way.name).c_str(), GENERIC_READ | FILE_APPEND_DATA,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
        const platform::Status held = way.append();
        CloseHandle(viewer);
        EXPECT_TRUE(held.ok()) << way.how << ": " << (held.ok() ? 0u : held.error().code());
        Bytes after;
        ASSERT_TRUE(ReadFileBytes(folder / way.name, after));
        EXPECT_TRUE(after == BytesOf("line\r\nline\r\n")) << way.how;
    }
    ASSERT_TRUE(CreateHardLinkW((folder / L"linked.log").c_str(), (folder / L"user.log").c_str(), nullptr));
    const platform::Status linked = platform::AppendInFolder(opened, u"linked.log", line);
    EXPECT_EQ(linked.ok() ? 0u : linked.error().code(), static_cast<DWORD>(ERROR_TOO_MANY_LINKS));
    Bytes target;
    ASSERT_TRUE(ReadFileBytes(folder / L"user.log", target));
    EXPECT_TRUE(target == BytesOf("line\r\nline\r\n"));
}

// A path in its long form, from its 8.3 name too (the elevated copy refuses a
// short name its first copy would never give it); a path that is not there
// fails with the system's code.
TEST(FileSystem, GivesAPathsLongForm) {
    ScratchFolder folder;
    const std::wstring longName = folder / L"a folder with a long name";
    ASSERT_TRUE(CreateDirectoryW(longName.c_str(), nullptr));
    wchar_t shortName[MAX_PATH];
    ASSERT_NE(GetShortPathNameW(longName.c_str(), shortName, MAX_PATH), 0u);
    ASSERT_NE(std::wstring(shortName), longName) << "no 8.3 name here";
    // And one longer than MAX_PATH, which takes a second call with the size
    // the first asked for.
    std::wstring deep = longName;
    const wchar_t parts[] = {L'a', L'b', L'c', L'd', L'e', L'f'};
    for (const wchar_t part : parts) {
        deep += L'\\' + std::wstring(100, part);
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
    }
    const std::pair<std::wstring, std::wstring> paths[] = {{longName, longName}, {shortName, longName}, {deep, deep}};
    for (const auto& [path, expected] : paths) {
        const platform::Result<std::u16string> found = platform::LongPath(U16(path));
        EXPECT_EQ(found.ok() ? found.value() : u"failed", U16(expected)) << std::string(path.begin(), path.end());
    }
    const platform::Result<std::u16string> missing = platform::LongPath(U16(folder / L"missing"));
    EXPECT_EQ(missing.ok() ? 0u : missing.error().code(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    // A log line lands in a folder that deep, whose object names are longer
    // than the first buffer their look-up tries.
    platform::UniqueFile deepFolder;
    ASSERT_TRUE(platform::OpenFolder(U16(L"\\\\?\\" + deep), platform::Links::Follow, deepFolder).ok());
    const platform::Status appended = platform::AppendInFolder(deepFolder, u"deep.log", {'l', '\r', '\n'});
    EXPECT_TRUE(appended.ok()) << (appended.ok() ? 0u : appended.error().code());
    deepFolder.reset();
    DeleteFileW((L"\\\\?\\" + deep + L"\\deep.log").c_str());
    for (std::size_t i = 0; i < std::size(parts); ++i) {
        RemoveDirectoryW((L"\\\\?\\" + deep).c_str());
        deep.resize(deep.rfind(L'\\'));
    }
    RemoveDirectoryW(longName.c_str());
}

// A handle's close that succeeds leaves the caller's last error as it was; one
// that fails says so and leaves its own.
TEST(Handles, ACloseKeepsTheCallersLastErrorOrReportsItsOwn) {
    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_READ, &software), ERROR_SUCCESS);
    platform::UniqueKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    platform::UniqueKernelHandle noHandle(reinterpret_cast<HANDLE>(0x7FF0));
    registry::UniqueKey key(software), noKey(reinterpret_cast<HKEY>(0x7FF0));
    const struct {
        const char* what;
        std::function<bool()> close;
        bool closed;
        DWORD lastError;
    } cases[] = {
        {"an event", [&] { return event.close(); }, true, 1234},
        {"no handle at all", [&] { return noHandle.close(); }, false, ERROR_INVALID_HANDLE},
        {"a registry key", [&] { return key.close(); }, true, 1234},
        {"no registry key at all", [&] { return noKey.close(); }, false, ERROR_INVALID_HANDLE},
    };
    for (const auto& c : cases) {
        SetLastError(1234);
        EXPECT_EQ(c.close(), c.closed) << c.what;
        EXPECT_EQ(GetLastError(), c.lastError) << c.what;
    }
}

// The name a file's handle gives after a rename is its new one, in the held
// folder: what decides, after a rename reported failed, whether the clean-up
// may remove the temporary file. A name no file can have is refused.
TEST(FileSystem, AHandleTellsTheNameARenameGaveIt) {
    ScratchFolder folder;
    WriteFileBytes(folder / L"unit.xml", kOld);
    platform::UniqueFile opened, file;
    ASSERT_TRUE(platform::OpenFolder(U16(folder.path()), platform::Links::Follow, opened).ok());
    ASSERT_TRUE(platform::CreateNewFile(opened, u"unit.xml.1-1.new", file).ok());
    // While it is held, nobody else opens the temporary file, to read it half written or otherwise.
    const HANDLE reader =
        CreateFileW((folder / L"unit.xml.1-1.new").c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(reader == INVALID_HANDLE_VALUE ? GetLastError() : 0u, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
    EXPECT_EQ(platform::HasName(file, opened, u"unit.xml").value(), false);
    EXPECT_EQ(platform::HasName(file, opened, u"UNIT.XML.1-1.NEW").value(), true);
    // A name no file can have is refused before anything is renamed.
    for (const std::u16string& bad : {std::u16string(), std::u16string(256, u'x')}) {
        const platform::Status refused = platform::RenameInto(file, opened, bad);
        EXPECT_EQ(refused.ok() ? 0u : refused.error().code(), static_cast<DWORD>(ERROR_INVALID_NAME)) << bad.size();
    }
    ASSERT_TRUE(platform::RenameInto(file, opened, u"unit.xml").ok());
    EXPECT_EQ(platform::HasName(file, opened, u"unit.xml").value(), true);
    EXPECT_EQ(platform::HasName(file, opened, u"unit.xml.1-1.new").value(), false);
}

// What the shell names a folder, as the product strips it.
std::u16string ShellFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::u16string text;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)) && path) text = reinterpret_cast<const char16_t*>(path);
    CoTaskMemFree(path);
    while (text.size() > 3 && text.back() == u'\\') text.pop_back();
    return text;
}

// The folders a legacy Tolvar's writes are redirected from are the ones the
// shell names, whether they come from the environment (as they do when it
// holds them) or from the shell (when a variable is missing), with the
// 64-bit Program Files among them in the 32-bit build too, where only the
// environment names it. (Every prefix of the tests is a 64-bit one.)
TEST(KnownFolders, AreTheShellsWithThe64BitProgramFiles) {
    wchar_t programFiles64[MAX_PATH] = L"";
    ASSERT_NE(GetEnvironmentVariableW(L"ProgramW6432", programFiles64, MAX_PATH), 0u) << "not a 64-bit Windows";
    std::vector<std::u16string> expected;
    for (const KNOWNFOLDERID* id : {&FOLDERID_ProgramFiles, &FOLDERID_ProgramFilesX86})
        if (!ShellFolder(*id).empty()) expected.push_back(ShellFolder(*id));
    expected.push_back(U16(programFiles64));
    expected.push_back(ShellFolder(FOLDERID_Windows));
    // ProgramData as the environment has it, moved (what the environment
    // holds is taken, without its trailing separator), and removed or too
    // long for a path (the shell is asked for every folder).
    const std::wstring tooLong = L"C:\\" + std::wstring(300, L'x');
    const struct {
        const char* what;
        bool set;
        const wchar_t* value;  // null: as it is
        std::u16string programData;
    } cases[] = {
        {"as it is", true, nullptr, ShellFolder(FOLDERID_ProgramData)},
        {"moved", true, L"C:\\Moved\\ProgramData\\", u"C:\\Moved\\ProgramData"},
        {"a drive's root", true, L"C:\\", u"C:\\"},
        {"removed", false, nullptr, ShellFolder(FOLDERID_ProgramData)},
        {"too long", true, tooLong.c_str(), ShellFolder(FOLDERID_ProgramData)},
    };
    for (const auto& c : cases) {
        wchar_t saved[MAX_PATH] = L"";
        GetEnvironmentVariableW(L"ProgramData", saved, MAX_PATH);
        if (!c.set || c.value) SetEnvironmentVariableW(L"ProgramData", c.value);
        const platform::Result<std::vector<std::u16string>> folders =
            platform::VirtualizedFolders(app::kStepVirtualStore);
        const platform::Result<std::u16string> local = platform::LocalAppDataFolder(app::kStepVirtualStore);
        SetEnvironmentVariableW(L"ProgramData", saved);
        ASSERT_TRUE(folders.ok() && local.ok()) << c.what;
        std::vector<std::u16string> all = expected;
        all.push_back(c.programData);
        EXPECT_EQ(folders.value(), all) << "ProgramData " << c.what;
        EXPECT_EQ(local.value(), ShellFolder(FOLDERID_LocalAppData));
    }
}

// --- the system's texts for errors ------------------------------------------

// What a box says after "：": the system's own text for a code it knows,
// without the line break it ends with; for a code it has no text for (a
// customer code, a number beyond its tables) the code itself, since that is
// all the user can pass on.
TEST(SystemErrorText, IsTheSystemsTextOrElseTheNumber) {
    const struct {
        DWORD error;
        bool systemHasText;
        std::u16string text;  // when the system has none
    } kCases[] = {
        {ERROR_ACCESS_DENIED, true, u""},
        {ERROR_RESOURCE_NAME_NOT_FOUND, true, u""},
        // "%1 is not a valid Win32 application.": the insert left as it is.
        {ERROR_BAD_EXE_FORMAT, true, u""},
        {99999, false, u"系统错误 99999"},
        {0x20001234, false, u"系统错误 536875572"},
    };
    for (const auto& c : kCases) {
        wchar_t buffer[512];
        const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                            c.error, 0, buffer, 512, nullptr);
        ASSERT_EQ(length != 0, c.systemHasText) << c.error;
        const std::u16string text = platform::SystemErrorText(c.error);
        if (c.systemHasText) {
            std::u16string system = U16(std::wstring(buffer, length));
            while (!system.empty() && (system.back() == u'\n' || system.back() == u'\r' || system.back() == u' '))
                system.pop_back();
            EXPECT_FALSE(system.empty()) << c.error;
            EXPECT_EQ(text, system) << c.error;
        } else {
            EXPECT_EQ(text, c.text) << c.error;
        }
    }
}

// A system function that cannot be had is null with the loader's own error,
// which is what a box then names.
TEST(SystemFunctions, AreFoundOrNullWithTheLoadersError) {
    const struct {
        const wchar_t* library;
        const char* name;
        DWORD error;  // 0: found
    } kCases[] = {
        {L"kernel32.dll", "GetTickCount", 0},
        {L"kernel32.dll", "NoSuchFunction", ERROR_PROC_NOT_FOUND},
        {L"no-such-library.dll", "GetTickCount", ERROR_MOD_NOT_FOUND},
    };
    for (const auto& c : kCases) {
        const platform::SystemFunction<FARPROC> found = platform::FindSystemProcedure(c.library, c.name);
        EXPECT_EQ(found.call != nullptr, c.error == 0) << c.name;
        EXPECT_EQ(found.call ? 0u : found.error, c.error) << c.name;
    }
}

// The tests run as a user, not as LocalSystem: the token query answers, and answers no.
TEST(Session, TellsAUserFromLocalSystem) {
    const platform::Result<bool> system = platform::RunningAsLocalSystem(app::kStepElevate);
    ASSERT_TRUE(system.ok()) << system.error().code();
    EXPECT_FALSE(system.value());
}

// --- the window --------------------------------------------------------------

// The screen's device context GetDC hands out now, given back at once.
HDC FreeScreenDc() {
    const HDC dc = GetDC(nullptr);
    ReleaseDC(nullptr, dc);
    return dc;
}

// The window opened and closed again and again in one process gives back the
// screen's device context its load takes for the picture each time: the DC
// that was free before is handed out again after. Wine counts no GDI objects
// (GetGuiResources fails with ERROR_CALL_NOT_IMPLEMENTED), and counting what
// GetDC still gives up to its limit leaves Wine unable to create a window.
TEST(Form1, GivesBackTheScreenDcItsLoadTakes) {
    const HDC before = FreeScreenDc();
    ASSERT_NE(before, nullptr);
    ASSERT_EQ(FreeScreenDc(), before) << "GetDC hands out another DC each time";
    for (int open = 0; open < 3; ++open) {
        app::Form1 form(GetModuleHandleW(nullptr));
        ASSERT_EQ(form.Open(SW_HIDE), 0) << open;
    }  // each closed by its destructor, which also posts WM_QUIT
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
    EXPECT_TRUE(Boxes().empty());
    Boxes().clear();
    EXPECT_EQ(FreeScreenDc(), before);
}

// --- SaveResourceToFile -----------------------------------------------------

bool SaveTo(const std::wstring& path) { return SaveResourceToFile(101, u"CUSTOM", U16(path)); }

// Wine keeps the attributes (as extended attributes of the Unix file) but
// has no creation time to set and takes no access-control list, so only the
// attributes are checked here; the native tests check the rest is copied.
TEST(SaveResourceToFile, ReplacesALongerFileWithExactlyThePayloadKeepingItsAttributes) {
    ScratchFolder folder;
    const std::wstring target = folder / L"unit.xml";
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    WriteFileBytes(target, Bytes(50000, 'x'), kept);
    ASSERT_TRUE(SaveTo(target));
    Bytes after;
    ASSERT_TRUE(ReadFileBytes(target, after));
    EXPECT_EQ(after.size(), 23698u);
    EXPECT_EQ(after, Payload());
    EXPECT_EQ(GetFileAttributesW(target.c_str()), kept);
    EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"unit.xml"});
}

DWORD WINAPI CloseSoon(void* handle) {
    Sleep(150);
    CloseHandle(handle);
    return 0;
}

// Another program (a scanner, say) holds the data file for a moment: the
// rename is tried again until the hold ends.
TEST(SaveResourceToFile, WaitsOutAShortHold) {
    ScratchFolder folder;
    const std::wstring target = folder / L"unit.xml";
    WriteFileBytes(target, kOld);
    HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HANDLE releaser = CreateThread(nullptr, 0, CloseSoon, held, 0, nullptr);
    ASSERT_NE(releaser, nullptr);
    EXPECT_TRUE(SaveTo(target));
    WaitForSingleObject(releaser, INFINITE);
    CloseHandle(releaser);
    Bytes after;
    ASSERT_TRUE(ReadFileBytes(target, after));
    EXPECT_EQ(after, Payload());
    EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"unit.xml"});
}

TEST(SaveResourceToFile, CreatesAMissingTarget) {
    ScratchFolder folder;
    ASSERT_TRUE(SaveTo(folder / L"unit.xml"));
    Bytes after;
    ASSERT_TRUE(ReadFileBytes(folder / L"unit.xml", after));
    EXPECT_EQ(after, Payload());
    EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"unit.xml"});
}

// Targets that must come out false and exactly as they were, with no
// temporary file left beside them.
struct RefusedCase {
    const char* name;
    DWORD attributes;
    DWORD heldOpenSharing;  // ~0u: not held open
};

class RefusedTargetTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedTargetTest, StaysUnchanged) {
    const RefusedCase& c = GetParam();
    ScratchFolder folder;
    const std::wstring target = folder / L"unit.xml";
    WriteFileBytes(target, kOld, c.attributes);
    HANDLE held = INVALID_HANDLE_VALUE;
    if (c.heldOpenSharing != ~0u) {
        held = CreateFileW(target.c_str(), GENERIC_READ, c.heldOpenSharing, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
    }
    EXPECT_FALSE(SaveTo(target));
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    Bytes after;
    ASSERT_TRUE(ReadFileBytes(target, after));
    EXPECT_EQ(after, kOld);
    EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"unit.xml"});
}

INSTANTIATE_TEST_SUITE_P(Targets, RefusedTargetTest,
                         ::testing::Values(RefusedCase{"ReadOnly", FILE_ATTRIBUTE_READONLY, ~0u},
                                           RefusedCase{"HeldOpenWithoutSharing", FILE_ATTRIBUTE_NORMAL, 0},
                                           RefusedCase{"HeldOpenSharingReadOnly", FILE_ATTRIBUTE_NORMAL,
                                                       FILE_SHARE_READ}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SaveResourceToFile, MissingFolderFolderTargetAndAbsentResource) {
    ScratchFolder folder;
    EXPECT_FALSE(SaveTo(folder / L"missing\\unit.xml"));
    CreateDirectoryW((folder / L"unit.xml").c_str(), nullptr);
    EXPECT_FALSE(SaveTo(folder / L"unit.xml"));
    EXPECT_FALSE(SaveResourceToFile(102, u"CUSTOM", U16(folder / L"other.xml")));
    EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"unit.xml"});
}

// --- whole runs ---------------------------------------------------------------

// The rows every suite runs (tests/matrix/run_cases.h), over Wine's registry
// and files: the installation below a scratch folder, which is the run's
// current folder.
class UpdateRunTest : public QdKeyTest, public ::testing::WithParamInterface<matrix::RunCase> {};

const std::u16string kTexts[] = {u"" EXPECTED_NOTHING_TO_UPDATE, u"" EXPECTED_ALREADY_UPDATED, u"" EXPECTED_INSTALLED,
                                 u"" EXPECTED_FAILED};

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

TEST_P(UpdateRunTest, ShowsTheRightBoxAndLeavesTheDataWhole) {
    const matrix::RunCase& c = GetParam();
    ScratchFolder scratch;
    std::wstring below(c.below, c.below + std::strlen(c.below));
    const std::wstring folder = scratch / below;
    for (std::size_t at = 0; at != std::wstring::npos;) {  // the folders down to the installation
        at = below.find(L'\\', at + 1);
        CreateDirectoryW((scratch / below.substr(0, at)).c_str(), nullptr);
    }
    const std::wstring data = folder + L"\\unit.xml";
    const bool file = c.data != matrix::DataFile::None && c.data != matrix::DataFile::Folder;
    if (c.data == matrix::DataFile::Folder) CreateDirectoryW(data.c_str(), nullptr);
    if (file) WriteFileBytes(data, kOld, matrix::Win32AttributesOf(c.data));
    HANDLE held = INVALID_HANDLE_VALUE;
    if (c.data == matrix::DataFile::HeldOpen) {
        held = CreateFileW(data.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
    }
    if (!c.key) DeleteQdKey();
    if (c.key && c.pathTol) SetString("PathTOL", matrix::ExpandPathTol(c.pathTol, Narrow(folder)));
    if (c.key && c.verTol) SetString("VerTOL", c.verTol);
    const std::wstring decoys[] = {scratch / L"Error\\unit.xml", scratch.path().substr(0, 2) + L"\\unit.xml"};
    if (matrix::LeadsNowhere(c)) {
        CreateDirectoryW((scratch / L"Error").c_str(), nullptr);
        ASSERT_EQ(GetFileAttributesW(decoys[1].c_str()), INVALID_FILE_ATTRIBUTES) << "a file is at the drive's root";
        for (const std::wstring& decoy : decoys) WriteFileBytes(decoy, kOld);
    }

    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(scratch.path().c_str());
    ScratchFolder logs;
    const std::u16string log = U16(logs / L"run.log");
    app::LogRunsTo(&log);
    EXPECT_EQ(static_cast<int>(app::UpdateRun()), static_cast<int>(c.outcome));
    app::LogRunsTo(nullptr);
    SetCurrentDirectoryW(previous);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    Bytes logged;
    EXPECT_TRUE(ReadFileBytes(logs / L"run.log", logged));
    DeleteFileW((logs / L"run.log").c_str());
    const std::optional<std::string> line = matrix::LastWholeLine(std::string(logged.begin(), logged.end()));
    EXPECT_EQ(line ? matrix::LogField(*line, "exit") : std::nullopt, std::to_string(c.exitCode)) << line.value_or("");

    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, kTexts[static_cast<int>(c.outcome)]);
    EXPECT_EQ(Boxes()[0].title, u"Tolvar Update");
    EXPECT_EQ(Boxes()[0].icon, matrix::Informs(c.outcome) ? MessageIcon::Information : MessageIcon::Critical);
    if (file) {
        Bytes after;
        ASSERT_TRUE(ReadFileBytes(data, after));
        EXPECT_EQ(after, c.outcome == matrix::Outcome::Installed ? Payload() : kOld);
        EXPECT_EQ(NamesIn(folder), std::vector<std::wstring>{L"unit.xml"});
    }
    if (matrix::LeadsNowhere(c)) {
        for (const std::wstring& decoy : decoys) {
            Bytes after;
            EXPECT_TRUE(ReadFileBytes(decoy, after) && after == kOld) << Narrow(decoy);
        }
        DeleteFileW(decoys[1].c_str());
    }
    Bytes version;
    if (c.verTolAfter) {
        ASSERT_TRUE(ReadValueA("VerTOL", version));
        EXPECT_EQ(version, BytesOf(std::string(c.verTolAfter) + '\0'));
    } else {
        EXPECT_FALSE(ReadValueA("VerTOL", version));
    }
}

INSTANTIATE_TEST_SUITE_P(Outcomes, UpdateRunTest, ::testing::ValuesIn(matrix::kRunCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateRunTest, RelativeFolderIsResolvedAgainstTheCurrentDirectory) {
    ScratchFolder folder;
    CreateDirectoryW((folder / L"data").c_str(), nullptr);
    WriteFileBytes(folder / L"data\\unit.xml", kOld);
    SetString("PathTOL", "data");
    SetString("VerTOL", "7.0.7");
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(folder.path().c_str());
    const UpdateOutcome outcome = app::UpdateRun();
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(outcome, UpdateOutcome::Installed);
    Bytes after;
    ASSERT_TRUE(ReadFileBytes(folder / L"data\\unit.xml", after));
    EXPECT_EQ(after, Payload());
    DeleteFileW((folder / L"data\\unit.xml").c_str());
    RemoveDirectoryW((folder / L"data").c_str());
}

}  // namespace
