// Test controls of the portable platform layer, the stand-in for the Windows
// services in the native build. Nothing here is part of the product.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/message_box.h"

namespace fake {

// --- message boxes and window lookups -------------------------------------
struct Message {
    std::u16string text;
    std::u16string title;
    platform::MessageIcon icon;
};
std::vector<Message>& Messages();              // every box shown, in order
std::vector<std::u16string>& WindowLookups();  // every title looked up
void SetWindowExists(bool exists);

// --- files -----------------------------------------------------------------
// An in-memory file system: paths compare without regard to ASCII case and
// "/" equals "\". The parent folder of a file must exist (drive roots always do).
using Bytes = std::vector<unsigned char>;
void AddFolder(const std::u16string& path);
void PutFile(const std::u16string& path, const Bytes& bytes, std::uint32_t attributes = 0);
std::optional<Bytes> FileBytes(const std::u16string& path);
std::vector<std::u16string> FilesIn(const std::u16string& folder);  // names as stored
void SetLocked(const std::u16string& path, bool locked);            // held open by another program, no sharing

std::uint64_t CreationOf(const std::u16string& path);  // a stamp, unique to each file made

enum class FileOp { CreateNew, Write, Flush, Close, CopyTraits, Rename, Remove };
// The next call of `op` fails. Writes fail after `bytesBeforeFailure`.
void FailNext(FileOp op, std::size_t bytesBeforeFailure = 0);
// The next `times` renames find a file busy, as when a scanner holds it.
void RenameBusy(int times);
std::vector<std::uint32_t>& Pauses();  // every pause asked for, in ms; none really waits
// Every call that changed a file, in order: "rename FROM -> TO", "remove PATH", ...
std::vector<std::u16string>& FileJournal();
// Runs `action` once, at the start of the next call of `op`, before the call
// does anything: another program deleting a folder, or the process dying.
void BeforeNext(FileOp op, std::function<void()> action);
std::size_t OpenFileCount();
void RemoveFolder(const std::u16string& path);  // with everything in it

// --- the process -------------------------------------------------------------
// Kills the running process: its open files are closed at once, and nothing
// it does from then on reaches the files or the registry (its calls fail).
void KillProcess();
// Starts the next process after a kill, with id `processId` and no boxes yet.
void StartProcess(std::uint32_t processId);
bool ProcessKilled();

// --- the right to write, and the folders the system names ---------------------
// Creating a file in `folder` (not below it) is denied access, as Windows
// denies a user without the right to write there; an elevated process is
// let through unless `evenElevated`.
void RefuseNewFilesIn(const std::u16string& folder, bool evenElevated = false);
void SetElevated(bool elevated);
enum class Consent { Granted, Declined, CannotStart };
void AnswerPrompts(Consent consent);  // Declined until told otherwise
// What a granted copy runs: its whole command line in, its exit code out.
// It runs elevated, and its files and registry are this process's.
void SetElevatedCopy(std::function<std::uint32_t(const std::u16string& commandLine)> copy);
std::vector<std::u16string>& ElevationRequests();  // the parameters of every copy asked for
// The program's own file: a granted copy's command line starts with it, quoted.
inline constexpr char16_t kOwnPath[] = u"C:\\Downloads\\UpDate.exe";
// Defaults: C:\Program Files, C:\Program Files (x86), C:\Windows, C:\ProgramData
// and C:\Users\me\AppData\Local.
void SetKnownFolders(std::vector<std::u16string> virtualized, std::u16string localAppData);

// --- registry --------------------------------------------------------------
struct StoredValue {
    std::uint32_t type;
    Bytes bytes;
};
void CreateKey(std::uint32_t root, const std::string& path);
void PutValue(std::uint32_t root, const std::string& path, const std::string& name, std::uint32_t type,
              const Bytes& bytes);
void PutString(std::uint32_t root, const std::string& path, const std::string& name, const std::string& text);
std::optional<StoredValue> GetValue(std::uint32_t root, const std::string& path, const std::string& name);
void FailNextSetValue();
void BeforeNextSetValue(std::function<void()> action);  // as BeforeNext, for the registry's set
std::size_t OpenKeyCount();

// Forgets every file, key, message and injected fault.
void Reset();

}  // namespace fake
