#include "adjustments.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "adjustment_tables.h"
#include "hue_saturation_pixel.h"
#include "kernel_paths.h"
#include "parameter_blocks.h"
#include "plain_rows.h"

namespace tavlin::imaging {
namespace {

struct Layout {
    bool wide;                // 16-bit samples
    int32_t samplesPerPixel;  // 1, 3 or 4
    bool skipFourth;
    bool color;
};

std::optional<Layout> LayoutOf(uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel) {
    if (dstBytesPerPixel != srcBytesPerPixel) return std::nullopt;
    switch (dstBytesPerPixel) {
        case 1:
            return Layout{false, 1, false, false};
        case 2:
            return Layout{true, 1, false, false};
        case 3:
            return Layout{false, 3, false, true};
        case 4:
            return Layout{false, 4, true, true};
        case 6:
            return Layout{true, 3, false, true};
        case 8:
            return Layout{true, 4, true, true};
        default:
            return std::nullopt;
    }
}

// One frame's pass: the rectangle's rows with their source and destination starts.
struct Pass {
    uint8_t* dst;
    const uint8_t* src;
    int32_t dstStride;
    int32_t srcStride;
    int32_t width;
    int32_t height;
    Layout layout;

    uint8_t* DstRow(int32_t y) const { return dst + static_cast<ptrdiff_t>(y) * dstStride; }
    const uint8_t* SrcRow(int32_t y) const { return src + static_cast<ptrdiff_t>(y) * srcStride; }
    size_t SamplesPerRow() const { return static_cast<size_t>(width) * layout.samplesPerPixel; }

