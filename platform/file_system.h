// The file operations the update needs: an existence probe and the pieces of
// a durable replace (a new file, written, flushed, closed, given the old
// file's traits, then renamed over it).
//
// Paths are UTF-16 and may be relative to the current directory. Every call
// reports failure through its result and leaves GetLastError as the failing
// platform call set it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/unique_handle.h"

namespace platform {

enum FileAttribute : std::uint32_t {
    kAttributeReadOnly = 0x1,
    kAttributeHidden = 0x2,
    kAttributeSystem = 0x4,
    kAttributeDirectory = 0x10,
};

enum class ProbeStatus {
    Found,      // something exists at the path; see attributes
    Absent,     // no such file, folder, drive, share or device is ready
    Malformed,  // the path is not a valid name, is too long, or cannot be examined
};

struct FileProbe {
    ProbeStatus status;
    std::uint32_t attributes;  // FileAttribute bits; 0 unless Found
};

FileProbe ProbeFile(const std::u16string& path);

struct FileTraits {
    using Type = void*;
    static Type Invalid() { return reinterpret_cast<void*>(static_cast<std::intptr_t>(-1)); }
    static bool Close(Type handle);  // keeps the caller's last error
};
using UniqueFile = UniqueHandle<FileTraits>;

// Creates a file that must not exist yet, opened for writing with no sharing.
// Invalid on failure; nothing is created then.
UniqueFile CreateNewFile(const std::u16string& path);

// Writes all `size` bytes at the current position; false when any byte could not be written.
bool WriteAll(const UniqueFile& file, const unsigned char* data, std::size_t size);

// Pushes the written bytes to the disk; false when the system could not.
bool FlushFile(const UniqueFile& file);

// Gives the closed file `file` what users and programs notice of the existing
// file `model`: its attributes, its creation time, and its access-control
// list when that has entries of its own (entries inherited from the folder
// come to any new file in it by themselves). `model` is only read. False when
// any of them could not be copied; `file` may then hold some of them.
bool CopyTraits(const std::u16string& model, const std::u16string& file);

enum class RenameStatus {
    Renamed,  // `to` is now the file that was `from`
    Busy,     // another program holds either file for now (a scanner, an indexer); nothing changed
    Refused,  // any other failure; nothing changed
};

// Renames `from` to `to` in one step, replacing a file at `to` if there is
// one, and writes the change through to the disk. At no instant is there no
// file at `to` when there was one before.
RenameStatus RenameOver(const std::u16string& from, const std::u16string& to);

// Waits about `milliseconds` before the caller tries again.
void Pause(std::uint32_t milliseconds);

// Removes a file; false when it could not be removed (including when it is absent).
bool RemoveFile(const std::u16string& path);

// Identifies this process among others writing temporary names into one folder.
std::uint32_t CurrentProcessId();

}  // namespace platform
