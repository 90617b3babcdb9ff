#include "platform/system_error.h"

#include <windows.h>

namespace platform {

std::uint32_t LastSystemError() { return GetLastError(); }

}  // namespace platform
