#include "resources/Update.h"

#include "platform/system_error.h"
#include "resources/resource_access.h"

namespace resources {

SaveResult SaveResource(std::uint16_t id, const std::u16string& typeName, const std::u16string& path) {
    const platform::Result<Bytes> payload = LoadDataResource(id, typeName);
    if (!payload.ok()) return {SaveStatus::Failed, platform::kErrorResourceDataNotFound};
    return platform::ReplaceFileDurably(path, payload.value().data, payload.value().size);
}

bool SaveResourceToFile(std::uint16_t id, const std::u16string& typeName, const std::u16string& path) {
    return SaveResource(id, typeName, path).status == SaveStatus::Saved;
}

}  // namespace resources
