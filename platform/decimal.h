// Numbers as text, without the C library's locale machinery.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// The decimal digits of `number`: "0", "42", "4294967295".
inline std::u16string Decimal(std::uint32_t number) {
    char16_t digits[10];  // 4294967295
    std::size_t at = sizeof digits / sizeof digits[0];
    do {
        digits[--at] = static_cast<char16_t>(u'0' + number % 10);
        number /= 10;
    } while (number != 0);
    return std::u16string(digits + at, sizeof digits / sizeof digits[0] - at);
}

}  // namespace platform
