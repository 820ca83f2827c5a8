#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "imaging/raw_kernels.h"
#include "output/image_buffer.h"

namespace tavlin::output {
namespace {

using imaging::Rect;

struct KernelCall {
    int calls = 0;
    Rect rect;
    int32_t dstX = -1;
    int32_t dstY = -1;
    uint16_t dstBytes = 0;
    uint16_t srcBytes = 0;
    int32_t dstStride = 0;
    int32_t srcStride = 0;
    void* second = nullptr;
};

int RecordCall(uint8_t*, const uint8_t*, const Rect& rect, int32_t dstX, int32_t dstY,
               uint16_t dstBytes, uint16_t srcBytes, int32_t dstStride, int32_t srcStride,
               void* first, void* second) {
    auto& call = *static_cast<KernelCall*>(first);
    call = {call.calls + 1, rect, dstX, dstY, dstBytes, srcBytes, dstStride, srcStride, second};
    return 7;
}

// Straight copy of 8-bit samples, as the kernel contract describes it.
int CopyBytes(uint8_t* dst, const uint8_t* src, const Rect& rect, int32_t dstX, int32_t dstY,
              uint16_t, uint16_t, int32_t dstStride, int32_t srcStride, void*, void*) {
    for (int32_t r = 0; r < rect.Height(); ++r) {
        std::memcpy(dst + (dstY + r) * dstStride + dstX,
                    src + (rect.top + r) * srcStride + rect.left, rect.Width());
    }
    return 1;
}

void ExpectCall(const KernelCall& call, Rect rect, int32_t dstX, int32_t dstY) {
    EXPECT_EQ(call.calls, 1);
    EXPECT_EQ(call.rect.left, rect.left);
    EXPECT_EQ(call.rect.top, rect.top);
    EXPECT_EQ(call.rect.right, rect.right);
    EXPECT_EQ(call.rect.bottom, rect.bottom);
    EXPECT_EQ(call.dstX, dstX);
    EXPECT_EQ(call.dstY, dstY);
}

class TransferTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(small_.Create(10, 10, 8), 1);
        ASSERT_EQ(other_.Create(10, 10, 16), 1);
    }
    // Runs the recording kernel from other_ into small_.
    KernelCall Run(const Rect* rect, int32_t x, int32_t y, int expected) {
        KernelCall call;
        EXPECT_EQ(small_.Transfer(&RecordCall, &other_, rect, x, y, &call, nullptr), expected);
        return call;
    }
    ImageBuffer small_;
    ImageBuffer other_;
};

TEST_F(TransferTest, LargerSourceMapsItsLastMemoryRowsOntoTheDestination) {
    ImageBuffer big;
    ImageBuffer half;
    ASSERT_EQ(big.Create(100, 100, 16), 1);
    ASSERT_EQ(half.Create(50, 50, 24), 1);
    KernelCall call;
    int marker = 0;
    EXPECT_EQ(half.Transfer(&RecordCall, &big, nullptr, 0, 0, &call, &marker), 7);
    ExpectCall(call, {0, 50, 50, 100}, 0, 0);
    EXPECT_EQ(call.dstBytes, 3);
    EXPECT_EQ(call.srcBytes, 2);
    EXPECT_EQ(call.dstStride, 152);
    EXPECT_EQ(call.srcStride, 200);
    EXPECT_EQ(call.second, &marker);

    KernelCall reverse;
    EXPECT_EQ(big.Transfer(&RecordCall, &half, nullptr, 0, 0, &reverse, nullptr), 7);
    ExpectCall(reverse, {0, 0, 50, 50}, 0, 50);
}

TEST_F(TransferTest, CopiedContentLandsWhereGdiWouldPutIt) {
    ImageBuffer big;
    ImageBuffer half;
    ASSERT_EQ(big.Create(100, 100, 8), 1);
    ASSERT_EQ(half.Create(50, 50, 8), 1);
    for (int32_t row = 0; row < 100; ++row) {
        for (int32_t col = 0; col < 100; ++col) big.Bits()[row * 100 + col] = uint8_t(row + col);
    }
    ASSERT_EQ(half.Transfer(&CopyBytes, &big, nullptr, 0, 0, nullptr, nullptr), 1);
    for (int32_t row = 0; row < 50; ++row) {
        for (int32_t col = 0; col < 50; ++col) {
            ASSERT_EQ(half.Bits()[row * 52 + col], uint8_t(row + 50 + col)) << row << "," << col;
        }
    }
}

