#include "app/elevated_replace.h"

#include "app/command_line.h"
#include "platform/elevation.h"
#include "platform/file_system.h"
#include "platform/path_text.h"
#include "platform/system_error.h"
#include "resources/Update.h"
#include "resources/resource_access.h"
#include "resources/resource_ids.h"

namespace app {
namespace {

using platform::kErrorInvalidParameter;
using platform::kErrorReparsePointEncountered;

const char16_t kSwitch[] = u"/replace-data-file";

// The path and the folder identity after the switch: a quoted path and the
// identity after it, or an unquoted path to the end of the line. A path holds
// no quote, so no escapes are needed.
struct Arguments {
    std::u16string path;
    std::u16string identity;
};
Arguments Parse(std::u16string rest) {
    while (!rest.empty() && IsBlank(rest.back())) rest.pop_back();
    if (rest.empty() || rest[0] != u'"') return {rest, {}};
    const std::size_t quote = rest.find(u'"', 1);
    if (quote == std::u16string::npos) return {rest.substr(1), {}};
    return {rest.substr(1, quote - 1), rest.substr(SkipBlanks(rest, quote + 1))};
}

bool SamePath(const std::u16string& a, const std::u16string& b) { return platform::SamePathText(a, 0, a.size(), b); }

std::uint32_t Refusal(std::uint32_t error) {
    return error == kErrorReparsePointEncountered ? kErrorReparsePointEncountered : kErrorInvalidParameter;
}

}  // namespace

std::u16string ElevatedReplaceParameters(const std::u16string& dataFile, const std::u16string& folderIdentity) {
    std::u16string parameters = kSwitch;
    parameters += u" \"";
    parameters += dataFile;
    parameters += u"\" ";
    parameters += folderIdentity;
    return parameters;
}

std::optional<std::uint32_t> RunElevatedModeIfAsked(const std::u16string& commandLine) {
    const std::size_t at = ArgumentsAt(commandLine);
    const std::size_t switchLength = std::char_traits<char16_t>::length(kSwitch);
    const std::size_t after = at + switchLength;
    if (commandLine.compare(at, switchLength, kSwitch) != 0 ||
        (after < commandLine.size() && !IsBlank(commandLine[after])))
        return std::nullopt;
    const Arguments arguments = Parse(commandLine.substr(SkipBlanks(commandLine, after)));
    return RunElevatedReplace(arguments.path, arguments.identity);
}

std::uint32_t RunElevatedReplace(const std::u16string& dataFile, const std::u16string& folderIdentity) {
    platform::EnforceRedirectionTrust();  // before any path is looked at
    const platform::Result<std::u16string> fileName = resources::LoadStringResource(IDS_DATA_FILE_NAME);
    if (!fileName.ok()) return fileName.error().code();
    const std::size_t nameAt = platform::LastPartAt(dataFile);
    const std::u16string name = dataFile.substr(nameAt);
    if (nameAt == 0 || dataFile[nameAt - 1] != u'\\' || !SamePath(name, fileName.value()))
        return kErrorInvalidParameter;

    // The first copy gives its folder's final path: every part in its long
    // form. A short name is not that form, and the walk below would take it
    // for a link; a path that cannot be looked up is left to the walk.
    const std::u16string folderPath = platform::FolderOf(dataFile);
    const platform::Result<std::u16string> longPath = platform::LongPath(folderPath);
    if (longPath.ok() && !SamePath(longPath.value(), folderPath)) return kErrorInvalidParameter;

    // Opened from the drive root down ("X:\a\b" only), refusing every link,
    // and only the folder the first copy opened: a path that leads elsewhere,
    // or another folder now at the same path, means something was swapped in
    // between. Everything after is asked of the folder's handle.
    platform::UniqueFile folder;
    const platform::Status opened = platform::OpenFolder(folderPath, platform::Links::Refuse, folder);
    if (!opened.ok()) return Refusal(opened.error().code());
    const platform::Result<bool> local = platform::IsOnLocalFixedDrive(folder);
    if (!local.ok()) return local.error().code();
    if (!local.value()) return kErrorInvalidParameter;
    if (!folderIdentity.empty()) {
        const platform::Result<std::u16string> identity = platform::IdentityOf(folder);
        if (!identity.ok() || identity.value() != folderIdentity) return kErrorInvalidParameter;
    }

    const platform::Result<std::uint32_t> attributes = platform::AttributesIn(folder, name);
    if (!attributes.ok()) return attributes.error().code();  // a missing file too: its code, not a refusal
    if (attributes.value() & platform::kAttributeReparsePoint) return kErrorReparsePointEncountered;
    if (!platform::IsOrdinaryFile(attributes.value()) || (attributes.value() & platform::kAttributeReadOnly))
        return kErrorInvalidParameter;

    const platform::Status saved = resources::SaveResource(IDR_PAYLOAD, resources::kPayloadType, folder, name);
    return saved.ok() ? 0 : saved.error().code();
}

}  // namespace app
