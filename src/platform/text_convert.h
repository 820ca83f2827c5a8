// Conversions between the SDK's narrow (UTF-8) and wide (UTF-16) strings. Invalid input (an
// unpaired surrogate, malformed UTF-8) fails instead of being replaced, so the exports can turn
// it into their defined errors.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavlin::platform {

std::optional<std::string> Utf16ToUtf8(std::u16string_view text);
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);

// Reads a zero-terminated UTF-16 string of at most maxUnits code units (without the
// terminator); nullopt when no terminator lies within the limit.
std::optional<std::u16string_view> BoundedWideString(const char16_t* text, size_t maxUnits);

}  // namespace tavlin::platform