TEST_F(TransferTest, ClipsAtEveryEdge) {
    ExpectCall(Run(nullptr, 0, 0, 7), {0, 0, 10, 10}, 0, 0);
    // Hanging off the right and bottom: the source's top-left 5 x 5 (its last memory rows).
    ExpectCall(Run(nullptr, 5, 5, 7), {0, 5, 5, 10}, 5, 0);
    // Hanging off the left and top: the source's bottom-right part.
    ExpectCall(Run(nullptr, -3, -2, 7), {3, 0, 10, 8}, 0, 2);
    // A window in the middle, destination at the window's own place (auto exposure).
    const Rect window{2, 1, 6, 4};
    ExpectCall(Run(&window, 2, 1, 7), {2, 6, 6, 9}, 2, 6);
    // The same window moved so it hangs off the bottom of the destination.
    ExpectCall(Run(&window, 2, 8, 7), {2, 7, 6, 9}, 2, 0);
}

TEST_F(TransferTest, NothingLeftAfterClippingSkipsTheKernel) {
    const Rect inverted{6, 6, 2, 2};
    const Rect outside{20, 20, 30, 30};
    for (const auto& [rect, x, y] :
         std::vector<std::tuple<const Rect*, int32_t, int32_t>>{{nullptr, 10, 0},
                                                                {nullptr, 0, 10},
                                                                {nullptr, -10, 0},
                                                                {nullptr, 0, -10},
                                                                {&inverted, 0, 0},
                                                                {&outside, 0, 0}}) {
        EXPECT_EQ(Run(rect, x, y, 0).calls, 0) << x << "," << y;
    }
}

TEST_F(TransferTest, SourceRectanglesOutsideTheSourceDoNotShiftPixels) {
    ImageBuffer wide;
    ImageBuffer src;
    ASSERT_EQ(wide.Create(8, 8, 8), 1);
    ASSERT_EQ(src.Create(4, 4, 8), 1);
    src.Bits()[3 * 4] = 200;  // GDI (0, 0)
    const Rect reaching{-2, -1, 4, 4};
    ASSERT_EQ(wide.Transfer(&CopyBytes, &src, &reaching, 0, 0, nullptr, nullptr), 1);
    // Source (0, 0) sits 2 right and 1 down of the rectangle's corner.
    EXPECT_EQ(wide.Bits()[(7 - 1) * 8 + 2], 200);
    int nonZero = 0;
    for (size_t i = 0; i < wide.SizeBytes(); ++i) nonZero += wide.Bits()[i] != 0;
    EXPECT_EQ(nonZero, 1);
}

TEST_F(TransferTest, RefusesMissingPieces) {
    ImageBuffer empty;
    KernelCall call;
    EXPECT_EQ(small_.Transfer(nullptr, &other_, nullptr, 0, 0, nullptr, nullptr), 0);
    EXPECT_EQ(small_.Transfer(&RecordCall, nullptr, nullptr, 0, 0, &call, nullptr), 0);
    EXPECT_EQ(small_.Transfer(&RecordCall, &empty, nullptr, 0, 0, &call, nullptr), 0);
    EXPECT_EQ(empty.Transfer(&RecordCall, &small_, nullptr, 0, 0, &call, nullptr), 0);
    EXPECT_EQ(call.calls, 0);
}

int RecordScaling(uint8_t*, const uint8_t*, const Rect& dst, const Rect& src, imaging::Size dstSize,
                  imaging::Size srcSize, uint16_t, uint16_t, int32_t, int32_t, void* first, void*) {
    auto* seen = static_cast<std::vector<int32_t>*>(first);
    *seen = {dst.left,  dst.top,    dst.right,     dst.bottom,     src.left,      src.top,
             src.right, src.bottom, dstSize.width, dstSize.height, srcSize.width, srcSize.height};
    return 3;
}

