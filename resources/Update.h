// Update: writes a resource's bytes to a file.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_system.h"
#include "platform/result.h"

namespace resources {

// The type name of the payload resource (IDR_PAYLOAD), as the resource script gives it.
inline constexpr char16_t kPayloadType[] = u"CUSTOM";

// Writes the bytes of resource `id` of type `typeName` to `path`, replacing the
// file there or creating it, durably (platform/file_replace.h): the file at
// `path` is always either what it was or the whole resource. The folder of
// `path` is opened once, links on the way followed, and everything after
// happens in it. True when the file now holds exactly the resource's bytes.
// False, with the file as it was and no temporary file left, when the
// resource is absent, the target is read-only, a folder or a link, the folder
// is missing, the target is held open by another program for more than about
// half a second, its attributes, creation time or DACL cannot be copied, or
// any write fails. Shows nothing.
bool SaveResourceToFile(std::uint16_t id, const std::u16string& typeName, const std::u16string& path);

// The same into `name` in a folder the caller holds, telling why it failed.
platform::Status SaveResource(std::uint16_t id, const std::u16string& typeName, const platform::UniqueFile& folder,
                              const std::u16string& name);

}  // namespace resources
