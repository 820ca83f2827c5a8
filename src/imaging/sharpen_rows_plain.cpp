// Portable unsharp mask over the samples of one row.
#include <algorithm>

#include "plain_rows.h"

namespace tavlin::imaging::plain {
namespace {

template <typename Sample>
size_t SharpenRow(Sample* dst, const BoxRows<Sample>& box, size_t begin, size_t end,
                  bool skipFourth, int32_t strength, int32_t maxValue) {
    const size_t s = static_cast<size_t>(box.step);
    for (size_t j = begin; j < end; ++j) {
        if (skipFourth && (j & 3) == 3) continue;
        int32_t sum = 0;
        for (const Sample* row : box.rows) {
            sum += row[j - 2 * s] + row[j - s] + row[j] + row[j + s];
        }
        const int32_t v = box.rows[2][j];
        const int32_t difference = v - (sum >> 4);
        dst[j] = static_cast<Sample>(std::clamp(v + strength * difference / 10, 0, maxValue));
    }
    return end;
}

}  // namespace

size_t Sharpen8(uint8_t* dst, const BoxRows<uint8_t>& box, size_t begin, size_t end,
                bool skipFourth, int32_t strength) {
    return SharpenRow(dst, box, begin, end, skipFourth, strength, 255);
}

size_t Sharpen16(uint16_t* dst, const BoxRows<uint16_t>& box, size_t begin, size_t end,
                 bool skipFourth, int32_t strength, int32_t maxValue) {
    return SharpenRow(dst, box, begin, end, skipFourth, strength, maxValue);
}

}  // namespace tavlin::imaging::plain