TEST_F(TransferTest, StretchTransferResolvesWholeBuffersAndRefusesStrayRectangles) {
    ImageBuffer wide;
    ASSERT_EQ(wide.Create(640, 512, 24), 1);
    std::vector<int32_t> seen;
    EXPECT_EQ(wide.StretchTransfer(&RecordScaling, &small_, nullptr, nullptr, &seen, nullptr), 3);
    EXPECT_EQ(seen, (std::vector<int32_t>{0, 0, 640, 512, 0, 0, 10, 10, 640, 512, 10, 10}));
    const Rect part{1, 2, 3, 4};
    EXPECT_EQ(wide.StretchTransfer(&RecordScaling, &small_, &part, &part, &seen, nullptr), 3);
    EXPECT_EQ(seen[4], 1);
    EXPECT_EQ(seen[7], 4);
    const Rect beyond{0, 0, 11, 10};
    const Rect empty{3, 3, 3, 5};
    EXPECT_EQ(wide.StretchTransfer(&RecordScaling, &small_, &beyond, nullptr, &seen, nullptr), 0);
    EXPECT_EQ(wide.StretchTransfer(&RecordScaling, &small_, nullptr, &empty, &seen, nullptr), 0);
    EXPECT_EQ(wide.StretchTransfer(nullptr, &small_, nullptr, nullptr, &seen, nullptr), 0);
    EXPECT_EQ(wide.StretchTransfer(&RecordScaling, nullptr, nullptr, nullptr, &seen, nullptr), 0);
}

// Raw kernels through Transfer, as the acquisition paths and the exposure step run them.
void ExpectRestridedInPlace(int32_t width, int32_t height, int32_t bitCount) {
    ImageBuffer raw;
    ASSERT_EQ(raw.Create(width, height, bitCount), 1);
    const int32_t bytes = bitCount / 8;
    const size_t packedRow = size_t(width) * bytes;
    for (size_t i = 0; i < raw.SizeBytes(); ++i) raw.Bits()[i] = uint8_t(i * 7 + i / 251);
    const std::vector<uint8_t> before(raw.Bits(), raw.Bits() + raw.SizeBytes());
    const auto kernel = bitCount == 8 ? &imaging::Restride8 : &imaging::Restride16;
    ASSERT_EQ(raw.Transfer(kernel, &raw, nullptr, 0, 0, nullptr, nullptr), 1);
    for (int32_t row = 0; row < height; ++row) {
        const uint8_t* moved = raw.Bits() + size_t(row) * raw.Stride();
        ASSERT_EQ(std::memcmp(moved, before.data() + row * packedRow, packedRow), 0) << row;
        for (size_t fill = packedRow; fill < size_t(raw.Stride()); ++fill) {
            ASSERT_EQ(moved[fill], before[row * raw.Stride() + fill]) << "fill byte, row " << row;
        }
    }
}

TEST(RawKernelsThroughTransfer, RestrideMovesPackedRowsToTheirStride) {
    ExpectRestridedInPlace(1278, 1024, 8);
    ExpectRestridedInPlace(1279, 1024, 16);
    ExpectRestridedInPlace(1, 3, 8);
}

TEST(RawKernelsThroughTransfer, WindowMeanReadsTheGdiWindow) {
    ImageBuffer raw;
    ASSERT_EQ(raw.Create(16, 12, 16), 1);
    // GDI rows 2..4 are memory rows 7..9; columns 5..8.
    for (int32_t row = 7; row < 10; ++row) {
        for (int32_t col = 5; col < 9; ++col) {
            raw.Bits()[row * raw.Stride() + 2 * col] = 0xFF;
            raw.Bits()[row * raw.Stride() + 2 * col + 1] = 0x03;
        }
    }
    const Rect window{5, 2, 9, 5};
    EXPECT_EQ(raw.Transfer(&imaging::WindowMean16, &raw, &window, 5, 2, nullptr, nullptr), 255);
    const Rect wider{5, 2, 13, 5};
    EXPECT_EQ(raw.Transfer(&imaging::WindowMean16, &raw, &wider, 5, 2, nullptr, nullptr), 127);
    const Rect empty{5, 2, 5, 5};
    EXPECT_EQ(raw.Transfer(&imaging::WindowMean16, &raw, &empty, 5, 2, nullptr, nullptr), 0);
}

}  // namespace
}  // namespace tavlin::output
