// Numbers as text, without the C library's locale machinery.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Appends the decimal digits of `number` ("0", "42", "4294967295"), with
// leading zeros up to `width` digits (at most 10).
inline void AppendDecimal(std::u16string& text, std::uint32_t number, std::size_t width = 1) {
    char16_t digits[10];  // 4294967295
    std::size_t at = sizeof digits / sizeof digits[0];
    do {
        digits[--at] = static_cast<char16_t>(u'0' + number % 10);
        number /= 10;
    } while (number != 0 || at > sizeof digits / sizeof digits[0] - width);
    text.append(digits + at, sizeof digits / sizeof digits[0] - at);
}

inline std::u16string Decimal(std::uint32_t number) {
    std::u16string text;
    AppendDecimal(text, number);
    return text;
}

}  // namespace platform
