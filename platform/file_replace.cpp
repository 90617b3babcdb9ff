#include "platform/file_replace.h"

#include "platform/decimal.h"
#include "platform/file_system.h"
#include "platform/system_error.h"

namespace platform {
namespace {

// A name next to `path`, in its folder, that no other run of the program uses:
// "<path>.<pid>-<n>.new".
std::u16string TemporaryName(const std::u16string& path) {
    static std::uint32_t counter = 0;
    return path + u'.' + Decimal(CurrentProcessId()) + u'-' + Decimal(++counter) + u".new";
}

bool TargetRefusesWrites(const FileProbe& probe) {
    return probe.status == ProbeStatus::Malformed ||
           (probe.status == ProbeStatus::Found && (probe.attributes & (kAttributeReadOnly | kAttributeDirectory)) != 0);
}

SaveResult Failure(SaveStatus status, std::uint32_t error) { return {status, error != 0 ? error : kErrorGenFailure}; }

// Creates a new file beside `target`, passing over names that a run killed
// part-way may have left behind (process ids are reused). On failure `error`
// holds the system's code for the last refused attempt.
UniqueFile CreateTemporary(const std::u16string& target, std::u16string& name, std::uint32_t& error) {
    constexpr int kAttempts = 1000;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        name = TemporaryName(target);
        UniqueFile file = CreateNewFile(name);
        if (file.valid()) return file;
        error = LastSystemError();  // before the probe sets its own
        if (ProbeFile(name).status != ProbeStatus::Found) return file;
    }
    return UniqueFile();
}

// Creates a temporary file beside `target` holding exactly the `size` bytes at
// `data`, flushed to the disk and closed, and names it in `temp`. On failure
// nothing is left.
SaveResult WriteDurably(const std::u16string& target, const unsigned char* data, std::size_t size,
                        std::u16string& temp) {
    std::uint32_t error = 0;
    UniqueFile file = CreateTemporary(target, temp, error);
    if (!file.valid())
        return Failure(error == kErrorAccessDenied ? SaveStatus::FolderRefusesNewFiles : SaveStatus::Failed, error);
    const bool written = WriteAll(file, data, size) && FlushFile(file);
    if (!written) error = LastSystemError();
    if (file.close() && written) return {SaveStatus::Saved, 0};
    if (written) error = LastSystemError();  // the close failed
    RemoveFile(temp);
    return Failure(SaveStatus::Failed, error);
}

// Renames `temp` over `target`. A file just written is often opened for a
// moment by a virus scanner or the search indexer, which makes the rename
// fail as busy; such a hold passes within a fraction of a second, so the
// rename is tried again for about half a second before giving up.
bool RenameIntoPlace(const std::u16string& temp, const std::u16string& target) {
    constexpr int kRetries = 5;
    constexpr std::uint32_t kPauseMs = 100;
    for (int retry = 0;; ++retry) {
        switch (RenameOver(temp, target)) {
            case RenameStatus::Renamed: return true;
            case RenameStatus::Refused: return false;
            case RenameStatus::Busy: break;
        }
        if (retry == kRetries) return false;
        Pause(kPauseMs);
    }
}

// Gives `temp` the traits of the existing `target` and renames it over it.
// A trait that cannot be copied fails the save with the target untouched:
// a data file that silently lost its attributes or its own permissions
// could be hidden from, or shut out, the people and programs that use it.
SaveResult SwapIn(const std::u16string& temp, const std::u16string& target, bool targetExists) {
    if ((!targetExists || CopyTraits(target, temp)) && RenameIntoPlace(temp, target)) return {SaveStatus::Saved, 0};
    const std::uint32_t error = LastSystemError();
    RemoveFile(temp);
    return Failure(SaveStatus::Failed, error);
}

}  // namespace

SaveResult ReplaceFileDurably(const std::u16string& path, const unsigned char* data, std::size_t size) {
    const FileProbe target = ProbeFile(path);
    if (TargetRefusesWrites(target))
        return Failure(SaveStatus::Failed,
                       target.status == ProbeStatus::Malformed ? kErrorInvalidName : kErrorAccessDenied);
    std::u16string temp;
    const SaveResult written = WriteDurably(path, data, size, temp);
    if (written.status != SaveStatus::Saved) return written;
    return SwapIn(temp, path, target.status == ProbeStatus::Found);
}

}  // namespace platform
