// The durable replace of a file: the new bytes go to a temporary file in the
// same folder, are flushed to the disk, given the old file's attributes,
// creation time and permissions of its own, and renamed over it in one step,
// so the file at the path is at every instant either what it was or whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

enum class SaveStatus {
    Saved,
    FolderRefusesNewFiles,  // creating the temporary file beside the target was denied access
    Failed,                 // anything else
};
struct SaveResult {
    SaveStatus status;
    std::uint32_t systemError;  // when not saved: the system's code for the failure, never 0
};

// Makes the file at `path` hold exactly the `size` bytes at `data`, replacing
// it or creating it. Not saved, with the file as it was and no temporary file
// left, when the target is read-only or a folder, the folder is missing or
// refuses new files, the target is held open by another program for more
// than about half a second, a trait cannot be copied, or any write fails.
// Temporary files that a killed earlier run left are passed over.
SaveResult ReplaceFileDurably(const std::u16string& path, const unsigned char* data, std::size_t size);

}  // namespace platform
