// The durable replace of a file: the new bytes go to a temporary file in the
// same folder, are flushed to the disk, given the old file's attributes,
// creation time and DACL, and renamed over it in one step, so the file is at
// every instant either what it was or whole. Everything happens relative to
// the folder handle the caller opened once.
#pragma once

#include <cstddef>
#include <string>

#include "platform/file_system.h"
#include "platform/result.h"

namespace platform {

// Makes `name` in `folder` hold exactly the `size` bytes at `data`, replacing
// it or creating it, and reads it back after the rename. On failure the file
// is as it was and no temporary file is left (unless the process dies first,
// or the temporary file cannot be marked for removal, which is reported; a
// later replace passes over what is left). The failing step and its code:
// - FindDataFile: the target is read-only or a folder (ERROR_ACCESS_DENIED),
//   or a link (ERROR_REPARSE_POINT_ENCOUNTERED);
// - CopyAttributes: ERROR_ACCESS_DENIED when the target's DACL does not let
//   this process read its attributes or the DACL itself (READ_CONTROL);
// - CreateTemporary: ERROR_ACCESS_DENIED when the folder refuses new files,
//   or the code of the removal of the temporary file when it could not be
//   marked for removal after a failure (the file is then left beside the
//   target, and that failure is reported instead of the one before it);
// - Rename: ERROR_ACCESS_DENIED when this process may not replace the file,
//   ERROR_SHARING_VIOLATION when another program held either file for longer
//   than about half a second. A rename reported failed that took effect all
//   the same (the temporary file's handle names the target) counts as done:
//   nothing is removed, and the file is flushed and read back as after any
//   rename; when the handle cannot tell its name, nothing is removed and the
//   query's code is reported;
// - Write, Flush, CopyAttributes, Verify: the system's code, or
//   ERROR_INSTALL_FAILURE when the bytes read back differ.
Status ReplaceFileDurably(const UniqueFile& folder, const std::u16string& name, const unsigned char* data,
                          std::size_t size);

// Whether `name` in `folder` holds exactly the `size` bytes at `data`: fails
// at Step::Verify, with ERROR_INSTALL_FAILURE when its bytes differ, or with
// ERROR_REPARSE_POINT_ENCOUNTERED when the name is a link.
Status VerifyFile(const UniqueFile& folder, const std::u16string& name, const unsigned char* data, std::size_t size);

// Whether a failure of the replace is the folder or the file denying this
// process access (ERROR_ACCESS_DENIED at reading the target's facts, at the
// temporary file's creation or at the rename), which an elevated copy of the
// program may be granted. A file
// another program holds is busy, not denied, and fails the same way for
// every process.
bool NeedsRights(const Error& error);

// The temporary name the replace tries `attempt`-th (from 1) for `name` in a
// process: "<name>.<process id>-<attempt>.new".
std::u16string TemporaryName(const std::u16string& name, std::uint32_t processId, std::uint32_t attempt);

}  // namespace platform
