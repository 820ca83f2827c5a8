// Numbers in edit boxes, as SetDlgItemInt writes them and GetDlgItemInt reads them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavlin::dialogs {

std::string FormatDialogInt(int32_t value, bool isSigned);

// The number an edit box holds: optional blanks, a '-' when signed, decimal digits, optional
// blanks; nothing else. Empty text, other characters and values that overflow give nothing,
// so a half-typed or pasted text never passes for 0. Unsigned values above INT32_MAX come back
// as their 32-bit pattern, as a DWORD would.
std::optional<int32_t> ParseDialogInt(std::string_view text, bool isSigned);

}  // namespace tavlin::dialogs
