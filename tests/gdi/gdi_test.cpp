#include "gdi/gdi.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <random>
#include <thread>
#include <utility>
#include <vector>

namespace tavlin::gdi {
namespace {

BITMAPINFO MakeInfo(int32_t width, int32_t height, uint16_t bitCount) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bitCount;
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<uint8_t>(i);
        info.bmiColors[i] = {v, v, v, 0};
    }
    return info;
}

// A DIB section selected into its own memory DC, torn down the way image buffers do it.
struct Surface {
    Surface(int32_t width, int32_t height, uint16_t bitCount) {
        const BITMAPINFO info = MakeInfo(width, height, bitCount);
        void* memory = nullptr;
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
        bits = static_cast<uint8_t*>(memory);
        dc = CreateCompatibleDC(nullptr);
        previous = SelectObject(dc, bitmap);
        DescribeDib(bitmap, &layout);
    }
    ~Surface() {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    uint8_t* Row(int32_t memoryRow) { return bits + memoryRow * layout.stride; }
    // Fills every byte with a value naming its memory row and byte column.
    void FillPattern() {
        for (int32_t y = 0; y < layout.height; ++y) {
            for (int32_t x = 0; x < layout.stride; ++x) Row(y)[x] = uint8_t(y * 16 + x);
        }
    }

    HBITMAP bitmap = nullptr;
    HDC dc = nullptr;
    HGDIOBJ previous = nullptr;
    uint8_t* bits = nullptr;
    DibDescription layout;
};

TEST(GdiDibSection, ZeroedMemoryWithPaddedRows) {
    Surface s(5, 3, 24);
    ASSERT_NE(s.bitmap, nullptr);
    ASSERT_NE(s.previous, nullptr);
    EXPECT_EQ(s.layout.stride, 16);
    EXPECT_FALSE(s.layout.topDown);
    EXPECT_EQ(s.layout.bits, s.bits);
    for (int i = 0; i < 3 * 16; ++i) ASSERT_EQ(s.bits[i], 0) << i;
}

TEST(GdiDibSection, RefusesBadHeaders) {
    void* bits = reinterpret_cast<void*>(1);
    const std::vector<BITMAPINFO> bad = {
        MakeInfo(0, 4, 8), MakeInfo(-4, 4, 8), MakeInfo(4, 0, 8),       MakeInfo(4, 4, 0),
        MakeInfo(4, 4, 4), MakeInfo(4, 4, 12), MakeInfo(1 << 30, 4, 32)};  // 16 GiB of pixels
    for (const BITMAPINFO& info : bad) {
        EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
        EXPECT_EQ(bits, nullptr);
    }
    BITMAPINFO compressed = MakeInfo(4, 4, 8);
    compressed.bmiHeader.biCompression = 1;
    EXPECT_EQ(CreateDIBSection(nullptr, &compressed, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    const BITMAPINFO good = MakeInfo(4, 4, 8);
    EXPECT_EQ(CreateDIBSection(nullptr, &good, 1, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(CreateDIBSection(nullptr, &good, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
}

TEST(GdiHandles, SelectedBitmapsAreProtected) {
    Surface s(4, 4, 8);
    HDC other = CreateCompatibleDC(nullptr);
    EXPECT_EQ(DeleteObject(s.bitmap), 0) << "still selected";
    EXPECT_EQ(SelectObject(other, s.bitmap), nullptr) << "already in another DC";
    EXPECT_EQ(SelectObject(s.dc, s.previous), s.bitmap);
    EXPECT_EQ(GetSelectedBitmap(s.dc), s.previous);
    EXPECT_NE(SelectObject(other, s.bitmap), nullptr) << "free again";
    EXPECT_EQ(DeleteDC(other), 1);
    EXPECT_EQ(DeleteDC(other), 0);
    EXPECT_EQ(SelectObject(other, s.bitmap), nullptr);
    s.previous = SelectObject(s.dc, s.bitmap);
    EXPECT_NE(s.previous, nullptr);
}

TEST(GdiHandles, StaleHandlesFailInsteadOfTouchingMemory) {
    const BITMAPINFO info = MakeInfo(4, 4, 8);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(DeleteObject(bitmap), 1);
    EXPECT_EQ(DeleteObject(bitmap), 0);
    EXPECT_EQ(SelectObject(dc, bitmap), nullptr);
    EXPECT_EQ(DeleteObject(dc), 0) << "a DC is not a bitmap";
    Surface target(4, 4, 8);
    EXPECT_EQ(BitBlt(target.dc, 0, 0, 4, 4, dc, 0, 0, SRCCOPY), 0) << "stock bitmap only";
    EXPECT_EQ(DeleteDC(dc), 1);
    EXPECT_EQ(BitBlt(target.dc, 0, 0, 4, 4, dc, 0, 0, SRCCOPY), 0);
    EXPECT_EQ(DeleteDC(nullptr), 0);
}

TEST(GdiColorTable, SetsOnlyEightBitTablesWithinRange) {
    Surface gray(2, 1, 8);
    Surface colour(2, 1, 24);
    std::vector<RGBQUAD> red(256, RGBQUAD{0, 0, 200, 0});
    EXPECT_EQ(SetDIBColorTable(gray.dc, 250, 10, red.data()), 6u);
    EXPECT_EQ(SetDIBColorTable(gray.dc, 256, 1, red.data()), 0u);
    EXPECT_EQ(SetDIBColorTable(colour.dc, 0, 1, red.data()), 0u);
    // Index 255 now expands to red, index 1 is still gray.
    gray.bits[0] = 255;
    gray.bits[1] = 1;
    EXPECT_EQ(BitBlt(colour.dc, 0, 0, 2, 1, gray.dc, 0, 0, SRCCOPY), 1);
    const uint8_t expected[] = {0, 0, 200, 1, 1, 1};
    EXPECT_EQ(std::memcmp(colour.bits, expected, 6), 0);
    // The reserved byte of a table entry never reaches a 32-bit pixel.
    Surface wide(2, 1, 32);
    const RGBQUAD marked{1, 2, 3, 0x55};
    EXPECT_EQ(SetDIBColorTable(gray.dc, 255, 1, &marked), 1u);
    EXPECT_EQ(BitBlt(wide.dc, 0, 0, 2, 1, gray.dc, 0, 0, SRCCOPY), 1);
    const uint8_t expanded[] = {1, 2, 3, 0, 1, 1, 1, 0};
    EXPECT_EQ(std::memcmp(wide.bits, expanded, 8), 0);
}

TEST(GdiBlit, GdiRowsCountFromTheBottomOfMemory) {
    Surface src(3, 4, 8);
    Surface dst(3, 6, 8);
    src.FillPattern();
    // GDI row 0 of the source is memory row 3; GDI row 1 of the destination is memory row 4.
    EXPECT_EQ(BitBlt(dst.dc, 0, 1, 3, 1, src.dc, 0, 0, SRCCOPY), 1);
    for (int32_t y = 0; y < 6; ++y) {
        const uint8_t* expected = y == 4 ? src.Row(3) : nullptr;
        for (int32_t x = 0; x < 3; ++x) {
            EXPECT_EQ(dst.Row(y)[x], expected ? expected[x] : 0) << "row " << y << " col " << x;
        }
    }
}

TEST(GdiBlit, EqualSizesCopyMemoryAsIs) {
    Surface src(5, 3, 24);
    Surface dst(5, 3, 24);
    src.FillPattern();
    EXPECT_EQ(BitBlt(dst.dc, 0, 0, 5, 3, src.dc, 0, 0, SRCCOPY), 1);
    for (int32_t y = 0; y < 3; ++y) EXPECT_EQ(std::memcmp(dst.Row(y), src.Row(y), 15), 0);
    EXPECT_EQ(dst.Row(0)[15], 0) << "fill bytes are not pixels";
}

TEST(GdiBlit, NegativeSourceHeightFlipsRows) {
    // The preview and JPEG paths: source at (0, height) with size (width, -height).
    Surface src(5, 3, 24);
    Surface dst(5, 3, 24);
    src.FillPattern();
    EXPECT_EQ(StretchBlt(dst.dc, 0, 0, 5, 3, src.dc, 0, 3, 5, -3, SRCCOPY), 1);
    for (int32_t y = 0; y < 3; ++y) {
        EXPECT_EQ(std::memcmp(dst.Row(y), src.Row(2 - y), 15), 0) << y;
    }
}

TEST(GdiBlit, NegativeWidthMirrorsColumnsAndBothNegativeDoNot) {
    Surface src(4, 2, 16);
    Surface mirrored(4, 2, 16);
    Surface plain(4, 2, 16);
    src.FillPattern();
    EXPECT_EQ(StretchBlt(mirrored.dc, 4, 0, -4, 2, src.dc, 0, 0, 4, 2, SRCCOPY), 1);
    EXPECT_EQ(StretchBlt(plain.dc, 4, 2, -4, -2, src.dc, 4, 2, -4, -2, SRCCOPY), 1);
    for (int32_t y = 0; y < 2; ++y) {
        EXPECT_EQ(std::memcmp(plain.Row(y), src.Row(y), 8), 0);
        for (int32_t x = 0; x < 4; ++x) {
            EXPECT_EQ(std::memcmp(mirrored.Row(y) + 2 * x, src.Row(y) + 2 * (3 - x), 2), 0);
        }
    }
}

TEST(GdiBlit, ExpandsAndConvertsColourDepths) {
    Surface gray(2, 1, 8);
    Surface bgr(2, 1, 24);
    Surface bgrx(2, 1, 32);
    gray.bits[0] = 7;
    gray.bits[1] = 200;
    EXPECT_EQ(BitBlt(bgrx.dc, 0, 0, 2, 1, gray.dc, 0, 0, SRCCOPY), 1);
    const uint8_t expandedX[] = {7, 7, 7, 0, 200, 200, 200, 0};
    EXPECT_EQ(std::memcmp(bgrx.bits, expandedX, 8), 0);

    const uint8_t colour[] = {1, 2, 3, 9, 4, 5, 6, 9};
    std::memcpy(bgrx.bits, colour, 8);
    EXPECT_EQ(BitBlt(bgr.dc, 0, 0, 2, 1, bgrx.dc, 0, 0, SRCCOPY), 1);
    const uint8_t dropped[] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(std::memcmp(bgr.bits, dropped, 6), 0);
    EXPECT_EQ(BitBlt(bgrx.dc, 0, 0, 2, 1, bgr.dc, 0, 0, SRCCOPY), 1);
    const uint8_t widened[] = {1, 2, 3, 0, 4, 5, 6, 0};
    EXPECT_EQ(std::memcmp(bgrx.bits, widened, 8), 0);

    Surface deep(2, 1, 16);
    EXPECT_EQ(BitBlt(bgr.dc, 0, 0, 2, 1, deep.dc, 0, 0, SRCCOPY), 0);
    EXPECT_EQ(BitBlt(gray.dc, 0, 0, 2, 1, bgr.dc, 0, 0, SRCCOPY), 0);
    EXPECT_EQ(BitBlt(bgr.dc, 0, 0, 2, 1, bgr.dc, 0, 0, 0x00EE0086), 0) << "only SRCCOPY";
}

// Depth conversions move several pixels a step (gray tables without looking them up); every
// width and both row directions must give the pixel-by-pixel result and leave every byte outside
// the run alone.
TEST(GdiBlit, ColourDepthRunsMatchPixelByPixelAtEveryWidth) {
    std::mt19937 random(7);
    std::array<RGBQUAD, 256> shuffled{};
    for (RGBQUAD& entry : shuffled) {
        entry = {uint8_t(random()), uint8_t(random()), uint8_t(random()), uint8_t(random())};
    }
    struct Case {
        int srcBits;
        int dstBits;
        bool grayTable;
    };
    for (const Case c : {Case{24, 32, true}, Case{32, 24, true}, Case{8, 24, true},
                         Case{8, 32, true}, Case{8, 24, false}, Case{8, 32, false}}) {
        const int srcBytes = c.srcBits / 8;
        const int dstBytes = c.dstBits / 8;
        for (int32_t width = 1; width <= 41; ++width) {
            for (const int32_t direction : {1, -1}) {
                constexpr int32_t kRows = 3;
                constexpr uint8_t kUntouched = 0xAB;
                Surface src(width, kRows, uint16_t(c.srcBits));
                Surface dst(width + 2, kRows, uint16_t(c.dstBits));
                if (!c.grayTable) {
                    ASSERT_EQ(SetDIBColorTable(src.dc, 0, 256, shuffled.data()), 256u);
                }
                for (int32_t i = 0; i < src.layout.stride * kRows; ++i) {
                    src.bits[i] = uint8_t(random());
                }
                std::memset(dst.bits, kUntouched, size_t(dst.layout.stride) * kRows);
                const int32_t srcY = direction > 0 ? 0 : kRows;
                ASSERT_EQ(StretchBlt(dst.dc, 1, 0, width, kRows, src.dc, 0, srcY, width,
                                     direction * kRows, SRCCOPY),
                          1);
                auto expected = [&](int32_t row, int32_t pixel, int32_t channel) -> uint8_t {
                    if (channel == 3) return 0;
                    const uint8_t* from = src.Row(row);
                    if (c.srcBits != 8) return from[pixel * srcBytes + channel];
                    const uint8_t index = from[pixel];
                    if (c.grayTable) return index;
                    const RGBQUAD& entry = shuffled[index];
                    return channel == 0   ? entry.rgbBlue
                           : channel == 1 ? entry.rgbGreen
                                          : entry.rgbRed;
                };
                for (int32_t row = 0; row < kRows; ++row) {
                    const int32_t fromRow = direction > 0 ? row : kRows - 1 - row;
                    const uint8_t* got = dst.Row(row);
                    for (int32_t x = 0; x < dst.layout.stride; ++x) {
                        const int32_t pixel = x / dstBytes - 1;
                        const bool inside = pixel >= 0 && pixel < width;
                        const uint8_t want =
                            inside ? expected(fromRow, pixel, x % dstBytes) : kUntouched;
                        ASSERT_EQ(got[x], want)
                            << c.srcBits << "->" << c.dstBits << (c.grayTable ? " gray" : " table")
                            << " width " << width << " direction " << direction << " row " << row
                            << " byte " << x;
                    }
                }
            }
        }
    }
}

TEST(GdiBlit, StretchPicksNearestSourcePixels) {
    Surface src(4, 4, 8);
    Surface half(2, 2, 8);
    src.FillPattern();
    EXPECT_EQ(StretchBlt(half.dc, 0, 0, 2, 2, src.dc, 0, 0, 4, 4, SRCCOPY), 1);
    // GDI rows 0 and 2 of the source are memory rows 3 and 1; columns 0 and 2.
    EXPECT_EQ(half.Row(1)[0], src.Row(3)[0]);
    EXPECT_EQ(half.Row(1)[1], src.Row(3)[2]);
    EXPECT_EQ(half.Row(0)[0], src.Row(1)[0]);
    EXPECT_EQ(half.Row(0)[1], src.Row(1)[2]);

    Surface twice(8, 2, 8);
    EXPECT_EQ(StretchBlt(twice.dc, 0, 0, 8, 2, src.dc, 0, 0, 4, 2, SRCCOPY), 1);
    for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(twice.Row(1)[x], src.Row(3)[x / 2]);
}

TEST(GdiBlit, ClipsToBothBitmaps) {
    Surface src(4, 4, 24);
    Surface dst(4, 4, 24);
    src.FillPattern();
    // Hangs over every edge of both sides; only the overlap is written.
    EXPECT_EQ(BitBlt(dst.dc, -1, 2, 10, 10, src.dc, 2, -1, SRCCOPY), 1);
    for (int32_t gy = 0; gy < 4; ++gy) {
        for (int32_t gx = 0; gx < 4; ++gx) {
            const int32_t sx = gx + 3;
            const int32_t sy = gy - 3;
            const bool inside = gy >= 2 && sx < 4 && sy >= 0;
            const uint8_t* got = dst.Row(3 - gy) + gx * 3;
            if (inside) {
                EXPECT_EQ(std::memcmp(got, src.Row(3 - sy) + sx * 3, 3), 0) << gx << "," << gy;
            } else {
                EXPECT_EQ(got[0] | got[1] | got[2], 0) << gx << "," << gy;
            }
        }
    }
    EXPECT_EQ(BitBlt(dst.dc, 100, 100, 4, 4, src.dc, 0, 0, SRCCOPY), 1);
    EXPECT_EQ(StretchBlt(dst.dc, 0, 0, 0x7FFFFFFF, 4, src.dc, 0, 0, 4, 4, SRCCOPY), 1);
}

TEST(GdiThreads, BlitsRunWhileOtherThreadsChangeTablesAndObjects) {
    Surface gray(64, 64, 8);
    Surface colour(64, 64, 24);
    std::atomic<bool> done{false};
    std::thread churn([&] {
        const RGBQUAD entry{9, 9, 9, 0};
        for (int i = 0; i < 200; ++i) {
            SetDIBColorTable(gray.dc, uint32_t(i % 256), 1, &entry);
            Surface scratch(8, 8, 32);
            BitBlt(scratch.dc, 0, 0, 8, 8, gray.dc, 0, 0, SRCCOPY);
        }
        done = true;
    });
    int blits = 0;
    while (!done || blits == 0) {
        ASSERT_EQ(StretchBlt(colour.dc, 0, 0, 64, 64, gray.dc, 0, 64, 64, -64, SRCCOPY), 1);
        ++blits;
    }
    churn.join();
}

}  // namespace
}  // namespace tavlin::gdi
