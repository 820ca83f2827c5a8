// Images on plain memory for the kernel tests: rows padded to 4 bytes like the image buffers,
// the padding filled with a marker that no kernel may change.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/kernel_paths.h"
#include "imaging/whole_image.h"

namespace tavlin::imaging::test {

inline constexpr uint8_t kPaddingMarker = 0xA5;

struct TestImage {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bytesPerPixel = 1;
    int32_t stride = 0;
    std::vector<uint8_t> bytes;

    TestImage(int32_t w, int32_t h, int32_t bpp)
        : width(w),
          height(h),
          bytesPerPixel(bpp),
          stride((w * bpp + 3) & ~3),
          bytes(static_cast<size_t>(stride) * h, kPaddingMarker) {
        for (int32_t y = 0; y < h; ++y) std::memset(Row(y), 0, static_cast<size_t>(w) * bpp);
    }

    uint8_t* Row(int32_t y) { return bytes.data() + static_cast<size_t>(y) * stride; }
    const uint8_t* Row(int32_t y) const { return bytes.data() + static_cast<size_t>(y) * stride; }

    // Sample `channel` of pixel (x, y); 16-bit for 2, 6 and 8 bytes per pixel.
    bool Wide() const { return bytesPerPixel == 2 || bytesPerPixel >= 6; }
    int32_t Get(int32_t x, int32_t y, int32_t channel = 0) const {
        const size_t size = Wide() ? 2 : 1;
        const uint8_t* p = Row(y) + static_cast<size_t>(x) * bytesPerPixel + channel * size;
        return Wide() ? p[0] | (p[1] << 8) : p[0];
    }
    void Set(int32_t x, int32_t y, int32_t channel, int32_t value) {
        const size_t size = Wide() ? 2 : 1;
        uint8_t* p = Row(y) + static_cast<size_t>(x) * bytesPerPixel + channel * size;
        p[0] = static_cast<uint8_t>(value);
        if (Wide()) p[1] = static_cast<uint8_t>(value >> 8);
    }
    int32_t Channels() const { return Wide() ? bytesPerPixel / 2 : bytesPerPixel; }

    void FillRandom(std::mt19937& random, int32_t maxValue) {
        std::uniform_int_distribution<int32_t> value(0, maxValue);
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                for (int32_t c = 0; c < Channels(); ++c) Set(x, y, c, value(random));
            }
        }
    }
    void Fill(int32_t value) {
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                for (int32_t c = 0; c < Channels(); ++c) Set(x, y, c, value);
            }
        }
    }

    bool PaddingIntact() const {
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t i = width * bytesPerPixel; i < stride; ++i) {
                if (Row(y)[i] != kPaddingMarker) return false;
            }
        }
        return true;
    }

    ImageView View() {
        return {bytes.data(), width, height, stride, static_cast<uint16_t>(bytesPerPixel)};
    }
};

// Every path this build and CPU offer; each bit-exact test runs on all of them.
inline std::vector<SimdLevel> AvailableLevels() {
    std::vector<SimdLevel> levels;
    for (SimdLevel level : {SimdLevel::Portable, SimdLevel::Avx2, SimdLevel::Avx512}) {
        if (KernelPathsFor(level) != nullptr) levels.push_back(level);
    }
    return levels;
}

// Makes one path active for a scope.
class ScopedLevel {
  public:
    explicit ScopedLevel(SimdLevel level) : ok_(UseSimdLevel(level)) {}
    ~ScopedLevel() { UseSimdLevel(DefaultSimdLevel()); }
    ScopedLevel(const ScopedLevel&) = delete;
    ScopedLevel& operator=(const ScopedLevel&) = delete;
    bool ok() const { return ok_; }

  private:
    bool ok_;
};

}  // namespace tavlin::imaging::test
