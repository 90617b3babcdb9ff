// The file operations of the update, on handles. A folder is opened once by
// its path and held; from then on every file in it is examined, created,
// renamed and removed relative to that folder's handle, so that a folder of
// the path swapped for a link (or another folder) in between cannot send a
// later step anywhere else.
//
// Every call reports failure as the Windows error code of the call that
// failed, with the step of the update it serves: FindDataFile for opening and
// examining, CreateTemporary, Write, Flush, CopyAttributes, Rename, Verify.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/result.h"
#include "platform/unique_handle.h"

namespace platform {

enum FileAttribute : std::uint32_t {
    kAttributeReadOnly = 0x1,
    kAttributeHidden = 0x2,
    kAttributeSystem = 0x4,
    kAttributeDirectory = 0x10,
    kAttributeArchive = 0x20,
    kAttributeReparsePoint = 0x400,  // a link (symbolic link, junction, mount point) or the like
    kAttributeOffline = 0x1000,
};

// An ordinary file, the only kind the data file may be: plain, read-only or
// archive; not hidden or system, not a folder, not a link.
inline bool IsOrdinaryFile(std::uint32_t attributes) {
    return (attributes & (kAttributeHidden | kAttributeSystem | kAttributeDirectory | kAttributeReparsePoint)) == 0;
}

struct FileTraits {
    using Type = void*;
    static Type Invalid() { return reinterpret_cast<void*>(static_cast<std::intptr_t>(-1)); }
    static bool Close(Type handle);  // Win32: ClosedKeepingLastError
};
using UniqueFile = UniqueHandle<FileTraits>;  // a file or a folder

enum class Links {
    Follow,  // folders reached through links are opened where the links lead
    Refuse,  // a link anywhere on the way fails the open
};

// Opens the folder at `path` (absolute, or relative to the current folder) and
// holds it until `folder` is closed: no one can rename or remove it meanwhile.
// With Links::Refuse `path` must be "X:\a\b" (else ERROR_INVALID_NAME: no
// "/", "." or ".." part, no empty part but a last), every folder from the
// drive root down is opened relative to the one above it, and a link on the
// way, or a final path other than `path`, fails the open with
// ERROR_REPARSE_POINT_ENCOUNTERED. Fails with ERROR_DIRECTORY when the path
// names a file or a device rather than a folder.
Status OpenFolder(const std::u16string& path, Links links, UniqueFile& folder);

// The full path of the opened folder as the file system resolved it (links
// followed, long names, no "." or ".."), in its plain form: "C:\Tolvar", or
// "\\server\share\Tolvar" on a network share.
Result<std::u16string> FinalPath(const UniqueFile& folder);

// `path` with every part that exists in its long form, an 8.3 alias
// ("PROGRA~1") replaced by the name it stands for; links on the way are
// passed through, not resolved. Fails when a part cannot be found.
Result<std::u16string> LongPath(const std::u16string& path);

// The identity of the opened folder on its volume, as text: the same folder
// gives the same text through any path, another folder another.
Result<std::u16string> IdentityOf(const UniqueFile& folder);

// Whether the opened folder is on a local fixed disk, as the volume it is on
// tells through the handle: not a network share or drive, not removable.
// A volume that does not answer fails at Step::FindDataFile with its code:
// an unknown drive is not taken for a remote one.
Result<bool> IsOnLocalFixedDrive(const UniqueFile& folder);

// The attributes of what `name` in `folder` is, without following a link of
// that name: a link (or a name that the file system resolved to another
// file) has kAttributeReparsePoint. ERROR_FILE_NOT_FOUND when there is nothing.
Result<std::uint32_t> AttributesIn(const UniqueFile& folder, const std::u16string& name);

// What a replacement keeps of an existing file: its attributes, its creation
// time and its DACL (opaque to the logic).
struct FileFacts {
    std::uint32_t attributes = 0;
    std::uint64_t creationTime = 0;
    std::vector<char> security;
};

// Reads the facts of the existing file `name` in `folder`, which takes the
// right to read its attributes and its DACL (READ_CONTROL): a file whose DACL
// does not grant them fails with ERROR_ACCESS_DENIED. A link of that name
// fails with ERROR_REPARSE_POINT_ENCOUNTERED.
Result<FileFacts> ReadFacts(const UniqueFile& folder, const std::u16string& name);

// Opens the file `name` in `folder` to read its bytes, sharing everything,
// asking for no more than that (not READ_CONTROL). A link of that name fails
// with ERROR_REPARSE_POINT_ENCOUNTERED.
Status OpenToRead(const UniqueFile& folder, const std::u16string& name, UniqueFile& file);

// Tries whether this process could replace `name` in `folder`, by opening it
// for DELETE while sharing everything: ERROR_ACCESS_DENIED means the rights
// are missing; ERROR_SHARING_VIOLATION that another program holds it.
Status OpenForReplace(const UniqueFile& folder, const std::u16string& name);

// Creates `name` in `folder`, which must not exist yet (ERROR_FILE_EXISTS,
// or ERROR_ALREADY_EXISTS, when anything has that name), shared with no one,
// with every right the replace needs through the handle: to write and read
// it, to set its attributes, creation time and DACL, to rename and remove it.
Status CreateNewFile(const UniqueFile& folder, const std::u16string& name, UniqueFile& file);

// Writes all `size` bytes at the current position.
Status WriteAll(const UniqueFile& file, const unsigned char* data, std::size_t size);

// Pushes the file's bytes and its directory entry to the disk.
Status FlushFile(const UniqueFile& file);

// Gives `file` the attributes of `facts` (but read-only and offline), their
// creation time, and their DACL as it is, protected or not.
Status ApplyFacts(const UniqueFile& file, const FileFacts& facts);

// Renames `file` to `name` in `folder`, replacing a file of that name in the
// same step: at no instant is there no file of that name.
Status RenameInto(const UniqueFile& file, const UniqueFile& folder, const std::u16string& name);

// Whether `file` holds exactly the `size` bytes at `data`, read from its start.
Result<bool> HoldsExactly(const UniqueFile& file, const unsigned char* data, std::size_t size);

// Whether `file` is now the entry `name` of `folder`, as the name its handle
// has today tells (the object name, not a path looked up again): after a
// rename that reported a failure, whether the rename took effect. Fails at
// Step::Rename with the code of the query.
Result<bool> HasName(const UniqueFile& file, const UniqueFile& folder, const std::u16string& name);

// Marks `file` to be removed when its handle is closed.
Status RemoveOnClose(const UniqueFile& file);

// Appends `bytes` to the file at `path` (made when absent) in one write that
// no other program appending to it at the same time can split.
Status AppendToFile(const std::u16string& path, const std::vector<char>& bytes);

// Appends `bytes` to the file `name` in the held `folder` in one write, as
// AppendToFile does, and only to that folder's own entry of that name: made
// when there is none; refused with ERROR_REPARSE_POINT_ENCOUNTERED when the
// name is a link or the file system resolved it elsewhere, ERROR_ACCESS_DENIED
// when it is a folder, ERROR_TOO_MANY_LINKS when the file has another name
// (a hard link) too, and ERROR_INVALID_NAME for a name with a separator or a
// stream (":"). Nothing is written when it is refused.
Status AppendInFolder(const UniqueFile& folder, const std::u16string& name, const std::vector<char>& bytes);

// Waits about `milliseconds` before the caller tries again.
void Pause(std::uint32_t milliseconds);

// Identifies this process among others writing temporary names into one folder.
std::uint32_t CurrentProcessId();

}  // namespace platform
