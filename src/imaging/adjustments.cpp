#include "adjustments.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
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

// The last table a thread built for a stage, kept while its key (the setting and whatever else
// the table depends on) stays the same: gamma tables cost 256 or 2^bits calls of pow and the
// contrast fit reads its whole table, and a frame's row bands call the stage several times.
// Tables live per thread, so cameras on different threads never share one.
template <typename Key, typename Table>
class KeptTable {
  public:
    template <typename Build>
    const Table& Get(const Key& key, Build build) {
        if (key_ != key) {
            key_.reset();  // a build that throws leaves no key on a half-built table
            build(table_);
            key_ = key;
        }
        return table_;
    }

  private:
    std::optional<Key> key_;
    Table table_{};
};

const uint8_t* GammaTable8(int32_t gamma, bool limitExponent) {
    thread_local KeptTable<std::pair<int32_t, bool>, std::array<uint8_t, 256>> kept;
    return kept
        .Get({gamma, limitExponent},
             [&](std::array<uint8_t, 256>& table) {
                 BuildGammaTable8(gamma, limitExponent, table.data());
             })
        .data();
}

const uint16_t* GammaTable16(int32_t gamma, int32_t significantBits) {
    thread_local KeptTable<std::pair<int32_t, int32_t>, std::vector<uint16_t>> kept;
    return kept
        .Get({gamma, significantBits},
             [&](std::vector<uint16_t>& table) {
                 table.resize(WideTableEntries(significantBits));
                 BuildGammaTable16(gamma, significantBits, table.data());
             })
        .data();
}

// A contrast table with the line it was found to be, if any.
template <typename Entries>
struct ContrastTable {
    Entries entries{};
    std::optional<LinearTable> line;
};

const ContrastTable<std::array<uint8_t, 256>>& ContrastTable8(int32_t contrast) {
    using Table = ContrastTable<std::array<uint8_t, 256>>;
    thread_local KeptTable<int32_t, Table> kept;
    return kept.Get(contrast, [&](Table& table) {
        BuildContrastTable8(contrast, table.entries.data());
        table.line = FitContrastLine(contrast, 8, table.entries.data());
    });
}

const ContrastTable<std::vector<uint16_t>>& ContrastTable16(int32_t contrast,
                                                            int32_t significantBits) {
    using Table = ContrastTable<std::vector<uint16_t>>;
    thread_local KeptTable<std::pair<int32_t, int32_t>, Table> kept;
    return kept.Get({contrast, significantBits}, [&](Table& table) {
        table.entries.resize(WideTableEntries(significantBits));
        BuildContrastTable16(contrast, significantBits, table.entries.data());
        table.line = FitContrastLine(contrast, significantBits, table.entries.data());
    });
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

// A contrast table is computed as its line where the path can and the line gives every entry.
void ApplyContrast8(const Pass& pass, const ContrastTable<std::array<uint8_t, 256>>& table) {
    const auto compute = ActiveKernelPaths().line8;
    const uint8_t* entries = table.entries.data();
    if (compute == nullptr || !table.line) return ApplyTable8(pass, entries);
    ForEachRow8(pass, entries, [&](uint8_t* dst, const uint8_t* src, size_t count, bool skip) {
        return compute(dst, src, count, skip, *table.line);
    });
}

void ApplyContrast16(const Pass& pass, int32_t bits,
                     const ContrastTable<std::vector<uint16_t>>& table) {
    const auto compute = ActiveKernelPaths().line16;
    const uint32_t tableSize = 1u << bits;
    const uint16_t* entries = table.entries.data();
    if (compute == nullptr || !table.line) return ApplyTable16(pass, entries, tableSize);
    ForEachRow16(pass, entries, tableSize,
                 [&](uint16_t* dst, const uint16_t* src, size_t count, bool skip) {
                     return compute(dst, src, count, skip, *table.line, tableSize);
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
        ApplyContrast8(*pass, ContrastTable8(block->value));
        return 1;
    }
    const int32_t bits = SignificantBits(*block);
    ApplyContrast16(*pass, bits, ContrastTable16(block->value, bits));
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
