// Frames written into X images of the visuals a server may have: the common 32-bit B, G, R, x
// layout row by row, and others (16-bit, big-endian) pixel by pixel.
#include <gtest/gtest.h>

#if __has_include(<X11/extensions/XShm.h>)

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <vector>

#include "window/x11_image.h"

namespace {

using tavlin::platform::FillImage;

// An image over `pixels` as a server of that visual would describe it (no display needed).
XImage MakeImage(std::vector<uint8_t>& pixels, int width, int height, int bitsPerPixel,
                 int bytesPerLine, int byteOrder, unsigned long red, unsigned long green,
                 unsigned long blue) {
    XImage image{};
    image.width = width;
    image.height = height;
    image.format = ZPixmap;
    image.data = reinterpret_cast<char*>(pixels.data());
    image.byte_order = byteOrder;
    image.bitmap_unit = 32;
    image.bitmap_bit_order = byteOrder;
    image.bitmap_pad = 32;
    image.depth = bitsPerPixel == 32 ? 24 : 16;
    image.bytes_per_line = bytesPerLine;
    image.bits_per_pixel = bitsPerPixel;
    image.red_mask = red;
    image.green_mask = green;
    image.blue_mask = blue;
    EXPECT_NE(XInitImage(&image), 0);
    return image;
}

TEST(X11ImageTest, NativeLayoutCopiesRowsAndLeavesThePaddingAlone) {
    const std::vector<uint8_t> frame = {1, 2, 3, 0, 4,  5,  6,  0,  // row 0
                                        7, 8, 9, 0, 10, 11, 12, 0};
    std::vector<uint8_t> pixels(2 * 12, 0xEE);  // 4 bytes of padding per row
    XImage image = MakeImage(pixels, 2, 2, 32, 12, LSBFirst, 0xFF0000, 0xFF00, 0xFF);
    FillImage(&image, frame.data(), 2, 2, 8);
    const std::vector<uint8_t> expected = {1, 2, 3, 0, 4,  5,  6,  0, 0xEE, 0xEE, 0xEE, 0xEE,
                                           7, 8, 9, 0, 10, 11, 12, 0, 0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(pixels, expected);
}

TEST(X11ImageTest, SixteenBitVisualTakesTheHighBitsOfEachChannel) {
    // Blue only, green 0x80, red only: 0x001F, 0x0400, 0xF800 in 5-6-5.
    const std::vector<uint8_t> frame = {0xFF, 0, 0, 0, 0, 0x80, 0, 0, 0, 0, 0xFF, 0};
    std::vector<uint8_t> pixels(8, 0);
    XImage image = MakeImage(pixels, 3, 1, 16, 8, LSBFirst, 0xF800, 0x07E0, 0x001F);
    FillImage(&image, frame.data(), 3, 1, 12);
    EXPECT_EQ(XGetPixel(&image, 0, 0), 0x001Fu);
    EXPECT_EQ(XGetPixel(&image, 1, 0), 0x0400u);
    EXPECT_EQ(XGetPixel(&image, 2, 0), 0xF800u);
}

TEST(X11ImageTest, BigEndianServerGetsItsByteOrder) {
    const std::vector<uint8_t> frame = {0x33, 0x22, 0x11, 0};  // B, G, R
    std::vector<uint8_t> pixels(4, 0);
    XImage image = MakeImage(pixels, 1, 1, 32, 4, MSBFirst, 0xFF0000, 0xFF00, 0xFF);
    FillImage(&image, frame.data(), 1, 1, 4);
    EXPECT_EQ(pixels, (std::vector<uint8_t>{0x00, 0x11, 0x22, 0x33}));
}

}  // namespace

#endif  // X11 headers present
