#include "imaging/raw_kernels.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace tavlin::imaging {
namespace {

// Plain references, sample by sample as the operations are defined.
void ReferenceRestride(std::vector<uint8_t>& frame, int32_t width, int32_t height, int32_t bytes,
                       int32_t stride) {
    for (int32_t row = height - 1; row >= 0; --row) {
        for (int32_t column = width - 1; column >= 0; --column) {
            for (int32_t b = 0; b < bytes; ++b) {
                frame[size_t(row) * stride + column * bytes + b] =
                    frame[size_t(row) * width * bytes + column * bytes + b];
            }
        }
    }
}

int ReferenceMean(const std::vector<uint8_t>& frame, int32_t bytes, int32_t stride, Rect window) {
    uint64_t sum = 0;
    uint64_t count = 0;
    for (int32_t row = window.top; row < window.bottom; ++row) {
        for (int32_t column = window.left; column < window.right; ++column) {
            const uint8_t* sample = &frame[size_t(row) * stride + column * bytes];
            const uint32_t low = sample[0];
            sum += bytes == 1 ? low : (((uint32_t{sample[1]} << 6) & 0xFF) | (low >> 2));
            ++count;
        }
    }
    return count == 0 ? 0 : int(sum / count);
}

int RunMean(const std::vector<uint8_t>& frame, int32_t bytes, int32_t stride, Rect window) {
    auto kernel = bytes == 1 ? &WindowMean8 : &WindowMean16;
    return kernel(nullptr, frame.data(), window, window.left, window.top, bytes, bytes, stride,
                  stride, nullptr, nullptr);
}

std::vector<uint8_t> Words(std::initializer_list<uint16_t> values) {
    std::vector<uint8_t> bytes;
    for (uint16_t v : values) {
        bytes.push_back(uint8_t(v & 0xFF));
        bytes.push_back(uint8_t(v >> 8));
    }
    return bytes;
}

TEST(Restride, MatchesTheReferenceOnRandomFrames) {
    std::mt19937 random(1234);
    for (int trial = 0; trial < 300; ++trial) {
        const int32_t bytes = trial % 2 + 1;
        const int32_t width = int32_t(random() % 37) + 1;
        const int32_t height = int32_t(random() % 9) + 1;
        // Mostly the padded stride, sometimes a wider one.
        const int32_t stride = ((width * bytes + 3) & ~3) + 4 * int32_t(random() % 2);
        std::vector<uint8_t> frame(size_t(stride) * height);
        for (auto& b : frame) b = uint8_t(random());
        std::vector<uint8_t> expected = frame;
        ReferenceRestride(expected, width, height, bytes, stride);
        auto kernel = bytes == 1 ? &Restride8 : &Restride16;
        ASSERT_EQ(kernel(frame.data(), frame.data(), Rect{0, 0, width, height}, 0, 0, bytes, bytes,
                         stride, stride, nullptr, nullptr),
                  1);
        ASSERT_EQ(frame, expected) << width << " x " << height << " x " << bytes << ", " << stride;
    }
}

TEST(Restride, RefusesInputThatWouldOverrun) {
    std::vector<uint8_t> frame(64, 0xAB);
    const std::vector<uint8_t> before = frame;
    const Rect whole{0, 0, 5, 4};
    EXPECT_EQ(Restride8(frame.data(), frame.data(), whole, 0, 0, 1, 1, 4, 4, nullptr, nullptr), 0)
        << "stride shorter than the row";
    EXPECT_EQ(Restride16(frame.data(), frame.data(), whole, 0, 0, 1, 1, 12, 12, nullptr, nullptr),
              0)
        << "8-bit samples";
    EXPECT_EQ(Restride8(nullptr, frame.data(), whole, 0, 0, 1, 1, 8, 8, nullptr, nullptr), 0);
    EXPECT_EQ(Restride8(frame.data(), nullptr, whole, 0, 0, 1, 1, 8, 8, nullptr, nullptr), 0);
    EXPECT_EQ(
        Restride8(frame.data(), frame.data(), Rect{0, 0, 5, 0}, 0, 0, 1, 1, 8, 8, nullptr, nullptr),
        0);
    EXPECT_EQ(Restride8(frame.data(), frame.data(), whole, -1, 0, 1, 1, 8, 8, nullptr, nullptr), 0);
    EXPECT_EQ(frame, before);
}

TEST(WindowMean, MatchesTheReferenceOnRandomWindows) {
    std::mt19937 random(99);
    for (int trial = 0; trial < 500; ++trial) {
        const int32_t bytes = trial % 2 + 1;
        const int32_t width = int32_t(random() % 40) + 1;
        const int32_t height = int32_t(random() % 12) + 1;
        const int32_t stride = (width * bytes + 3) & ~3;
        std::vector<uint8_t> frame(size_t(stride) * height);
        for (auto& b : frame) b = uint8_t(random());
        Rect window;
        window.left = int32_t(random() % width);
        window.right = int32_t(random() % (width + 1));
        window.top = int32_t(random() % height);
        window.bottom = int32_t(random() % (height + 1));
        ASSERT_EQ(RunMean(frame, bytes, stride, window),
                  ReferenceMean(frame, bytes, stride, window))
            << "trial " << trial;
    }
}

TEST(WindowMean, SixteenBitSamplesCountWithTheirTopEightBits) {
    const Rect window{0, 0, 2, 2};
    EXPECT_EQ(RunMean(Words({1023, 1023, 1023, 1023}), 2, 4, window), 255);
    EXPECT_EQ(RunMean(Words({3, 3, 3, 3}), 2, 4, window), 0);
    EXPECT_EQ(RunMean(Words({4, 4, 4, 4}), 2, 4, window), 1);
    // Only the low 10 bits matter: bit 10 and up fall outside the top-8-of-10 window.
    EXPECT_EQ(RunMean(Words({0xFC00 | 8, 8, 8, 8}), 2, 4, window), 2);
}

TEST(WindowMean, TruncatesAndIgnoresEverythingOutsideTheWindow) {
    // 4 x 2 frame: the 2 x 2 window in the middle holds 10, 11, 12, 13; its neighbours are 255.
    const std::vector<uint8_t> frame = {255, 10, 11, 255, 255, 12, 13, 255};
    EXPECT_EQ(RunMean(frame, 1, 4, Rect{1, 0, 3, 2}), 11);
    EXPECT_EQ(RunMean(frame, 1, 4, Rect{3, 0, 3, 2}), 0);
    EXPECT_EQ(RunMean(frame, 1, 4, Rect{1, 2, 3, 1}), 0);
    EXPECT_EQ(WindowMean8(nullptr, nullptr, Rect{0, 0, 1, 1}, 0, 0, 1, 1, 4, 4, nullptr, nullptr),
              0);
    EXPECT_EQ(
        WindowMean16(nullptr, frame.data(), Rect{0, 0, 1, 1}, 0, 0, 1, 1, 4, 4, nullptr, nullptr),
        0)
        << "16-bit kernel on 8-bit samples";
}

}  // namespace
}  // namespace tavlin::imaging
