#include "resources/Update.h"

#include "platform/file_replace.h"
#include "platform/path_text.h"
#include "resources/resource_access.h"

namespace resources {

platform::Status SaveResource(std::uint16_t id, const std::u16string& typeName, const platform::UniqueFile& folder,
                              const std::u16string& name) {
    const platform::Result<Bytes> payload = LoadDataResource(id, typeName);
    if (!payload.ok()) return payload.error();
    return platform::ReplaceFileDurably(folder, name, payload.value().data, payload.value().size);
}

bool SaveResourceToFile(std::uint16_t id, const std::u16string& typeName, const std::u16string& path) {
    if (!LoadDataResource(id, typeName).ok()) return false;  // nothing is opened for a resource not carried
    const std::size_t separator = path.find_last_of(u"\\/");
    if (separator == std::u16string::npos) return false;
    // With its separator, the folder of "C:\unit.xml" is the root "C:\".
    platform::UniqueFile folder;
    if (!platform::OpenFolder(path.substr(0, separator + 1), platform::Links::Follow, folder).ok()) return false;
    return SaveResource(id, typeName, folder, path.substr(separator + 1)).ok();
}

}  // namespace resources
