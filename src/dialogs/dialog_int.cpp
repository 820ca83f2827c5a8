#include "dialogs/dialog_int.h"

#include <cstdio>

namespace tavlin::dialogs {

std::string FormatDialogInt(int32_t value, bool isSigned) {
    char text[16];
    if (isSigned) {
        std::snprintf(text, sizeof text, "%d", value);
    } else {
        std::snprintf(text, sizeof text, "%u", static_cast<uint32_t>(value));
    }
    return text;
}

std::optional<int32_t> ParseDialogInt(std::string_view text, bool isSigned) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    size_t at = 0;
    while (at < text.size() && blank(text[at])) ++at;
    size_t end = text.size();
    while (end > at && blank(text[end - 1])) --end;
    bool negative = false;
    if (isSigned && at < end && text[at] == '-') {
        negative = true;
        ++at;
    }
    if (at == end) return std::nullopt;
    const uint64_t limit = isSigned ? (negative ? 2147483648u : 2147483647u) : 4294967295u;
    uint64_t value = 0;
    for (; at < end; ++at) {
        const char c = text[at];
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > limit) return std::nullopt;
    }
    if (negative) return static_cast<int32_t>(-static_cast<int64_t>(value));
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

}  // namespace tavlin::dialogs
