// The stand-in for platform/system_error_win32.cpp. The stand-ins report
// their errors through their results; none leaves a "last error".
#include "platform/decimal.h"
#include "platform/system_error.h"

namespace platform {

std::uint32_t LastSystemError() { return kErrorGenFailure; }

std::u16string SystemErrorText(std::uint32_t error) { return u"系统错误 " + Decimal(error); }

}  // namespace platform
