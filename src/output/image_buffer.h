// The one pixel container of the image path: a DIB section (header, 256-entry colour table,
// memory DC, pixel memory) that kernels process in place and GDI blits without a copy.
//
// Layout: rows of `Stride()` bytes (width x bytes per pixel padded to 4), the first row in memory
// is the top of the picture, although the header declares a bottom-up bitmap (positive height),
// as GDI expects. Whoever hands the memory to a bottom-up consumer flips it. Depths are 8, 16, 24,
// 32, 48 and 64 bits; samples wider than 8 bits are little-endian 16-bit words.
//
// No lock of its own: the owner serialises access. Results are 1 for success, 0 for failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "gdi/gdi.h"
#include "imaging/kernel_types.h"

namespace tavlin::output {

class ImageBuffer {
  public:
    ImageBuffer() { Init(); }
    ~ImageBuffer() { Release(); }
    ImageBuffer(const ImageBuffer&) = delete;
    ImageBuffer& operator=(const ImageBuffer&) = delete;
    ImageBuffer(ImageBuffer&& other) noexcept;
    ImageBuffer& operator=(ImageBuffer&& other) noexcept;

    // Makes the buffer empty. A constructed buffer may own pixels, so this releases them rather
    // than forgetting them.
    void Init();

    // A new zeroed image; 8-bit images get the gray palette. Fails with 0 and no change for
    // non-positive sizes, a depth other than 8/16/24/32/48/64, or more than 2 GiB of pixels.
    // Same size or not, it always releases and allocates anew.
    int Create(int32_t width, int32_t height, int32_t bitCount);

    // A new zeroed image in the source's format (not its palette or pixels); may be the buffer
    // itself. Fails with 0 for a null or unusable source.
    int CreateLike(const ImageBuffer* source);

    // Frees everything and leaves the buffer empty; harmless on an empty buffer.
    void Release();

    // Writes the gray ramp into the palette and the DC's colour table. Returns 1.
    int SetGrayPalette();

    // BitBlt (SRCCOPY) of the source rectangle (left, top, right, bottom in GDI coordinates; null
    // for the whole source) to (x, y) of this buffer. 0 when either side has no DC.
    int CopyFrom(const ImageBuffer* source, const imaging::Rect* sourceRect, int32_t x, int32_t y);

    // Runs kernel from source (rectangle in GDI coordinates, null for whole) onto this buffer at
    // (x, y), clipped to both buffers, then handed over in memory rows of the bottom-up header.
    // Returns the kernel's result, or 0 when nothing is left after clipping, the kernel or
    // source is null, or either buffer is unusable. Never allocates.
    int Transfer(imaging::ConversionKernel kernel, const ImageBuffer* source,
                 const imaging::Rect* sourceRect, int32_t x, int32_t y, void* param1, void* param2);

    // Runs a scaling kernel between two rectangles (null: the whole buffer of that side). Not
    // clipped: the kernel scales; rectangles that are empty or reach outside their buffer are
    // refused with 0.
    int StretchTransfer(imaging::ScalingKernel kernel, const ImageBuffer* source,
                        const imaging::Rect* sourceRect, const imaging::Rect* destinationRect,
                        void* param1, void* param2);

    const gdi::BITMAPINFOHEADER& Header() const { return info_.bmiHeader; }
    const gdi::RGBQUAD* Palette() const { return info_.bmiColors; }
    // Header and palette together, as GDI takes them.
    const gdi::BITMAPINFO& Info() const { return info_; }
    gdi::HDC Dc() const { return dc_; }
    gdi::HBITMAP Bitmap() const { return bitmap_; }
    uint8_t* Bits() { return bits_; }
    const uint8_t* Bits() const { return bits_; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    int32_t Stride() const { return stride_; }
    uint16_t BitCount() const { return bitCount_; }
    uint16_t BytesPerPixel() const { return bitCount_ / 8; }
    // The pixels as the imaging stages take them; empty when the buffer is not usable.
    imaging::ImageView View() {
        if (!Usable()) return {};
        return {bits_, width_, height_, stride_, BytesPerPixel()};
    }
    size_t SizeBytes() const { return static_cast<size_t>(height_) * static_cast<size_t>(stride_); }
    bool Usable() const { return width_ > 0 && height_ > 0 && bitCount_ != 0 && bits_ != nullptr; }

  private:
    struct FreeMemory {
        void operator()(uint8_t* memory) const { std::free(memory); }
    };

    int Allocate(gdi::HDC dc, uint32_t usage, gdi::HANDLE section, uint32_t offset);
    void ResetFields();

    gdi::BITMAPINFO info_;  // header, then palette: the BITMAPINFO handed to GDI
    gdi::HDC dc_ = nullptr;
    gdi::HBITMAP bitmap_ = nullptr;
    uint8_t* bits_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t stride_ = 0;
    uint16_t bitCount_ = 0;
    gdi::HGDIOBJ previousBitmap_ = nullptr;
    // Pixel memory when no DIB section could be made; then there is no DC and GDI calls do
    // nothing, but every kernel still works.
    std::unique_ptr<uint8_t, FreeMemory> heapBits_;
};

}  // namespace tavlin::output
