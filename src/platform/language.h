// The system language as the dialogs choose their texts: 1041 (Japanese) or 1033 (English).
#pragma once

#include <cstdint>

namespace tavlin::platform {

inline constexpr uint16_t kLangJapanese = 1041;
inline constexpr uint16_t kLangEnglish = 1033;

// From LC_ALL, then LC_MESSAGES, then LANG (the first one set and non-empty): a locale whose
// language is "ja" gives 1041, anything else 1033.
uint16_t SystemLanguageId();

}  // namespace tavlin::platform
