// Hexadecimal digits as configuration texts write them (registry values, USB ids).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tavlin::platform {

// 0..15 for a hexadecimal digit of either case, -1 for anything else.
inline int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// One to maxDigits hexadecimal digits, the whole text, without prefix.
inline std::optional<uint32_t> ParseHexDigits(std::string_view text, size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0) return std::nullopt;
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return value;
}

}  // namespace tavlin::platform
