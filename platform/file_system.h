// The file operations the update needs: an existence probe and the pieces of
// a durable replace (a new file, written, flushed, closed, then swapped in).
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

enum class ReplaceStatus {
    Replaced,           // `target` now holds the replacement's bytes; `backup` holds the old file
    NothingChanged,     // target and replacement are as they were; no backup exists
    TargetInBackup,     // the old target was moved to `backup` and nothing took its place
};

// Swaps `replacement` in for the existing `target` in one step, keeping the
// target's attributes, security and creation time, and moving the old file to `backup`.
ReplaceStatus ReplaceExistingFile(const std::u16string& target, const std::u16string& replacement,
                                  const std::u16string& backup);

// Renames `from` to `to`, which must not exist; written through to the disk.
bool MoveNewFile(const std::u16string& from, const std::u16string& to);

// Removes a file; false when it could not be removed (including when it is absent).
bool RemoveFile(const std::u16string& path);

// Identifies this process among others writing temporary names into one folder.
std::uint32_t CurrentProcessId();

}  // namespace platform
