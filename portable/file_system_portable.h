// Test controls of the file system stand-in (file_system_portable.cpp): an
// in-memory tree of drives, shares, folders, files and links, reached only
// through the handle-based calls of platform/file_system.h. Nothing here is
// part of the product.
//
// Paths are as Windows takes them: "C:\A\b.xml", relative to the current
// folder ("A\b.xml", "\A\b.xml" from the root of its drive), verbatim
// ("\\?\C:\A", not normalised), in the device namespace ("\\.\C:\A"), or on a
// share ("\\server\share\A"); names compare without regard to ASCII case and
// "/" equals "\". A folder's parent must exist; drive roots always do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fake {

using Bytes = std::vector<unsigned char>;

// --- what is on the disk -------------------------------------------------------
void AddFolder(const std::u16string& path);  // with the folders above it
void PutFile(const std::u16string& path, const Bytes& bytes, std::uint32_t attributes = 0);
// A symbolic link or junction named `path`, leading to `target` (a full path).
void AddLink(const std::u16string& path, const std::u16string& target);
// A second name (a hard link) `path` for the file at `existing`.
void AddHardLink(const std::u16string& path, const std::u16string& existing);
// An 8.3 name by which the folder or file at `path` can also be reached.
void AddShortName(const std::u16string& path, const std::u16string& shortName);
void SetCurrentFolder(const std::u16string& path);  // C:\ until set
enum class DriveType { Fixed, Remote, Removable };
void SetDriveType(const std::u16string& root, DriveType type);  // letters are fixed, shares remote

// What is there now, links followed: the bytes of a file, the names in a
// folder (files and links, not folders), a file's creation stamp (unique to
// each file made) and DACL.
std::optional<Bytes> FileBytes(const std::u16string& path);
std::vector<std::u16string> FilesIn(const std::u16string& folder);
std::uint64_t CreationOf(const std::u16string& path);
std::u16string DaclOf(const std::u16string& path);
bool IsLink(const std::u16string& path);

// --- other programs and the file system's rights ----------------------------------
void SetLocked(const std::u16string& path, bool locked);  // held open by another program, no sharing
// Another program moving or removing what a path names (not through links);
// false when a handle this process holds keeps it in place.
bool MoveEntry(const std::u16string& from, const std::u16string& to);
void RemoveFolder(const std::u16string& path);  // with everything in it, even when held
void ChangeBytes(const std::u16string& path);   // another program altering a file in place
// A DACL; "deny-replace" in it denies this user DELETE on the file, so it
// cannot be replaced or removed; "deny-read-control" denies this user the
// reading of the DACL (READ_CONTROL), while the bytes stay readable; with
// "-always" each denies an elevated process too.
void SetDacl(const std::u16string& path, const std::u16string& dacl);
// Creating files in `folder` (not below it) is denied access, as Program
// Files denies a process that is not elevated; an elevated process is let
// through unless `evenElevated`.
void RefuseNewFilesIn(const std::u16string& folder, bool evenElevated = false);

// --- faults ----------------------------------------------------------------------
enum class FileOp {
    OpenFolder,
    Examine,  // AttributesIn
    ReadFacts,
    OpenForReplace,
    CreateNew,
    Write,
    Flush,
    ApplyFacts,
    Rename,
    ReadBack,
    RemoveOnClose,
    QueryName,  // HasName
    DriveType,  // IsOnLocalFixedDrive
    Close,
    Append,
    Any,  // BeforeNext only: whichever call comes next
    // FailNext only: the next rename takes effect, and then the call reports
    // the error (a filter failing the request on its way back).
    RenameReportedFailed,
};
// The next `times` calls of `op` fail with `error`; a failing write first
// writes `bytesBeforeFailure` bytes.
void FailNext(FileOp op, std::uint32_t error, int times = 1, std::size_t bytesBeforeFailure = 0);
// Runs `action` at the start of the `nth` call of `op` from now (1: the next
// one), before the call does anything: another program at work, or the
// process dying.
void BeforeNext(FileOp op, std::function<void()> action, std::size_t nth = 1);
std::size_t FileCallCount();  // every call of the file seam so far

// Every change this process made, in order, with where it was made.
struct Change {
    std::u16string what;     // "create", "write", "attributes", "rename", "remove"
    std::u16string folder;   // the folder's path at the time of the change
    std::u16string name;     // the name in it (for a rename, the new name)
    std::uint64_t folderId;  // the folder's identity, whatever its path
};
const std::vector<Change>& Changes();
const std::vector<std::uint64_t>& OpenedFolders();   // every folder OpenFolder opened, in order
std::uint64_t FolderId(const std::u16string& path);  // 0 when there is none
std::u16string FolderPath(std::uint64_t folderId);   // where that folder is now
std::size_t OpenFileCount();

// Ends the process's file handles as a killed process's end: files marked
// for removal go, the rest stay as they are.
void CloseEveryHandle();

void ResetFiles();

}  // namespace fake
