// Portable table lookups and brightness scaling over the samples of one row.
#include <algorithm>

#include "plain_rows.h"

namespace tavlin::imaging::plain {

size_t Lut8(uint8_t* dst, const uint8_t* src, size_t count, bool skipFourth, const uint8_t* table) {
    for (size_t i = 0; i < count; ++i) {
        if (!skipFourth || (i & 3) != 3) dst[i] = table[src[i]];
    }
    return count;
}

size_t Lut16(uint16_t* dst, const uint16_t* src, size_t count, bool skipFourth,
             const uint16_t* table, uint32_t tableSize) {
    for (size_t i = 0; i < count; ++i) {
        if (!skipFourth || (i & 3) != 3) dst[i] = table[std::min<uint32_t>(src[i], tableSize)];
    }
    return count;
}

size_t Brightness16(uint16_t* dst, const uint16_t* src, size_t count, bool skipFourth, float factor,
                    int32_t maxValue) {
    for (size_t i = 0; i < count; ++i) {
        if (skipFourth && (i & 3) == 3) continue;
        const auto scaled = static_cast<int32_t>(static_cast<float>(src[i]) * factor);
        dst[i] = static_cast<uint16_t>(std::clamp(scaled, 0, maxValue));
    }
    return count;
}

}  // namespace tavlin::imaging::plain
