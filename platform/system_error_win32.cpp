#include "platform/system_error.h"

#include <windows.h>

#include "platform/decimal.h"

namespace platform {

std::uint32_t LastSystemError() { return GetLastError(); }

std::u16string SystemErrorText(std::uint32_t error) {
    wchar_t buffer[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, buffer,
                                  sizeof buffer / sizeof buffer[0], nullptr);
    while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' || buffer[length - 1] == L' '))
        --length;
    if (length == 0) {
        std::u16string text = u"系统错误 ";
        AppendDecimal(text, error);
        return text;
    }
    return std::u16string(reinterpret_cast<const char16_t*>(buffer), length);
}

}  // namespace platform
