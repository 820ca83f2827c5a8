#include "output/image_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace tavlin::output {
namespace {

bool AllZero(const ImageBuffer& image) {
    return std::all_of(image.Bits(), image.Bits() + image.SizeBytes(),
                       [](uint8_t b) { return b == 0; });
}

bool HasGrayRamp(const ImageBuffer& image) {
    for (int i = 0; i < 256; ++i) {
        const gdi::RGBQUAD& entry = image.Palette()[i];
        if (entry.rgbBlue != i || entry.rgbGreen != i || entry.rgbRed != i ||
            entry.rgbReserved != 0) {
            return false;
        }
    }
    return true;
}

void ExpectEmpty(const ImageBuffer& image) {
    EXPECT_EQ(image.Header().biSize, 40u);
    EXPECT_EQ(image.Header().biWidth, 0);
    EXPECT_EQ(image.Header().biBitCount, 0);
    EXPECT_EQ(image.Palette()[255].rgbRed, 0);
    EXPECT_EQ(image.Dc(), nullptr);
    EXPECT_EQ(image.Bitmap(), nullptr);
    EXPECT_EQ(image.Bits(), nullptr);
    EXPECT_EQ(image.Width() | image.Height() | image.Stride() | image.BitCount(), 0);
    EXPECT_FALSE(image.Usable());
}

TEST(ImageBufferCreate, StridePadsEveryDepthToFourBytes) {
    const std::pair<int32_t, int32_t> depths[] = {{8, 644},   {16, 1284}, {24, 1924},
                                                  {32, 2564}, {48, 3848}, {64, 5128}};
    for (const auto& [bitCount, stride] : depths) {
        ImageBuffer image;
        ASSERT_EQ(image.Create(641, 1, bitCount), 1) << bitCount;
        EXPECT_EQ(image.Stride(), stride) << bitCount;
        EXPECT_EQ(image.BytesPerPixel(), bitCount / 8);
        const gdi::BITMAPINFOHEADER& h = image.Header();
        EXPECT_EQ(h.biSize, 40u);
        EXPECT_EQ(h.biWidth, 641);
        EXPECT_EQ(h.biHeight, 1) << "declared bottom-up";
        EXPECT_EQ(h.biPlanes, 1);
        EXPECT_EQ(h.biBitCount, bitCount);
        EXPECT_EQ(h.biCompression | h.biSizeImage | h.biClrUsed | h.biClrImportant, 0u);
        EXPECT_NE(image.Dc(), nullptr);
        EXPECT_NE(image.Bitmap(), nullptr);
        EXPECT_TRUE(AllZero(image));
        EXPECT_EQ(HasGrayRamp(image), bitCount == 8);
    }
}

TEST(ImageBufferCreate, BadArgumentsLeaveThePreviousImage) {
    ImageBuffer image;
    ASSERT_EQ(image.Create(6, 4, 16), 1);
    image.Bits()[5] = 0x5A;
    uint8_t* const bits = image.Bits();
    const int32_t bad[][3] = {{0, 4, 8},           {6, 0, 8},        {-6, 4, 8},
                              {6, -4, 8},          {6, 4, 0},        {6, 4, -8},
                              {6, 4, 12},          {6, 4, 4},        {1 << 30, 4, 64},  // 32 GiB
                              {0x7FFFFFFF, 1, 64}, {65536, 65536, 8}};
    for (const auto& args : bad) {
        EXPECT_EQ(image.Create(args[0], args[1], args[2]), 0)
            << args[0] << " x " << args[1] << " x " << args[2];
    }
    EXPECT_EQ(image.Bits(), bits);
    EXPECT_EQ(image.Bits()[5], 0x5A);
    EXPECT_EQ(image.Width(), 6);
    EXPECT_EQ(image.BitCount(), 16);
}

TEST(ImageBufferCreate, RecreatingTheSameSizeGivesFreshZeroedPixels) {
    ImageBuffer image;
    ASSERT_EQ(image.Create(3, 3, 24), 1);
    std::fill(image.Bits(), image.Bits() + image.SizeBytes(), uint8_t{0xEE});
    ASSERT_EQ(image.Create(3, 3, 24), 1);
    EXPECT_TRUE(AllZero(image));
}

TEST(ImageBufferCreate, FallsBackToPlainMemoryWithoutDibSection) {
    ImageBuffer image;
    gdi::InjectDibSectionFailures(1);
    ASSERT_EQ(image.Create(5, 2, 48), 1);
    EXPECT_EQ(image.Dc(), nullptr);
    EXPECT_EQ(image.Bitmap(), nullptr);
    ASSERT_TRUE(image.Usable());
    EXPECT_EQ(image.Stride(), 32);
    EXPECT_TRUE(AllZero(image));
    ImageBuffer other;
    ASSERT_EQ(other.Create(5, 2, 48), 1);
    EXPECT_EQ(other.CopyFrom(&image, nullptr, 0, 0), 0) << "no GDI on the fallback";
    image.Release();
    ExpectEmpty(image);
}

TEST(ImageBufferCreateLike, KeepsFormatNotContent) {
    ImageBuffer source;
    ASSERT_EQ(source.Create(7, 3, 8), 1);
    std::fill(source.Bits(), source.Bits() + source.SizeBytes(), uint8_t{9});
    ImageBuffer copy;
    ASSERT_EQ(copy.Create(2, 2, 64), 1);
    ASSERT_EQ(copy.CreateLike(&source), 1);
    EXPECT_EQ(copy.Width(), 7);
    EXPECT_EQ(copy.Height(), 3);
    EXPECT_EQ(copy.Stride(), 8);
    EXPECT_EQ(copy.BitCount(), 8);
    EXPECT_EQ(std::memcmp(&copy.Header(), &source.Header(), sizeof(copy.Header())), 0);
    EXPECT_NE(copy.Bits(), source.Bits());
    EXPECT_TRUE(AllZero(copy));
    EXPECT_TRUE(HasGrayRamp(copy));

    ASSERT_EQ(source.CreateLike(&source), 1) << "like itself";
    EXPECT_EQ(source.Width(), 7);
    EXPECT_TRUE(AllZero(source));
}

TEST(ImageBufferCreateLike, RefusesMissingOrEmptySources) {
    ImageBuffer image;
    ASSERT_EQ(image.Create(4, 4, 32), 1);
    ImageBuffer empty;
    EXPECT_EQ(image.CreateLike(nullptr), 0);
    EXPECT_EQ(image.CreateLike(&empty), 0);
    EXPECT_EQ(image.Width(), 4) << "a refused CreateLike changes nothing";
}

TEST(ImageBufferLifecycle, ReleaseIsIdempotentAndRestoresTheEmptyState) {
    ImageBuffer image;
    ExpectEmpty(image);
    ASSERT_EQ(image.Create(10, 10, 8), 1);
    image.Release();
    ExpectEmpty(image);
    image.Release();
    ExpectEmpty(image);
    ASSERT_EQ(image.Create(10, 10, 8), 1);
    image.Init();
    ExpectEmpty(image);
}

TEST(ImageBufferLifecycle, MovingHandsOverOwnership) {
    ImageBuffer first;
    ASSERT_EQ(first.Create(4, 2, 24), 1);
    first.Bits()[0] = 77;
    ImageBuffer second(std::move(first));
    ExpectEmpty(first);
    EXPECT_EQ(second.Bits()[0], 77);
    ImageBuffer third;
    ASSERT_EQ(third.Create(1, 1, 8), 1);
    third = std::move(second);
    ExpectEmpty(second);
    EXPECT_EQ(third.Width(), 4);
    EXPECT_EQ(third.Bits()[0], 77);
    // The DC and bitmap travelled too: GDI still sees the pixels.
    ImageBuffer target;
    ASSERT_EQ(target.Create(4, 2, 24), 1);
    EXPECT_EQ(target.CopyFrom(&third, nullptr, 0, 0), 1);
    EXPECT_EQ(target.Bits()[0], 77);
}

TEST(ImageBufferGdi, CopyFromUsesGdiRowsAndGrayPaletteSurvivesRecreation) {
    ImageBuffer source;
    ASSERT_EQ(source.Create(3, 4, 8), 1);
    for (int32_t row = 0; row < 4; ++row) source.Bits()[row * source.Stride()] = uint8_t(row + 1);
    ImageBuffer target;
    ASSERT_EQ(target.Create(3, 4, 24), 1);
    // GDI row 0 is the last memory row; 8-bit pixels expand through the gray palette.
    const imaging::Rect topRow{0, 0, 3, 1};
    EXPECT_EQ(target.CopyFrom(&source, &topRow, 0, 0), 1);
    const uint8_t* last = target.Bits() + 3 * target.Stride();
    EXPECT_EQ(last[0], 4);
    EXPECT_EQ(last[1], 4);
    EXPECT_EQ(last[2], 4);
    EXPECT_EQ(target.Bits()[0], 0);
    EXPECT_EQ(source.SetGrayPalette(), 1);
    EXPECT_EQ(target.CopyFrom(nullptr, nullptr, 0, 0), 0);
}

}  // namespace
}  // namespace tavlin::output
