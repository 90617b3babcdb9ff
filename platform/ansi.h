// The one place where text crosses between UTF-16 and the system ANSI code page
// (936, GBK, on the systems the program is made for).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// `text` in the ANSI code page as a C string: its bytes, then one NUL.
// Characters the code page cannot hold become the code page's default
// character ("?").
std::vector<char> ToAnsi(std::u16string_view text);

// UTF-16 text of `size` ANSI bytes. NUL bytes become NUL characters; byte
// sequences the code page does not define become the code page's default
// replacement character. Never fails.
std::u16string FromAnsi(const char* bytes, std::size_t size);

}  // namespace platform
