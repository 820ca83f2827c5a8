// The filter catalogue (settings/filter_catalogue.h) for tools and bindings.
#include <cstring>
#include <string>

#include "settings/filter_catalogue.h"
#include "tavlin/tavlin_ext.h"

namespace {

using tavlin::settings::FilterInfo;
using tavlin::settings::FilterKind;
using tavlin::settings::kFilterCatalogue;

int32_t Flags(const FilterInfo& row) {
    switch (row.kind) {
        case FilterKind::GlobalGain:
        case FilterKind::ColourGain:
        case FilterKind::Exposure:
            return TAVLIN_EXT_FILTER_SENSOR;
        case FilterKind::PackedRgb:
        case FilterKind::Switch:
            return TAVLIN_EXT_FILTER_ANY_VALUE;
        case FilterKind::Stored:
            break;
    }
    return 0;
}

template <size_t N>
void CopyText(char (&out)[N], const char* text) {
    static_assert(N > 0);
    std::strncpy(out, text, N - 1);
    out[N - 1] = '\0';
}

// Every name and unit fits the public struct whole.
constexpr bool TextsFit() {
    for (const FilterInfo& row : kFilterCatalogue) {
        if (std::char_traits<char>::length(row.name) >= sizeof(TavlinExtFilterInfo::name) ||
            std::char_traits<char>::length(row.unit) >= sizeof(TavlinExtFilterInfo::unit)) {
            return false;
        }
    }
    return true;
}
static_assert(TextsFit());

}  // namespace

extern "C" {

int32_t TavlinExt_GetFilterCount(void) {
    return static_cast<int32_t>(kFilterCatalogue.size());
}

int32_t TavlinExt_GetFilterInfo(int32_t index, TavlinExtFilterInfo* info) {
    if (index < 0 || index >= TavlinExt_GetFilterCount() || info == nullptr ||
        info->size < sizeof(TavlinExtFilterInfo)) {
        return 0;
    }
    const FilterInfo& row = kFilterCatalogue[static_cast<size_t>(index)];
    TavlinExtFilterInfo filled{};
    filled.size = sizeof(TavlinExtFilterInfo);
    filled.id = row.id;
    filled.minimum = row.minimum;
    filled.maximum = row.maximum;
    filled.defaultValue = row.defaultValue;
    filled.flags = Flags(row);
    CopyText(filled.name, row.name);
    CopyText(filled.unit, row.unit);
    *info = filled;
    return 1;
}

}  // extern "C"