    // Rows that follow each other without a gap in both images, as one long row: a stage whose
    // samples do not depend on their neighbours then starts its row loop once per frame instead
    // of once per row. A row holds whole pixels, so every fourth sample stays every fourth.
    Pass Joined() const {
        const auto pixels = static_cast<int64_t>(width);
        const int64_t rowBytes = pixels * layout.samplesPerPixel * (layout.wide ? 2 : 1);
        const int64_t joinedWidth = pixels * height;
        if (height < 2 || dstStride != rowBytes || srcStride != rowBytes ||
            joinedWidth > INT32_MAX) {
            return *this;
        }
        Pass joined = *this;
        joined.width = static_cast<int32_t>(joinedWidth);
        joined.height = 1;
        return joined;
    }
};

std::optional<Pass> MakePass(const StageRun& run, const void* block) {
    const std::optional<Layout> layout = LayoutOf(run.dstBytesPerPixel, run.srcBytesPerPixel);
    if (!layout || block == nullptr || run.dstBits == nullptr || run.srcBits == nullptr) {
        return std::nullopt;
    }
    return Pass{run.DstOrigin(),
                run.SrcOrigin(),
                run.dstStride,
                run.srcStride,
                std::max(run.src.Width(), 0),
                std::max(run.src.Height(), 0),
                *layout};
}

// Tables over 2^bits values live per thread, so frames of one camera reuse them and cameras on
// different threads never share one.
uint16_t* WideTable(int32_t significantBits) {
    thread_local std::vector<uint16_t> table;
    table.resize(std::max<size_t>(table.size(), WideTableEntries(significantBits)));
    return table.data();
}

// A gamma table depends on nothing but its setting and the sample width (and, at 8 bits, whether
// the colour variant limits the exponent), and building one costs 256 or 2^bits calls of pow, a
// few percent of the stage. Each thread keeps its last one.
const uint8_t* GammaTable8(int32_t gamma, bool limitExponent) {
    struct Cached {
        bool valid = false;
        int32_t gamma = 0;
        bool limitExponent = false;
        std::array<uint8_t, 256> table{};
    };
    thread_local Cached cached;
    if (!cached.valid || cached.gamma != gamma || cached.limitExponent != limitExponent) {
        BuildGammaTable8(gamma, limitExponent, cached.table.data());
        cached.valid = true;
        cached.gamma = gamma;
        cached.limitExponent = limitExponent;
    }
    return cached.table.data();
}

const uint16_t* GammaTable16(int32_t gamma, int32_t significantBits) {
    struct Cached {
        bool valid = false;
        int32_t gamma = 0;
        int32_t bits = 0;
        std::vector<uint16_t> table;
    };
    thread_local Cached cached;
    if (!cached.valid || cached.gamma != gamma || cached.bits != significantBits) {
        cached.table.resize(WideTableEntries(significantBits));
        BuildGammaTable16(gamma, significantBits, cached.table.data());
        cached.valid = true;
        cached.gamma = gamma;
        cached.bits = significantBits;
    }
    return cached.table.data();
}

// Runs a row function over every row, the plain lookup taking the samples it leaves at the end.
template <typename Row>
void ForEachRow8(const Pass& frame, const uint8_t* table, Row fastRow) {
    const Pass pass = frame.Joined();
    const size_t count = pass.SamplesPerRow();
    const bool skipFourth = pass.layout.skipFourth;
    for (int32_t y = 0; y < pass.height; ++y) {
        uint8_t* dst = pass.DstRow(y);
        const uint8_t* src = pass.SrcRow(y);
        const size_t done = fastRow(dst, src, count, skipFourth);
        plain::Lut8(dst + done, src + done, count - done, skipFourth, table);
    }
}

template <typename Row>
void ForEachRow16(const Pass& frame, const uint16_t* table, uint32_t tableSize, Row fastRow) {
    const Pass pass = frame.Joined();
    const size_t count = pass.SamplesPerRow();
    const bool skipFourth = pass.layout.skipFourth;
    for (int32_t y = 0; y < pass.height; ++y) {
        auto* dst = reinterpret_cast<uint16_t*>(pass.DstRow(y));
        const auto* src = reinterpret_cast<const uint16_t*>(pass.SrcRow(y));
        const size_t done = fastRow(dst, src, count, skipFourth);
        plain::Lut16(dst + done, src + done, count - done, skipFourth, table, tableSize);
    }
}

void ApplyTable8(const Pass& pass, const uint8_t* table) {
    const auto lut = ActiveKernelPaths().lut8;
    ForEachRow8(pass, table, [&](uint8_t* dst, const uint8_t* src, size_t count, bool skip) {
        return lut(dst, src, count, skip, table);
    });
}

void ApplyTable16(const Pass& pass, const uint16_t* table, uint32_t tableSize) {
    const auto lut = ActiveKernelPaths().lut16;
    ForEachRow16(pass, table, tableSize,
                 [&](uint16_t* dst, const uint16_t* src, size_t count, bool skip) {
                     return lut(dst, src, count, skip, table, tableSize);
                 });
}

// A contrast table is computed as its line where the path can and the line gives every entry
// (fitted only then: the fit reads the whole table).
void ApplyContrast8(const Pass& pass, int32_t contrast, const uint8_t* table) {
    const auto compute = ActiveKernelPaths().line8;
    const auto line = compute ? FitContrastLine(contrast, 8, table) : std::nullopt;
    if (!line) return ApplyTable8(pass, table);
    ForEachRow8(pass, table, [&](uint8_t* dst, const uint8_t* src, size_t count, bool skip) {
        return compute(dst, src, count, skip, *line);
    });
}

void ApplyContrast16(const Pass& pass, int32_t contrast, int32_t bits, const uint16_t* table) {
    const auto compute = ActiveKernelPaths().line16;
    const uint32_t tableSize = 1u << bits;
    const auto line = compute ? FitContrastLine(contrast, bits, table) : std::nullopt;
    if (!line) return ApplyTable16(pass, table, tableSize);
    ForEachRow16(pass, table, tableSize,
                 [&](uint16_t* dst, const uint16_t* src, size_t count, bool skip) {
                     return compute(dst, src, count, skip, *line, tableSize);
                 });
}

int32_t SignificantBits(const SingleValueBlock& block) {
    return ClampSignificantBits(block.significantBits);
}

void HueSaturationWide(const Pass& pass, int32_t shift, HueShift hueShift, int32_t scale,
                       const int32_t* chroma) {
    const auto row = ActiveKernelPaths().hueSaturation16;
    const int32_t step = pass.layout.samplesPerPixel;
    const auto width = static_cast<size_t>(pass.width);
    for (int32_t y = 0; y < pass.height; ++y) {
        auto* dst = reinterpret_cast<uint16_t*>(pass.DstRow(y));
        const auto* in = reinterpret_cast<const uint16_t*>(pass.SrcRow(y));
        const size_t done = row(dst, in, width, step, shift, hueShift, scale, chroma);
        const size_t offset = done * step;
        plain::HueSaturation16(dst + offset, in + offset, width - done, step, shift, hueShift,
                               scale, chroma);
    }
}

template <typename Sample, typename FastRow, typename PlainRow>
void SharpenPass(const Pass& pass, int32_t strength, FastRow fastRow, PlainRow plainRow) {
    const int32_t step = pass.layout.samplesPerPixel;
    const size_t begin = 2 * static_cast<size_t>(step);
    const size_t end = static_cast<size_t>(pass.width - 2) * step;
    for (int32_t y = 2; y + 2 < pass.height; ++y) {
        BoxRows<Sample> box;
        for (int32_t r = 0; r < 4; ++r) {
            box.rows[r] = reinterpret_cast<const Sample*>(pass.SrcRow(y - 2 + r));
        }
        box.step = step;
        auto* dst = reinterpret_cast<Sample*>(pass.DstRow(y));
        const size_t done = fastRow(dst, box, begin, end);
        plainRow(dst, box, done, end);
    }
}

}  // namespace

int AdjustHueSaturation(const StageRun& run, const HueSaturationBlock* block) {
    const auto pass = MakePass(run, block);
    if (!pass || !pass->layout.color) return 0;
    const HueShift shift = MakeHueShift(block->hue);
    std::array<int32_t, 256> chroma;
    BuildChromaTable(block->saturation, chroma.data());
    const int32_t scale = ChromaScale(block->saturation);
    if (pass->layout.wide) {
        HueSaturationWide(*pass, ClampSignificantBits(block->significantBits) - 8, shift, scale,
                          chroma.data());
        return 1;
    }
    const auto row = ActiveKernelPaths().hueSaturation8;
    const auto width = static_cast<size_t>(pass->width);
    for (int32_t y = 0; y < pass->height; ++y) {
        uint8_t* dst = pass->DstRow(y);
        const uint8_t* in = pass->SrcRow(y);
        const size_t done = row(dst, in, width, run.dstBytesPerPixel, shift, scale, chroma.data());
        const size_t offset = done * run.dstBytesPerPixel;
        plain::HueSaturation8(dst + offset, in + offset, width - done, run.dstBytesPerPixel, shift,
                              scale, chroma.data());
    }
    return 1;
}

int AdjustGamma(const StageRun& run, const SingleValueBlock* block) {
    const auto pass = MakePass(run, block);
    if (!pass) return 0;
    if (!pass->layout.wide) {
        ApplyTable8(*pass, GammaTable8(block->value, pass->layout.color));
        return 1;
    }
    const int32_t bits = SignificantBits(*block);
    ApplyTable16(*pass, GammaTable16(block->value, bits), 1u << bits);
    return 1;
}

int AdjustContrast(const StageRun& run, const SingleValueBlock* block) {
    const auto pass = MakePass(run, block);
    if (!pass) return 0;
    if (!pass->layout.wide) {
        std::array<uint8_t, 256> table;
        BuildContrastTable8(block->value, table.data());
        ApplyContrast8(*pass, block->value, table.data());
        return 1;
    }
    const int32_t bits = SignificantBits(*block);
    uint16_t* table = WideTable(bits);
    BuildContrastTable16(block->value, bits, table);
    ApplyContrast16(*pass, block->value, bits, table);
    return 1;
}

int AdjustSharpness(const StageRun& run, const SingleValueBlock* block) {
    const auto pass = MakePass(run, block);
    if (!pass || pass->dst == pass->src) return 0;
    if (pass->width < 5 || pass->height < 5) return 1;  // all frame, nothing inside
    const int32_t strength = std::clamp(block->value, 0, 30);
    const bool skipFourth = pass->layout.skipFourth;
    const KernelPaths& paths = ActiveKernelPaths();
    if (!pass->layout.wide) {
        SharpenPass<uint8_t>(
            *pass, strength,
            [&](uint8_t* d, const BoxRows<uint8_t>& b, size_t from, size_t to) {
                return paths.sharpen8(d, b, from, to, skipFourth, strength);
            },
            [&](uint8_t* d, const BoxRows<uint8_t>& b, size_t from, size_t to) {
                return plain::Sharpen8(d, b, from, to, skipFourth, strength);
            });
        return 1;
    }
    const int32_t maxValue = (1 << SignificantBits(*block)) - 1;
    SharpenPass<uint16_t>(
        *pass, strength,
        [&](uint16_t* d, const BoxRows<uint16_t>& b, size_t from, size_t to) {
            return paths.sharpen16(d, b, from, to, skipFourth, strength, maxValue);
        },
        [&](uint16_t* d, const BoxRows<uint16_t>& b, size_t from, size_t to) {
            return plain::Sharpen16(d, b, from, to, skipFourth, strength, maxValue);
        });
    return 1;
}

int AdjustBrightness(const StageRun& run, const SingleValueBlock* block) {
    const auto pass = MakePass(run, block);
    if (!pass) return 0;
    const float factor = BrightnessFactor(block->value);
    if (!pass->layout.wide) {
        // Every 8-bit value has one result: rows multiply where that is faster than a lookup,
        // the table does the rest.
        std::array<uint8_t, 256> table;
        BuildBrightnessTable8(factor, table.data());
        const auto scale8 = ActiveKernelPaths().brightness8;
        if (scale8 == nullptr) {
            ApplyTable8(*pass, table.data());
            return 1;
        }
        ForEachRow8(*pass, table.data(),
                    [&](uint8_t* dst, const uint8_t* src, size_t count, bool skip) {
                        return scale8(dst, src, count, skip, factor);
                    });
        return 1;
    }
    const int32_t maxValue = (1 << SignificantBits(*block)) - 1;
    const auto scale = ActiveKernelPaths().brightness16;
    const size_t count = pass->SamplesPerRow();
    const bool skipFourth = pass->layout.skipFourth;
    for (int32_t y = 0; y < pass->height; ++y) {
        auto* dst = reinterpret_cast<uint16_t*>(pass->DstRow(y));
        const auto* in = reinterpret_cast<const uint16_t*>(pass->SrcRow(y));
        const size_t done = scale(dst, in, count, skipFourth, factor, maxValue);
        plain::Brightness16(dst + done, in + done, count - done, skipFourth, factor, maxValue);
    }
    return 1;
}

}  // namespace tavlin::imaging
