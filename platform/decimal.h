// Numbers as text, without the C library's locale machinery.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The decimal digits of `number`: "0", "42", "4294967295".
inline std::u16string Decimal(std::uint32_t number) {
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + number % 10));
        number /= 10;
    } while (number != 0);
    return digits;
}

}  // namespace platform
