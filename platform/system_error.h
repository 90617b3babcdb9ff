// The error code of the last platform call that failed on this thread, and
// the few codes the logic tells apart. Numbers are the system's own.
#pragma once

#include <cstdint>

namespace platform {

constexpr std::uint32_t kErrorGenFailure = 31;  // a failure the system gave no code for
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorInvalidName = 123;  // a path the file system rejects
constexpr std::uint32_t kErrorResourceDataNotFound = 1812;
constexpr std::uint32_t kErrorCancelled = 1223;  // the user declined

// GetLastError, read right after the failing call: cleanup calls may overwrite it.
std::uint32_t LastSystemError();

}  // namespace platform
