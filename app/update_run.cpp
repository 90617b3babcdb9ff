#include "app/update_run.h"

#include <string>

#include "app/elevated_replace.h"
#include "app/virtual_store.h"
#include "platform/elevation.h"
#include "platform/file_system.h"
#include "platform/known_folders.h"
#include "platform/message_box.h"
#include "platform/result.h"
#include "platform/window_lookup.h"
#include "registry/RegEditor.h"
#include "resources/Update.h"
#include "resources/resource_access.h"
#include "resources/resource_ids.h"

namespace app {
namespace {

using platform::Raised;
using platform::Result;

const char16_t kProductKeyPath[] = u"HKEY_CURRENT_USER\\Software\\Qd";
const char16_t kInstallFolderValue[] = u"PathTOL";
const char16_t kVersionValue[] = u"VerTOL";

struct Decision {
    UpdateOutcome outcome;
    std::u16string shownVersion;  // set when installed
};

std::u16string TargetPath(const std::u16string& folder, const std::u16string& fileName) {
    if (!folder.empty() && folder.back() == u'\\') return folder + fileName;
    return folder + u'\\' + fileName;
}

// An ordinary file is there: plain, read-only or archive. Hidden and system
// files and folders do not count; a path the system rejects raises.
Result<bool> DataFilePresent(const std::u16string& path) {
    const platform::FileProbe probe = platform::ProbeFile(path);
    switch (probe.status) {
        case platform::ProbeStatus::Absent: return false;
        case platform::ProbeStatus::Malformed: return Raised::BadPath;
        case platform::ProbeStatus::Found: break;
    }
    constexpr std::uint32_t kNotOrdinary =
        platform::kAttributeHidden | platform::kAttributeSystem | platform::kAttributeDirectory;
    return (probe.attributes & kNotOrdinary) == 0;
}

// Writes the payload over the data file. When the folder refuses the new
// file, a copy of the program with the right to write does it, once the user
// consents; a refused rename asks for nothing (a running Tolvar holding the
// file refuses it the same way, and a prompt would not help).
bool InstallDataFile(const std::u16string& target) {
    const resources::SaveResult saved = resources::SaveResource(IDR_PAYLOAD, resources::kPayloadType, target);
    if (saved.status == resources::SaveStatus::Saved) return true;
    if (saved.status != resources::SaveStatus::FolderRefusesNewFiles || platform::ProcessIsElevated()) return false;
    const platform::ElevatedCopy copy = platform::RunElevatedCopy(ElevatedReplaceParameters(target));
    return copy.started && copy.code == 0;
}

// A legacy Tolvar reads the VirtualStore's copy of the data file when there
// is one, so that copy is replaced too. It lies in the user's own profile:
// no right to ask for.
Result<bool> InstallVirtualStoreCopy(const std::u16string& target) {
    const std::u16string copy =
        VirtualStoreCopyPath(target, platform::VirtualizedFolders(), platform::LocalAppDataFolder());
    if (copy.empty()) return true;
    const Result<bool> present = DataFilePresent(copy);
    if (!present.ok()) return present.error();  // a copy that cannot be examined may be there
    if (!present.value()) return true;
    return resources::SaveResourceToFile(IDR_PAYLOAD, resources::kPayloadType, copy);
}

// Steps 2 to 8 of the run without the box. Every raised error comes back as
// the Result's error; a step that fails quietly comes back as Failed.
Result<Decision> Decide() {
    const Result<std::u16string> windowTitle = resources::LoadStringResource(IDS_TARGET_WINDOW_TITLE);
    if (!windowTitle.ok()) return windowTitle.error();
    platform::TopLevelWindowExists(windowTitle.value());  // a running target changes nothing

    const Result<std::u16string> folder = registry::ReadStringValue(kProductKeyPath, kInstallFolderValue);
    if (!folder.ok()) return folder.error();
    // No installation recorded: nothing to update, and no path worth probing.
    if (folder.value() == registry::kReadFailed || folder.value().empty())
        return Decision{UpdateOutcome::NoUpdateNeeded, {}};

    const Result<std::u16string> fileName = resources::LoadStringResource(IDS_DATA_FILE_NAME);
    if (!fileName.ok()) return fileName.error();
    const std::u16string target = TargetPath(folder.value(), fileName.value());
    const Result<bool> present = DataFilePresent(target);
    if (!present.ok()) return present.error();
    if (!present.value()) return Decision{UpdateOutcome::NoUpdateNeeded, {}};

    const Result<std::u16string> recorded = registry::ReadStringValue(kProductKeyPath, kVersionValue);
    if (!recorded.ok()) return recorded.error();
    const Result<std::u16string> carried = resources::LoadStringResource(IDS_DATA_VERSION);
    if (!carried.ok()) return carried.error();
    // Ordinal: code unit by code unit, a proper prefix first.
    if (!(recorded.value() < carried.value())) return Decision{UpdateOutcome::AlreadyUpdated, {}};

    // Loaded before anything is written, so a missing string cannot turn a
    // finished install into a failure report.
    const Result<std::u16string> shown = resources::LoadStringResource(IDS_SHOWN_VERSION);
    if (!shown.ok()) return shown.error();

    if (!InstallDataFile(target)) return Decision{UpdateOutcome::Failed, {}};
    const Result<bool> copyInstalled = InstallVirtualStoreCopy(target);
    if (!copyInstalled.ok()) return copyInstalled.error();
    if (!copyInstalled.value()) return Decision{UpdateOutcome::Failed, {}};
    if (!registry::WriteStringValue(kProductKeyPath, kVersionValue, carried.value()))
        return Decision{UpdateOutcome::Failed, {}};
    return Decision{UpdateOutcome::Installed, shown.value()};
}

void Report(const Decision& decision) {
    using platform::MessageIcon;
    switch (decision.outcome) {
        case UpdateOutcome::NoUpdateNeeded:
            return platform::ShowMessage(u"该版本无需更新.", platform::kApplicationTitle, MessageIcon::Critical);
        case UpdateOutcome::AlreadyUpdated:
            return platform::ShowMessage(u"已经更新，无需重复更新.", platform::kApplicationTitle,
                                         MessageIcon::Information);
        case UpdateOutcome::Installed:
            return platform::ShowMessage(u"成功更新至版本" + decision.shownVersion + u".", platform::kApplicationTitle,
                                         MessageIcon::Information);
        case UpdateOutcome::Failed:
            return platform::ShowMessage(u"更新失败.", platform::kApplicationTitle, MessageIcon::Critical);
    }
}

}  // namespace

UpdateOutcome UpdateRun() {
    // The run's one trap: whatever a step raised ends in the failure message.
    const Result<Decision> decided = Decide();
    const Decision decision = decided.ok() ? decided.value() : Decision{UpdateOutcome::Failed, {}};
    Report(decision);
    return decision.outcome;
}

}  // namespace app
