#include "app/update_run.h"

#include "app/elevated_replace.h"
#include "app/outcome.h"
#include "app/run_log.h"
#include "app/virtual_store.h"
#include "platform/elevation.h"
#include "platform/file_replace.h"
#include "platform/file_system.h"
#include "platform/known_folders.h"
#include "platform/message_box.h"
#include "platform/path_text.h"
#include "platform/system_error.h"
#include "platform/window_lookup.h"
#include "registry/RegEditor.h"
#include "resources/Update.h"
#include "resources/resource_access.h"
#include "resources/resource_ids.h"

namespace app {
namespace {

using platform::Error;
using platform::FolderOf;
using platform::HasDriveRoot;
using platform::LastPartAt;
using platform::Result;
using platform::Status;
using platform::Step;

// The log every run appends to, kept by the caller; none when null. (A
// pointer: the program runs no static constructors.)
const std::u16string* g_logFile = nullptr;

std::u16string TargetPath(const std::u16string& folder, const std::u16string& fileName) {
    std::u16string path = folder;
    if (path.empty() || path.back() != u'\\') path += u'\\';
    path += fileName;
    return path;
}

// Codes that say nothing is there: no such folder, drive, share or device
// ready, or a file where the folder should be.
bool MeansAbsent(std::uint32_t error) {
    switch (error) {
        case platform::kErrorFileNotFound:
        case platform::kErrorPathNotFound:
        case 15:  // ERROR_INVALID_DRIVE
        case 21:  // ERROR_NOT_READY
        case 53:  // ERROR_BAD_NETPATH
        case 58:  // ERROR_BAD_NET_RESP
        case 64:  // ERROR_NETNAME_DELETED
        case 67:  // ERROR_BAD_NET_NAME
        case platform::kErrorDirectory: return true;
        default: return false;
    }
}

// Opens the folder of `path` once, following links (users move installations
// that way), and tells whether an ordinary file (platform::IsOrdinaryFile) of
// that name is in it. A path the system rejects fails.
Result<bool> FindFile(const std::u16string& path, platform::UniqueFile& folder) {
    const Status opened = platform::OpenFolder(FolderOf(path), platform::Links::Follow, folder);
    if (!opened.ok()) {
        if (MeansAbsent(opened.error().code())) return false;
        return opened.error();
    }
    const Result<std::uint32_t> attributes = platform::AttributesIn(folder, path.substr(LastPartAt(path)));
    if (!attributes.ok()) {
        if (MeansAbsent(attributes.error().code())) return false;
        return attributes.error();
    }
    return platform::IsOrdinaryFile(attributes.value());
}

Status CheckPayload(const platform::UniqueFile& folder, const std::u16string& name) {
    const Result<resources::Bytes> payload = resources::LoadDataResource(IDR_PAYLOAD, resources::kPayloadType);
    if (!payload.ok()) return payload.error();
    return platform::VerifyFile(folder, name, payload.value().data, payload.value().size);
}

// Writes the payload over the data file in the folder the run holds. When the
// folder or the file denies this process access (whatever right it is), an elevated copy of the
// program does it once the user consents, on the folder's own path;
// the run then checks the file itself. A file another program holds refuses
// everyone alike, and a prompt would not help there; nor on a network share,
// where elevation changes nothing the server sees and a prompt would hand an
// administrator's credentials to whatever server "PathTOL" names.
Status InstallDataFile(const platform::UniqueFile& folder, const std::u16string& name, const std::u16string& folderPath,
                       Prompting prompting, UpdateReport& report) {
    const Status saved = resources::SaveResource(IDR_PAYLOAD, resources::kPayloadType, folder, name);
    if (saved.ok() || !platform::NeedsRights(saved.error())) return saved;
    // Whether a prompt could help is asked of the token and the volume; a
    // question either cannot answer fails the run with its own step and code,
    // rather than prompting, or not, on a guess.
    const Result<bool> elevated = platform::ProcessIsElevated(kStepElevate);
    if (!elevated.ok()) return elevated.error();
    if (elevated.value() || !HasDriveRoot(folderPath)) return saved;
    const Result<bool> local = platform::IsOnLocalFixedDrive(folder);
    if (!local.ok()) return local.error();
    if (!local.value()) return saved;
    report.elevationWouldHelp = true;
    if (prompting == Prompting::Never) return saved;
    const Result<std::u16string> identity = platform::IdentityOf(folder);
    if (!identity.ok()) return identity.error();
    const Result<std::uint32_t> copy =
        platform::RunElevatedCopy(ElevatedReplaceParameters(report.dataFile, identity.value()), kStepElevate);
    if (!copy.ok()) return copy.error();
    report.elevatedCopyExitCode = copy.value();
    if (copy.value() != 0) return Error(kStepElevate, copy.value());
    return CheckPayload(folder, name);
}

// A legacy Tolvar reads the VirtualStore's copy of the data file when there
// is one, so that copy is replaced too. It lies in the user's own profile:
// no right to ask for.
Status InstallVirtualStoreCopy(const std::u16string& dataFile) {
    const Result<std::vector<std::u16string>> virtualized = platform::VirtualizedFolders(kStepVirtualStore);
    if (!virtualized.ok()) return virtualized.error();
    const Result<std::u16string> localAppData = platform::LocalAppDataFolder(kStepVirtualStore);
    if (!localAppData.ok()) return localAppData.error();
    const std::u16string copy = VirtualStoreCopyPath(dataFile, virtualized.value(), localAppData.value());
    if (copy.empty()) return platform::Ok();
    platform::UniqueFile folder;
    const Result<bool> present = FindFile(copy, folder);
    // A copy that cannot be examined may be there, and would stay old.
    if (!present.ok()) return Error(kStepVirtualStore, present.error().code());
    if (!present.value()) return platform::Ok();
    const Status saved =
        resources::SaveResource(IDR_PAYLOAD, resources::kPayloadType, folder, copy.substr(LastPartAt(copy)));
    if (!saved.ok()) return Error(kStepVirtualStore, saved.error().code());
    return platform::Ok();
}

Status Finish(UpdateReport& report, UpdateOutcome outcome) {
    report.outcome = outcome;
    return platform::Ok();
}

// The run without the box. An error from any step comes back as the Status;
// otherwise the report holds the outcome.
Status Decide(UpdateReport& report, Prompting prompting) {
    const Result<std::u16string> windowTitle = resources::LoadStringResource(IDS_TARGET_WINDOW_TITLE);
    if (!windowTitle.ok()) return windowTitle.error();
    report.targetWindowOpen = platform::TopLevelWindowExists(windowTitle.value());  // decides nothing

    const Result<std::u16string> folderText = registry::ReadStringValue(kProductKeyPath, kInstallFolderValue);
    if (!folderText.ok()) return folderText.error();
    // No installation recorded: nothing to update, and no path worth opening.
    if (folderText.value() == registry::kReadFailed || folderText.value().empty())
        return Finish(report, UpdateOutcome::NoUpdateNeeded);

    const Result<std::u16string> fileName = resources::LoadStringResource(IDS_DATA_FILE_NAME);
    if (!fileName.ok()) return fileName.error();
    report.dataFile = TargetPath(folderText.value(), fileName.value());
    // The folder is opened here once and held to the end of the run.
    platform::UniqueFile folder;
    const Result<bool> present = FindFile(report.dataFile, folder);
    if (!present.ok()) return present.error();
    if (!present.value()) return Finish(report, UpdateOutcome::NoUpdateNeeded);
    const Result<std::u16string> folderPath = platform::FinalPath(folder);
    if (!folderPath.ok()) return folderPath.error();
    report.dataFile = TargetPath(folderPath.value(), fileName.value());

    const Result<std::u16string> recorded = registry::ReadStringValue(kProductKeyPath, kVersionValue);
    if (!recorded.ok()) return recorded.error();
    report.recordedVersion = recorded.value();
    const Result<std::u16string> carried = resources::LoadStringResource(IDS_DATA_VERSION);
    if (!carried.ok()) return carried.error();
    // Ordinal: code unit by code unit, a proper prefix first.
    if (!(recorded.value() < carried.value())) return Finish(report, UpdateOutcome::AlreadyUpdated);

    // Loaded before anything is written, so a missing string cannot turn a
    // finished install into a failure report.
    const Result<std::u16string> shown = resources::LoadStringResource(IDS_SHOWN_VERSION);
    if (!shown.ok()) return shown.error();

    const Status installed = InstallDataFile(folder, fileName.value(), folderPath.value(), prompting, report);
    if (!installed.ok()) return installed;
    const Status copyInstalled = InstallVirtualStoreCopy(report.dataFile);
    if (!copyInstalled.ok()) return copyInstalled;
    // Only now, with the new table flushed and read back, is the version recorded.
    const Status written = registry::WriteStringValue(kProductKeyPath, kVersionValue, carried.value());
    if (!written.ok()) return written;
    report.shownVersion = shown.value();
    return Finish(report, UpdateOutcome::Installed);
}

}  // namespace

UpdateReport RunUpdate(Prompting prompting) {
    UpdateReport report;
    // The run's one trap: whatever a step raised ends in the failure.
    const Status decided = Decide(report, prompting);
    if (!decided.ok()) {
        report.outcome = UpdateOutcome::Failed;
        report.failure = decided.error();
    }
    return report;
}

void ShowOutcome(const UpdateReport& report) {
    const OutcomeRow& row = RowOf(report.outcome);
    std::u16string text = row.message;
    if (row.endsWithVersion) {
        text += report.shownVersion;
        text += u'.';
    }
    platform::ShowMessage(text, resources::kApplicationTitle, row.icon);
}

UpdateOutcome UpdateRun() {
    const UpdateReport report = RunUpdate(Prompting::Allowed);
    if (g_logFile && !g_logFile->empty()) (void)AppendRunLog(*g_logFile, report);
    ShowOutcome(report);
    return report.outcome;
}

void LogRunsTo(const std::u16string* logFile) { g_logFile = logFile; }

}  // namespace app
