#include "platform/file_replace.h"

#include "platform/decimal.h"
#include "platform/system_error.h"

namespace platform {
namespace {

constexpr std::uint32_t kNotReplaceable = kAttributeReadOnly | kAttributeDirectory;

// Creates a new file beside `name`, passing over names that a run killed
// part-way may have left (process ids are reused).
Status CreateTemporary(const UniqueFile& folder, const std::u16string& name, UniqueFile& file) {
    constexpr std::uint32_t kAttempts = 1000;
    std::uint32_t error = 0;
    for (std::uint32_t attempt = 1; attempt <= kAttempts; ++attempt) {
        const Status created = CreateNewFile(folder, TemporaryName(name, CurrentProcessId(), attempt), file);
        if (created.ok()) return created;
        error = created.error().code();
        if (error != kErrorFileExists && error != kErrorAlreadyExists) break;
    }
    return Error(Step::CreateTemporary, error);
}

// Renames the new file over `name`. A file just written is often opened for
// a moment by a virus scanner or the search indexer, and a data file may be
// open in a program that reads it; either refuses the rename for as long as
// it holds the file, so a busy file is tried again for about half a second.
// A refusal is told apart by opening the target for DELETE: refused that
// too, this process lacks the rights, and no retry will help.
Status RenameIntoPlace(const UniqueFile& file, const UniqueFile& folder, const std::u16string& name) {
    constexpr int kRetries = 5;
    constexpr std::uint32_t kPauseMs = 100;
    for (int retry = 0;; ++retry) {
        const Status renamed = RenameInto(file, folder, name);
        if (renamed.ok()) return renamed;
        std::uint32_t error = renamed.error().code();
        if (error != kErrorAccessDenied && error != kErrorSharingViolation) return Error(Step::Rename, error);
        const Status deletable = OpenForReplace(folder, name);
        if (!deletable.ok() && deletable.error().code() == kErrorAccessDenied) return Error(Step::Rename, error);
        if (retry == kRetries) return Error(Step::Rename, kErrorSharingViolation);
        Pause(kPauseMs);
    }
}

// Writes, flushes, copies the facts and renames; after the rename the file
// is flushed again, so that the rename itself is on the disk, and read back.
Status WriteAndSwapIn(const UniqueFile& folder, const std::u16string& name, const FileFacts* old,
                      const UniqueFile& file, const unsigned char* data, std::size_t size) {
    Status done = WriteAll(file, data, size);
    if (done.ok()) done = FlushFile(file);
    if (done.ok() && old) done = ApplyFacts(file, *old);
    if (done.ok()) done = RenameIntoPlace(file, folder, name);
    return done;
}

Status CheckBytes(const UniqueFile& file, const unsigned char* data, std::size_t size) {
    const Result<bool> same = HoldsExactly(file, data, size);
    if (!same.ok()) return same.error();
    if (!same.value()) return Error(Step::Verify, kErrorInstallFailure);
    return Ok();
}

}  // namespace

std::u16string TemporaryName(const std::u16string& name, std::uint32_t processId, std::uint32_t attempt) {
    std::u16string temporary = name;
    temporary += u'.';
    AppendDecimal(temporary, processId);
    temporary += u'-';
    AppendDecimal(temporary, attempt);
    temporary += u".new";
    return temporary;
}

Status VerifyFile(const UniqueFile& folder, const std::u16string& name, const unsigned char* data, std::size_t size) {
    UniqueFile file;
    const Status opened = OpenToRead(folder, name, file);
    if (!opened.ok()) return Error(Step::Verify, opened.error().code());
    return CheckBytes(file, data, size);
}

bool NeedsRights(const Error& error) {
    return error.code() == kErrorAccessDenied &&
           (error.step() == Step::CopyAttributes || error.step() == Step::CreateTemporary ||
            error.step() == Step::Rename);
}

Status ReplaceFileDurably(const UniqueFile& folder, const std::u16string& name, const unsigned char* data,
                          std::size_t size) {
    // What no right changes is refused first, from the attributes alone; only
    // then are the facts to copy read, which takes more rights.
    const Result<std::uint32_t> attributes = AttributesIn(folder, name);
    const bool exists = attributes.ok();
    if (!exists && attributes.error().code() != kErrorFileNotFound) return attributes.error();
    if (exists && (attributes.value() & kAttributeReparsePoint) != 0)
        return Error(Step::FindDataFile, kErrorReparsePointEncountered);
    if (exists && (attributes.value() & kNotReplaceable) != 0) return Error(Step::FindDataFile, kErrorAccessDenied);
    FileFacts facts;
    if (exists) {
        Result<FileFacts> old = ReadFacts(folder, name);
        if (!old.ok()) return Error(Step::CopyAttributes, old.error().code());
        facts = std::move(old).value();
    }

    UniqueFile file;
    const Status created = CreateTemporary(folder, name, file);
    if (!created.ok()) return created;
    Status swapped = WriteAndSwapIn(folder, name, exists ? &facts : nullptr, file, data, size);
    if (!swapped.ok() && swapped.error().step() == Step::Rename) {
        // A filter can fail a rename on its way back after the file system
        // made it: the temporary file's handle then names the data file, and
        // removing it would remove the only table. Not knowing, keep it.
        const Result<bool> renamed = HasName(file, folder, name);
        if (!renamed.ok()) return renamed.error();
        if (renamed.value()) swapped = Ok();
    }
    if (!swapped.ok()) {
        // Before the rename the temporary file is still its own: it goes
        // through its own handle, whatever the DACL it was given allows. When
        // it cannot be marked, it stays, and that is what the run reports.
        const Status removed = RemoveOnClose(file);
        if (!removed.ok()) return removed;
        return swapped;
    }
    Status checked = FlushFile(file);
    if (checked.ok()) checked = CheckBytes(file, data, size);
    if (!checked.ok()) return checked;
    if (!file.close()) return Error(Step::Flush, LastSystemError());
    return Ok();
}

}  // namespace platform
