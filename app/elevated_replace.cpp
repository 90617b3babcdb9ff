#include "app/elevated_replace.h"

#include "app/command_line.h"
#include "app/path_text.h"
#include "platform/file_system.h"
#include "platform/system_error.h"
#include "resources/Update.h"
#include "resources/resource_access.h"
#include "resources/resource_ids.h"

namespace app {
namespace {

const char16_t kSwitch[] = u"/replace-data-file";

// The rest of the line, without its surrounding quotes and blanks. A path
// holds no quote, so no escapes are needed.
std::u16string Unquoted(std::u16string rest) {
    while (!rest.empty() && IsBlank(rest.back())) rest.pop_back();
    if (!rest.empty() && rest[0] == u'"') {
        rest.erase(0, 1);
        if (!rest.empty() && rest.back() == u'"') rest.pop_back();
    }
    return rest;
}

// "\\server\share\..." with a real server name: "\\?\" and "\\.\" name
// devices and raw paths, not shares.
bool HasShareRoot(const std::u16string& path) {
    if (path.size() < 5 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return false;
    const std::size_t serverEnd = path.find_first_of(u"\\/", 2);
    if (serverEnd == std::u16string::npos || serverEnd == 2) return false;
    const std::u16string server = path.substr(2, serverEnd - 2);
    if (server == u"?" || server == u".") return false;
    const std::size_t shareEnd = path.find_first_of(u"\\/", serverEnd + 1);
    return shareEnd != std::u16string::npos && shareEnd > serverEnd + 1;
}

bool IsWritableOrdinaryFile(const std::u16string& path) {
    const platform::FileProbe probe = platform::ProbeFile(path);
    constexpr std::uint32_t kRefused = platform::kAttributeReadOnly | platform::kAttributeHidden |
                                       platform::kAttributeSystem | platform::kAttributeDirectory;
    return probe.status == platform::ProbeStatus::Found && (probe.attributes & kRefused) == 0;
}

bool IsDataFilePath(const std::u16string& path, const std::u16string& fileName) {
    if (!HasDriveRoot(path) && !HasShareRoot(path)) return false;
    const std::size_t name = LastPartAt(path);
    return SamePathText(path, name, path.size() - name, fileName) && IsWritableOrdinaryFile(path);
}

}  // namespace

std::u16string ElevatedReplaceParameters(const std::u16string& dataFile) {
    return std::u16string(kSwitch) + u" \"" + dataFile + u'"';
}

std::optional<std::uint32_t> RunElevatedModeIfAsked(const std::u16string& commandLine) {
    const std::size_t at = ArgumentsAt(commandLine);
    const std::size_t switchLength = std::char_traits<char16_t>::length(kSwitch);
    const std::size_t after = at + switchLength;
    if (commandLine.compare(at, switchLength, kSwitch) != 0 ||
        (after < commandLine.size() && !IsBlank(commandLine[after])))
        return std::nullopt;
    return RunElevatedReplace(Unquoted(commandLine.substr(SkipBlanks(commandLine, after))));
}

std::uint32_t RunElevatedReplace(const std::u16string& dataFile) {
    const platform::Result<std::u16string> fileName = resources::LoadStringResource(IDS_DATA_FILE_NAME);
    if (!fileName.ok() || !IsDataFilePath(dataFile, fileName.value())) return platform::kErrorInvalidParameter;
    const resources::SaveResult saved = resources::SaveResource(IDR_PAYLOAD, resources::kPayloadType, dataFile);
    return saved.status == resources::SaveStatus::Saved ? 0 : saved.systemError;
}

}  // namespace app
