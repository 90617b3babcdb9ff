// The catalogue compiled into the native build from the same inputs as the
// resource script: the strings from the generated catalogue header, the
// payload from its file (embedded by CMake as a byte array).
#include "catalogue.h"
#include "platform/path_text.h"
#include "resources/resource_access.h"
#include "resources/resource_ids.h"
#include "platform/system_error.h"

namespace resources {
namespace {

// ERROR_RESOURCE_NAME_NOT_FOUND as winerror.h numbers it, not by the
// product's name for it, so that a wrong number there shows here.
constexpr std::uint32_t kResourceNameNotFound = 1814;

}  // namespace

extern const unsigned char kEmbeddedPayload[];
extern const std::size_t kEmbeddedPayloadSize;

platform::Result<std::u16string> LoadStringResource(unsigned id) {
    switch (id) {
        case IDS_SHOWN_VERSION: return std::u16string(u"" CATALOGUE_DATA_VERSION);
        case IDS_DATA_FILE_NAME: return std::u16string(u"" CATALOGUE_DATA_FILE_NAME);
        case IDS_DESCRIPTION: return std::u16string(u"" CATALOGUE_DESCRIPTION);
        case IDS_TARGET_WINDOW_TITLE: return std::u16string(u"" CATALOGUE_TARGET_WINDOW_TITLE);
        case IDS_DATA_VERSION: return std::u16string(u"" CATALOGUE_DATA_VERSION);
        default: return platform::Error(kStepLoadResource, kResourceNameNotFound);
    }
}

platform::Result<Bytes> LoadDataResource(unsigned id, const std::u16string& typeName) {
    // Windows compares resource type names without regard to case.
    if (id != IDR_PAYLOAD || !platform::SamePathText(typeName, 0, typeName.size(), u"CUSTOM"))
        return platform::Error(kStepLoadResource, kResourceNameNotFound);
    return Bytes{kEmbeddedPayload, kEmbeddedPayloadSize};
}

}  // namespace resources
