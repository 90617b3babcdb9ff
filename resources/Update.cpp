#include "resources/Update.h"

#include "platform/decimal.h"
#include "platform/file_system.h"
#include "resources/resource_access.h"

namespace resources {
namespace {

using platform::FileAttribute;
using platform::ProbeStatus;

// A name next to `path`, in its folder, that no other run of the program uses:
// "<path>.<pid>-<n>.new".
std::u16string TemporaryName(const std::u16string& path) {
    static std::uint32_t counter = 0;
    using platform::Decimal;
    return path + u'.' + Decimal(platform::CurrentProcessId()) + u'-' + Decimal(++counter) + u".new";
}

bool TargetRefusesWrites(const platform::FileProbe& probe) {
    return probe.status == ProbeStatus::Malformed ||
           (probe.status == ProbeStatus::Found &&
            (probe.attributes & (platform::kAttributeReadOnly | platform::kAttributeDirectory)) != 0);
}

// Creates a new file beside `target`, passing over names that a run killed
// part-way may have left behind (process ids are reused).
platform::UniqueFile CreateTemporary(const std::u16string& target, std::u16string& name) {
    constexpr int kAttempts = 1000;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        name = TemporaryName(target);
        platform::UniqueFile file = platform::CreateNewFile(name);
        if (file.valid() || platform::ProbeFile(name).status != ProbeStatus::Found) return file;
    }
    return platform::UniqueFile();
}

// Creates a temporary file beside `target` holding exactly `bytes`, flushed to
// the disk and closed, and names it in `temp`. On failure nothing is left.
bool WriteDurably(const std::u16string& target, const Bytes& bytes, std::u16string& temp) {
    platform::UniqueFile file = CreateTemporary(target, temp);
    if (!file.valid()) return false;
    const bool written = platform::WriteAll(file, bytes.data, bytes.size) && platform::FlushFile(file);
    if (file.close() && written) return true;
    platform::RemoveFile(temp);
    return false;
}

// Renames `temp` over `target`. A file just written is often opened for a
// moment by a virus scanner or the search indexer, which makes the rename
// fail as busy; such a hold passes within a fraction of a second, so the
// rename is tried again for about half a second before giving up.
bool RenameIntoPlace(const std::u16string& temp, const std::u16string& target) {
    constexpr int kRetries = 5;
    constexpr std::uint32_t kPauseMs = 100;
    for (int retry = 0;; ++retry) {
        switch (platform::RenameOver(temp, target)) {
            case platform::RenameStatus::Renamed: return true;
            case platform::RenameStatus::Refused: return false;
            case platform::RenameStatus::Busy: break;
        }
        if (retry == kRetries) return false;
        platform::Pause(kPauseMs);
    }
}

// Gives `temp` the traits of the existing `target` and renames it over it.
// A trait that cannot be copied fails the save with the target untouched:
// a data file that silently lost its attributes or its own permissions
// could be hidden from, or shut out, the people and programs that use it.
bool SwapIn(const std::u16string& temp, const std::u16string& target, bool targetExists) {
    if ((!targetExists || platform::CopyTraits(target, temp)) && RenameIntoPlace(temp, target)) return true;
    platform::RemoveFile(temp);
    return false;
}

}  // namespace

bool SaveResourceToFile(std::uint16_t id, const std::u16string& typeName, const std::u16string& path) {
    const platform::Result<Bytes> payload = LoadDataResource(id, typeName);
    if (!payload.ok()) return false;

    const platform::FileProbe target = platform::ProbeFile(path);
    if (TargetRefusesWrites(target)) return false;

    std::u16string temp;
    if (!WriteDurably(path, payload.value(), temp)) return false;

    return SwapIn(temp, path, target.status == ProbeStatus::Found);
}

}  // namespace resources
