// Code page 936 through iconv, standing in for the system ANSI code page.
#include "platform/ansi.h"

#include <iconv.h>

namespace platform {
namespace {

// Converts with iconv, putting `replacement` for what the target cannot hold and
// skipping one input unit of `unitSize` bytes for each such place.
template <class Out>
Out Convert(const char* to, const char* from, const char* in, std::size_t inSize, std::size_t unitSize,
            typename Out::value_type replacement) {
    using Unit = typename Out::value_type;
    Out out;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return out;
    char* inPtr = const_cast<char*>(in);
    std::size_t inLeft = inSize;
    Unit buffer[256];
    while (inLeft > 0) {
        char* outPtr = reinterpret_cast<char*>(buffer);
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.insert(out.end(), buffer, reinterpret_cast<Unit*>(outPtr));
        if (result == static_cast<std::size_t>(-1) && inLeft > 0 && outLeft == sizeof buffer) {
            out.push_back(replacement);  // invalid or truncated sequence: skip one unit
            const std::size_t skip = inLeft < unitSize ? inLeft : unitSize;
            inPtr += skip;
            inLeft -= skip;
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::vector<char> ToAnsi(std::u16string_view text) {
    std::vector<char> bytes = Convert<std::vector<char>>("GBK", "UTF-16LE", reinterpret_cast<const char*>(text.data()),
                                                         text.size() * sizeof(char16_t), sizeof(char16_t), '?');
    bytes.push_back('\0');
    return bytes;
}

std::u16string FromAnsi(const char* bytes, std::size_t size) {
    return Convert<std::u16string>("UTF-16LE", "GBK", bytes, size, 1, u'\xFFFD');
}

}  // namespace platform
