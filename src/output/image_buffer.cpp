#include "output/image_buffer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#include "sensor/color_mode.h"

namespace tavlin::output {

namespace {

using imaging::Rect;

constexpr int64_t kMaxImageBytes = std::numeric_limits<int32_t>::max();

// Wide rectangle so clipping arithmetic on extreme coordinates cannot overflow.
struct Box {
    int64_t left, top, right, bottom;
};

Box WholeOf(const ImageBuffer& buffer) {
    return {0, 0, buffer.Width(), buffer.Height()};
}

struct ClippedTransfer {
    Rect sourceRows;  // memory rows of the source
    int32_t dstX;
    int32_t dstY;  // first memory row of the destination
};

// Clips a transfer in GDI coordinates and converts it to the memory rows of the bottom-up header.
// A source rectangle reaching outside the source moves the destination along with it, so no
// column or row is shifted. Empty result: nothing to do.
std::optional<ClippedTransfer> ClipTransfer(const ImageBuffer& dst, const ImageBuffer& src,
                                            const Rect* sourceRect, int32_t x, int32_t y) {
    const Box s =
        sourceRect ? Box{sourceRect->left, sourceRect->top, sourceRect->right, sourceRect->bottom}
                   : WholeOf(src);
    Box d{x, y, x + (s.right - s.left), y + (s.bottom - s.top)};
    if (d.right <= 0 || d.bottom <= 0 || d.left >= dst.Width() || d.top >= dst.Height()) {
        return std::nullopt;
    }
    d = {std::max<int64_t>(d.left, 0), std::max<int64_t>(d.top, 0),
         std::min<int64_t>(d.right, dst.Width()), std::min<int64_t>(d.bottom, dst.Height())};

    Box sc{s.left + (d.left - x), s.top + (d.top - y), 0, 0};
    sc.right = sc.left + (d.right - d.left);
    sc.bottom = sc.top + (d.bottom - d.top);
    if (sc.right <= 0 || sc.bottom <= 0 || sc.left >= src.Width() || sc.top >= src.Height()) {
        return std::nullopt;
    }
    if (sc.left < 0) d.left -= std::exchange(sc.left, 0);
    if (sc.top < 0) d.top -= std::exchange(sc.top, 0);
    sc.right = std::min<int64_t>(sc.right, src.Width());
    sc.bottom = std::min<int64_t>(sc.bottom, src.Height());
    if (sc.right <= sc.left || sc.bottom <= sc.top) return std::nullopt;
    d.right = d.left + (sc.right - sc.left);
    d.bottom = d.top + (sc.bottom - sc.top);

    const int64_t srcHeight = src.Height();
    return ClippedTransfer{
        Rect{static_cast<int32_t>(sc.left), static_cast<int32_t>(srcHeight - sc.bottom),
             static_cast<int32_t>(sc.right), static_cast<int32_t>(srcHeight - sc.top)},
        static_cast<int32_t>(d.left), static_cast<int32_t>(dst.Height() - d.bottom)};
}

// A whole-buffer rectangle for null, else the given one if it lies inside the buffer.
std::optional<Rect> ResolveInside(const ImageBuffer& buffer, const Rect* rect) {
    if (rect == nullptr) return Rect{0, 0, buffer.Width(), buffer.Height()};
    const bool inside = rect->left >= 0 && rect->top >= 0 && rect->left < rect->right &&
                        rect->top < rect->bottom && rect->right <= buffer.Width() &&
                        rect->bottom <= buffer.Height();
    return inside ? std::optional<Rect>(*rect) : std::nullopt;
}

}  // namespace

ImageBuffer::ImageBuffer(ImageBuffer&& other) noexcept
    : info_(other.info_),
      dc_(other.dc_),
      bitmap_(other.bitmap_),
      bits_(other.bits_),
      width_(other.width_),
      height_(other.height_),
      stride_(other.stride_),
      bitCount_(other.bitCount_),
      previousBitmap_(other.previousBitmap_),
      heapBits_(std::move(other.heapBits_)) {
    other.ResetFields();
}

ImageBuffer& ImageBuffer::operator=(ImageBuffer&& other) noexcept {
    if (this == &other) return *this;
    Release();
    info_ = other.info_;
    dc_ = other.dc_;
    bitmap_ = other.bitmap_;
    bits_ = other.bits_;
    width_ = other.width_;
    height_ = other.height_;
    stride_ = other.stride_;
    bitCount_ = other.bitCount_;
    previousBitmap_ = other.previousBitmap_;
    heapBits_ = std::move(other.heapBits_);
    other.ResetFields();
    return *this;
}

void ImageBuffer::ResetFields() {
    std::memset(&info_, 0, sizeof(info_));
    info_.bmiHeader.biSize = sizeof(gdi::BITMAPINFOHEADER);
    dc_ = nullptr;
    bitmap_ = nullptr;
    bits_ = nullptr;
    width_ = height_ = stride_ = 0;
    bitCount_ = 0;
    previousBitmap_ = nullptr;
    heapBits_.reset();
}

void ImageBuffer::Init() {
    if (dc_ || bitmap_ || heapBits_) {
        Release();
    } else {
        ResetFields();
    }
}

int ImageBuffer::Create(int32_t width, int32_t height, int32_t bitCount) {
    if (width <= 0 || height <= 0 || !sensor::IsImageDepth(bitCount)) return 0;
    const int32_t stride = gdi::DibStride(width, static_cast<uint16_t>(bitCount));
    if (stride < 0 || int64_t{stride} * height > kMaxImageBytes) return 0;

    Release();
    gdi::BITMAPINFOHEADER& header = info_.bmiHeader;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<uint16_t>(bitCount);
    header.biCompression = gdi::BI_RGB;
    width_ = width;
    height_ = height;
    bitCount_ = static_cast<uint16_t>(bitCount);
    stride_ = stride;
    return Allocate(nullptr, gdi::DIB_RGB_COLORS, nullptr, 0);
}

int ImageBuffer::CreateLike(const ImageBuffer* source) {
    if (source == nullptr || !source->Usable()) return 0;
    // Copied before Release, so a buffer may be re-created like itself.
    const gdi::BITMAPINFOHEADER header = source->info_.bmiHeader;
    const int32_t width = source->width_;
    const int32_t height = source->height_;
    const int32_t stride = source->stride_;
    const uint16_t bitCount = source->bitCount_;
    const gdi::HDC sourceDc = source == this ? nullptr : source->dc_;

    Release();
    info_.bmiHeader = header;
    width_ = width;
    height_ = height;
    stride_ = stride;
    bitCount_ = bitCount;
    return Allocate(sourceDc, gdi::DIB_RGB_COLORS, nullptr, 0);
}

int ImageBuffer::Allocate(gdi::HDC dc, uint32_t usage, gdi::HANDLE section, uint32_t offset) {
    if (bitCount_ == 8) SetGrayPalette();
    void* sectionBits = nullptr;
    bitmap_ = gdi::CreateDIBSection(dc, &info_, usage, &sectionBits, section, offset);
    if (bitmap_ != nullptr) {
        bits_ = static_cast<uint8_t*>(sectionBits);
        dc_ = gdi::CreateCompatibleDC(nullptr);
        if (dc_ != nullptr) previousBitmap_ = gdi::SelectObject(dc_, bitmap_);
        if (dc_ == nullptr || previousBitmap_ == nullptr) {
            Release();
            return 0;
        }
        return 1;
    }
    // No DIB section: plain zeroed memory of the same layout.
    heapBits_.reset(static_cast<uint8_t*>(std::calloc(static_cast<size_t>(height_), stride_)));
    if (!heapBits_) {
        Release();
        return 0;
    }
    bits_ = heapBits_.get();
    return 1;
}

void ImageBuffer::Release() {
    if (bitmap_ != nullptr) {
        if (dc_ != nullptr && previousBitmap_ != nullptr) {
            gdi::SelectObject(dc_, previousBitmap_);
        }
        gdi::DeleteObject(bitmap_);
        bitmap_ = nullptr;
        previousBitmap_ = nullptr;
        bits_ = nullptr;
    }
    if (dc_ != nullptr) gdi::DeleteDC(dc_);
    ResetFields();  // also frees the heap fallback
}

int ImageBuffer::SetGrayPalette() {
    for (int i = 0; i < 256; ++i) {
        const auto level = static_cast<uint8_t>(i);
        info_.bmiColors[i] = {level, level, level, 0};
    }
    if (dc_ != nullptr) gdi::SetDIBColorTable(dc_, 0, 256, info_.bmiColors);
    return 1;
}

int ImageBuffer::CopyFrom(const ImageBuffer* source, const Rect* sourceRect, int32_t x, int32_t y) {
    if (source == nullptr || dc_ == nullptr || source->dc_ == nullptr) return 0;
    const Rect s = sourceRect ? *sourceRect : Rect{0, 0, source->width_, source->height_};
    return gdi::BitBlt(dc_, x, y, s.Width(), s.Height(), source->dc_, s.left, s.top, gdi::SRCCOPY);
}

int ImageBuffer::Transfer(imaging::ConversionKernel kernel, const ImageBuffer* source,
                          const Rect* sourceRect, int32_t x, int32_t y, void* param1,
                          void* param2) {
    if (kernel == nullptr || source == nullptr || !Usable() || !source->Usable()) return 0;
    const auto clipped = ClipTransfer(*this, *source, sourceRect, x, y);
    if (!clipped) return 0;
    return kernel(bits_, source->bits_, clipped->sourceRows, clipped->dstX, clipped->dstY,
                  BytesPerPixel(), source->BytesPerPixel(), stride_, source->stride_, param1,
                  param2);
}

int ImageBuffer::StretchTransfer(imaging::ScalingKernel kernel, const ImageBuffer* source,
                                 const Rect* sourceRect, const Rect* destinationRect, void* param1,
                                 void* param2) {
    if (kernel == nullptr || source == nullptr || !Usable() || !source->Usable()) return 0;
    const auto src = ResolveInside(*source, sourceRect);
    const auto dst = ResolveInside(*this, destinationRect);
    if (!src || !dst) return 0;
    return kernel(bits_, source->bits_, *dst, *src, imaging::Size{width_, height_},
                  imaging::Size{source->width_, source->height_}, BytesPerPixel(),
                  source->BytesPerPixel(), stride_, source->stride_, param1, param2);
}

}  // namespace tavlin::output
