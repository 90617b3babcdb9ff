#include "resources/Update.h"

#include "platform/decimal.h"
#include "platform/file_system.h"
#include "resources/resource_access.h"

namespace resources {
namespace {

using platform::FileAttribute;
using platform::ProbeStatus;

// A name next to `path`, in its folder, that no other run of the program uses:
// "<path>.<pid>-<n>.<suffix>".
std::u16string SiblingName(const std::u16string& path, const char16_t* suffix) {
    static std::uint32_t counter = 0;
    using platform::Decimal;
    return path + u'.' + Decimal(platform::CurrentProcessId()) + u'-' + Decimal(++counter) + u'.' + suffix;
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
        name = SiblingName(target, u"new");
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

// Puts `temp` in place of the existing `target`; the old file is kept under a
// backup name until the swap is known to have worked.
bool SwapIn(const std::u16string& temp, const std::u16string& target) {
    const std::u16string backup = SiblingName(target, u"old");
    switch (platform::ReplaceExistingFile(target, temp, backup)) {
        case platform::ReplaceStatus::Replaced:
            platform::RemoveFile(backup);
            return true;
        case platform::ReplaceStatus::TargetInBackup:
            platform::MoveNewFile(backup, target);
            break;
        case platform::ReplaceStatus::NothingChanged:
            break;
    }
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

    if (target.status == ProbeStatus::Absent) {
        if (platform::MoveNewFile(temp, path)) return true;
        platform::RemoveFile(temp);
        return false;
    }
    return SwapIn(temp, path);
}

}  // namespace resources
