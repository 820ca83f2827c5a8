// Portable interior rows of the demosaic. Pixels go in pairs (even column, odd column), which
// fixes every tap of both pixels without a per-pixel test, so the compiler can vectorise the
// loop.
#include "demosaic_pixel.h"
#include "plain_rows.h"

namespace tavlin::imaging::plain {
namespace {

struct SameColumn {
    int32_t operator()(int32_t x) const { return x; }
};

template <typename Sample>
inline void Store(uint8_t* pixel, int32_t blue, int32_t green, int32_t red) {
    Sample* out = reinterpret_cast<Sample*>(pixel);
    out[0] = static_cast<Sample>(blue);
    out[1] = static_cast<Sample>(green);
    out[2] = static_cast<Sample>(red);
}

// 9 x near + 3 x (near row, far column) + 3 x (far row, near column) + far row and column.
template <typename Sample>
inline int32_t Weighted(const Sample* nearRow, const Sample* farRow, int32_t c, int32_t cFar) {
    return 9 * nearRow[c] + 3 * nearRow[cFar] + 3 * farRow[c] + farRow[cFar];
}

// kRedParity 0: red at even columns of the red rows, blue at odd columns of the blue rows.
template <typename Sample, int32_t kMax, int32_t kRedParity, int32_t kBytesPerPixel>
int32_t PairRow(const DemosaicRowSources<Sample>& rows, uint8_t* dstRow, int32_t x, int32_t x1) {
    const Sample* __restrict rn = rows.redNear;
    const Sample* __restrict rf = rows.redFar;
    const Sample* __restrict bn = rows.blueNear;
    const Sample* __restrict bf = rows.blueFar;
    // Columns of the pair's even pixel x: the colour at x's parity uses x and x - 2 for the even
    // pixel and x and x + 2 for the odd one; the other colour uses x - 1 and x + 1 both ways.
    const Sample* __restrict at = kRedParity == 0 ? rn : bn;
    const Sample* __restrict atFar = kRedParity == 0 ? rf : bf;
    const Sample* __restrict off = kRedParity == 0 ? bn : rn;
    const Sample* __restrict offFar = kRedParity == 0 ? bf : rf;
    const int32_t gainAt = kRedParity == 0 ? rows.gainR : rows.gainB;
    const int32_t gainOff = kRedParity == 0 ? rows.gainB : rows.gainR;
    for (; x + 1 < x1; x += 2) {
        const int32_t atEven = ScaleByGain<kMax>(Weighted(at, atFar, x, x - 2), gainAt);
        const int32_t atOdd = ScaleByGain<kMax>(Weighted(at, atFar, x, x + 2), gainAt);
        const int32_t offEven = ScaleByGain<kMax>(Weighted(off, offFar, x - 1, x + 1), gainOff);
        const int32_t offOdd = ScaleByGain<kMax>(Weighted(off, offFar, x + 1, x - 1), gainOff);
        // Greens: the off colour's row holds one at x, the at colour's row at x - 1 and x + 1.
        const int32_t greenEven = std::min((at[x - 1] + off[x]) >> 1, kMax);
        const int32_t greenOdd = std::min((at[x + 1] + off[x]) >> 1, kMax);
        uint8_t* even = dstRow + static_cast<ptrdiff_t>(x) * kBytesPerPixel;
        uint8_t* odd = even + kBytesPerPixel;
        if constexpr (kRedParity == 0) {
            Store<Sample>(even, offEven, greenEven, atEven);
            Store<Sample>(odd, offOdd, greenOdd, atOdd);
        } else {
            Store<Sample>(even, atEven, greenEven, offEven);
            Store<Sample>(odd, atOdd, greenOdd, offOdd);
        }
    }
    return x;
}

template <typename Sample, int32_t kMax>
int32_t DemosaicRow(const DemosaicRowSources<Sample>& rows, uint8_t* dstRow,
                    int32_t dstBytesPerPixel, int32_t x0, int32_t x1) {
    int32_t x = x0;
    if ((x & 1) != 0 && x < x1) {
        DemosaicPixel<Sample, kMax>(rows, dstRow, dstBytesPerPixel, x++, SameColumn{});
    }
    constexpr int32_t kWide = static_cast<int32_t>(sizeof(Sample));
    const bool four = dstBytesPerPixel == 4 * kWide;
    if (rows.redParity == 0) {
        x = four ? PairRow<Sample, kMax, 0, 4 * kWide>(rows, dstRow, x, x1)
                 : PairRow<Sample, kMax, 0, 3 * kWide>(rows, dstRow, x, x1);
    } else {
        x = four ? PairRow<Sample, kMax, 1, 4 * kWide>(rows, dstRow, x, x1)
                 : PairRow<Sample, kMax, 1, 3 * kWide>(rows, dstRow, x, x1);
    }
    for (; x < x1; ++x) {
        DemosaicPixel<Sample, kMax>(rows, dstRow, dstBytesPerPixel, x, SameColumn{});
    }
    return x1;
}

}  // namespace

int32_t Demosaic8(const DemosaicRowSources<uint8_t>& rows, uint8_t* dstRow,
                  int32_t dstBytesPerPixel, int32_t x0, int32_t x1) {
    return DemosaicRow<uint8_t, 255>(rows, dstRow, dstBytesPerPixel, x0, x1);
}

int32_t Demosaic16(const DemosaicRowSources<uint16_t>& rows, uint8_t* dstRow,
                   int32_t dstBytesPerPixel, int32_t x0, int32_t x1) {
    return DemosaicRow<uint16_t, kMaxWideColorSample>(rows, dstRow, dstBytesPerPixel, x0, x1);
}

}  // namespace tavlin::imaging::plain
