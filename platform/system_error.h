// The Windows error codes the logic tells apart or reports itself. Numbers
// are the system's own (winerror.h).
#pragma once

#include <cstdint>
#include <string>

#include "platform/result.h"

namespace platform {

constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorInvalidData = 13;
constexpr std::uint32_t kErrorGenFailure = 31;
constexpr std::uint32_t kErrorSharingViolation = 32;
constexpr std::uint32_t kErrorFileExists = 80;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorInvalidName = 123;  // a path the file system rejects
constexpr std::uint32_t kErrorAlreadyExists = 183;
constexpr std::uint32_t kErrorDirectory = 267;   // ERROR_DIRECTORY: not a folder
constexpr std::uint32_t kErrorTooManyLinks = 1142;  // ERROR_TOO_MANY_LINKS: a file with another name too
constexpr std::uint32_t kErrorCancelled = 1223;  // the user declined
constexpr std::uint32_t kErrorResourceNameNotFound = 1814;
constexpr std::uint32_t kErrorReparsePointEncountered = 4395;  // a link where none may be

// GetLastError, read right after the failing call: cleanup calls may overwrite it.
std::uint32_t LastSystemError();

// The system's own text for `error`, in the system's language, without the
// line break it ends with; "系统错误 N" when the system has none.
std::u16string SystemErrorText(std::uint32_t error);

}  // namespace platform
