// Update: writes a resource's bytes to a file.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_replace.h"

namespace resources {

// The type name of the payload resource (IDR_PAYLOAD), as the resource script gives it.
constexpr char16_t kPayloadType[] = u"CUSTOM";

// Writes the bytes of resource `id` of type `typeName` to `path`, replacing the
// file there or creating it, durably (platform/file_replace.h): the file at
// `path` is always either what it was or the whole resource.
// True when the file now holds exactly the resource's bytes. False, with the
// file as it was and no temporary file left, when the resource is absent, the
// target is read-only or a folder, the folder is missing, the target is held
// open by another program for more than about half a second, a trait cannot
// be copied, or any write fails. Shows nothing.
bool SaveResourceToFile(std::uint16_t id, const std::u16string& typeName, const std::u16string& path);

// SaveResourceToFile, telling why a save failed.
using platform::SaveResult;
using platform::SaveStatus;
SaveResult SaveResource(std::uint16_t id, const std::u16string& typeName, const std::u16string& path);

}  // namespace resources
