// Update: writes a resource's bytes to a file.
#pragma once

#include <cstdint>
#include <string>

namespace resources {

// Writes the bytes of resource `id` of type `typeName` to `path`, replacing the
// file there or creating it. The bytes go to a temporary file in the same
// folder, are flushed to the disk, given the old file's attributes, creation
// time and permissions of its own, and renamed over it in one step, so the
// file at `path` is always either what it was or the whole resource.
// True when the file now holds exactly the resource's bytes. False, with the
// file as it was and no temporary file left, when the resource is absent, the
// target is read-only or a folder, the folder is missing, the target is held
// open by another program for more than about half a second, a trait cannot
// be copied, or any write fails. Shows nothing.
bool SaveResourceToFile(std::uint16_t id, const std::u16string& typeName, const std::u16string& path);

}  // namespace resources
