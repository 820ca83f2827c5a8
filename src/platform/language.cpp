#include "platform/language.h"

#include <cstdlib>
#include <string_view>

namespace tavlin::platform {

uint16_t SystemLanguageId() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value == nullptr || *value == '\0') continue;
        const std::string_view locale(value);
        const bool japanese =
            locale.substr(0, 2) == "ja" &&
            (locale.size() == 2 || locale[2] == '_' || locale[2] == '.' || locale[2] == '@');
        return japanese ? kLangJapanese : kLangEnglish;
    }
    return kLangEnglish;
}

}  // namespace tavlin::platform
