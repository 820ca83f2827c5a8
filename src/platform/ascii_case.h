// Case folding as Windows does it for registry and window class names: ASCII letters only, so
// the bytes of multi-byte UTF-8 characters always compare exactly.
#pragma once

#include <algorithm>
#include <string_view>

namespace tavlin::platform {

inline unsigned char FoldAsciiCase(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

inline bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return FoldAsciiCase(x) == FoldAsciiCase(y); });
}

}  // namespace tavlin::platform
