#include "reference.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace tavlin::imaging::ref {
namespace {

int32_t Reflect(int32_t t, int32_t size) {
    if (t < 0) return t + 4 < size ? t + 4 : t + 2;
    if (t >= size) return t - 4 >= 0 ? t - 4 : t - 2;
    return t;
}

}  // namespace

char MosaicColor(int32_t phase, int32_t x, int32_t y) {
    static const char* const kRows[4][2] = {{"GB", "RG"}, {"RG", "GB"}, {"BG", "GR"}, {"GR", "BG"}};
    return kRows[phase][y & 1][x & 1];
}

void Demosaic(const TestImage& raw, int32_t phase, int32_t gainR, int32_t gainB, TestImage& out) {
    const int32_t maximum = raw.bytesPerPixel == 1 ? 255 : 1023;
    const int64_t limit = raw.bytesPerPixel == 1 ? 524288 : 2097152;
    const int32_t gR = static_cast<int32_t>(gainR * 1.28);
    const int32_t gB = static_cast<int32_t>(gainB * 1.28);
    auto sample = [&](int32_t x, int32_t y) {
        return raw.Get(Reflect(x, raw.width), Reflect(y, raw.height));
    };
    for (int32_t y = 0; y < raw.height; ++y) {
        for (int32_t x = 0; x < raw.width; ++x) {
            auto plane = [&](char color, int32_t gain) {
                for (int32_t cy : {y - 1, y}) {
                    for (int32_t cx : {x - 1, x}) {
                        if (MosaicColor(phase, cx & 1, cy & 1) != color) continue;
                        const int32_t fx = cx == x ? x - 2 : x + 1;
                        const int32_t fy = cy == y ? y - 2 : y + 1;
                        const int64_t s = 9 * sample(cx, cy) + 3 * sample(fx, cy) +
                                          3 * sample(cx, fy) + sample(fx, fy);
                        return s * gain >= limit ? maximum : static_cast<int32_t>((s * gain) >> 11);
                    }
                }
                return -1;
            };
            int32_t greens = 0;
            for (int32_t cy : {y - 1, y}) {
                for (int32_t cx : {x - 1, x}) {
                    if (MosaicColor(phase, cx & 1, cy & 1) == 'G') greens += sample(cx, cy);
                }
            }
            out.Set(x, y, 0, plane('B', gB));
            out.Set(x, y, 1, std::min(greens >> 1, maximum));
            out.Set(x, y, 2, plane('R', gR));
        }
    }
}

Gains WhiteBalance(const TestImage& raw, int32_t phase) {
    double sum[3] = {};
    double count[3] = {};
    for (int32_t y = 0; y < raw.height; ++y) {
        for (int32_t x = 0; x < raw.width; ++x) {
            const char c = MosaicColor(phase, x, y);
            const int i = c == 'G' ? 0 : (c == 'B' ? 1 : 2);
            sum[i] += raw.Get(x, y);
            count[i] += 1;
        }
    }
    const double mG = sum[0] / count[0];
    const double mB = sum[1] / count[1];
    const double mR = sum[2] / count[2];
    const double t = mG + mB + mR;
    const double k = t / mG / 3;
    const auto blue = static_cast<int32_t>(t / mB / 3 * 100 / k);
    const auto red = static_cast<int32_t>(t / mR / 3 * 100 / k);
    return {std::min(blue, 400), 100, std::min(red, 400)};
}

namespace {

// Index of the gray gain of sample (x, y): 0 G1 (0,0), 1 R (0,1), 2 B (1,0), 3 G2 (1,1).
int GrayPosition(int32_t phase, int32_t x, int32_t y) {
    int r = y % 2;
    int c = x % 2;
    if (phase == 1 || phase == 3) r = 1 - r;
    if (phase == 2 || phase == 3) c = 1 - c;
    return r * 2 + c;
}

}  // namespace

bool GrayGains(const TestImage& image, int32_t phase, int32_t maximum, int32_t gains[4]) {
    double sum[4] = {};
    double count[4] = {};
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            const int32_t v = image.Get(x, y);
            if (v == 0 || v >= maximum) continue;
            sum[GrayPosition(phase, x, y)] += v;
            count[GrayPosition(phase, x, y)] += 1;
        }
    }
    double mean[4];
    for (int i = 0; i < 4; ++i) {
        if (count[i] == 0) return false;
        mean[i] = sum[i] / count[i];
    }
    const double h = std::max({mean[0], mean[1], mean[2], mean[3]});
    // Stored order G1, R, B, G2 is the position order (0,0), (0,1), (1,0), (1,1).
    for (int i = 0; i < 4; ++i) gains[i] = static_cast<int32_t>(h / mean[i] * 128);
    return true;
}

void GrayGainOffset(TestImage& image, int32_t phase, const int32_t gains[4],
                    const int32_t offsets[4], int32_t maximum) {
    if (gains[0] == 128 && gains[1] == 128 && gains[2] == 128 && gains[3] == 128) return;
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            const int p = GrayPosition(phase, x, y);
            const int64_t v = offsets[p] + static_cast<int64_t>(gains[p]) * image.Get(x, y) / 128;
            image.Set(x, y, 0, static_cast<int32_t>(std::clamp<int64_t>(v, 0, maximum)));
        }
    }
}

namespace {

// Sector step and fine step of a hue rotation.
std::pair<int32_t, int32_t> HueSteps(int32_t hue) {
    const int32_t h16 = (hue * 65536 / 360) & 0xFFFF;
    const int32_t x = (h16 * 6) >> 8;
    int32_t fine = x % 512;
    if (fine >= 256) fine -= 512;
    const int32_t coarse = static_cast<int32_t>(std::floor((x + 256) / 512.0)) % 3;
    int32_t a = fine + 510 * coarse;
    if (a < 0) a += 1530;
    if (a > 1529) a -= 1530;
    return {a / 255, a % 255};
}

int32_t HuePixel(int32_t b, int32_t g, int32_t r, int32_t hue, int32_t saturation) {
    const auto [sectorStep, fineStep] = HueSteps(hue);
    const int32_t mx = std::max({r, g, b});
    const int32_t mn = std::min({r, g, b});
    const int32_t d = mx - mn;
    int32_t sector;
    int32_t numerator;
    if (r >= g) {
        sector = 1;
        numerator = g - b;
    } else {
        sector = 3;
        numerator = b - r;
    }
    if (b > std::max(r, g)) {
        sector = 5;
        numerator = r - g;
    }
    if (numerator < 0) {
        sector -= 1;
        numerator += d;
    }
    const int32_t s = ((saturation + 256) * 256 * d + 0x8000) >> 16;
    const int32_t i = mx + mn;
    const int32_t cPrime = std::min(s, std::min(i, 511 - i));
    const int32_t lNew = i;
    const int32_t newMin = (lNew - cPrime) >> 1;
    const int32_t w = ((cPrime + lNew) >> 1) - newMin;
    static const int32_t kMask[6] = {0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF};
    static const int32_t kFactor[6] = {-1, 256, -65536, 1, -256, 65536};
    int32_t result = newMin * 0x010101;
    if (d != 0) {
        int32_t v = ((numerator * (0xFF0000 / d) + 0x8000) >> 16) + fineStep;
        int32_t index = sector + sectorStep;
        if (v >= 255) {
            index += 1;
            v -= 255;
        }
        result += ((w * 0x010101) & kMask[index % 6]) + ((w * v + 128) >> 8) * kFactor[index % 6];
    }
    return result;
}

// Calls f(x, y, channel) for the colour or gray channels of every pixel.
template <typename F>
void ForEachSample(const TestImage& image, F f) {
    const int32_t channels = image.Channels() == 4 ? 3 : image.Channels();
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            for (int32_t c = 0; c < channels; ++c) f(x, y, c);
        }
    }
}

}  // namespace

void HueSaturation(TestImage& image, int32_t hue, int32_t saturation, int32_t bits) {
    const int32_t shift = image.Wide() ? bits - 8 : 0;
    // Samples above the significant bits count as the largest in range.
    const auto narrow = [&](int32_t x, int32_t y, int32_t c) {
        return std::min(image.Get(x, y, c) >> shift, 255);
    };
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            const int32_t result =
                HuePixel(narrow(x, y, 0), narrow(x, y, 1), narrow(x, y, 2), hue, saturation);
            for (int c = 0; c < 3; ++c) image.Set(x, y, c, ((result >> (8 * c)) & 0xFF) << shift);
        }
    }
}

void Gamma(TestImage& image, int32_t gamma, int32_t bits) {
    double e = gamma > 100 ? (gamma - 100) / 10.0 + 1 : gamma / 100.0;
    const bool color8 = image.bytesPerPixel == 3 || image.bytesPerPixel == 4;
    if (color8) e = std::clamp(e, 0.001, 99.999);
    ForEachSample(image, [&](int32_t x, int32_t y, int32_t c) {
        const int32_t v = image.Get(x, y, c);
        int32_t out;
        if (!image.Wide()) {
            out = static_cast<int32_t>(std::pow(v / 255.0, e) * 255);
        } else {
            const int32_t n = 1 << bits;
            out = v >= n ? n - 1
                         : static_cast<int32_t>(std::pow(v / static_cast<double>(n), e) * (n - 1));
        }
        image.Set(x, y, c, out);
    });
}

void Contrast(TestImage& image, int32_t c, int32_t bits) {
    ForEachSample(image, [&](int32_t x, int32_t y, int32_t ch) {
        const int32_t i = image.Get(x, y, ch);
        const int32_t n = image.Wide() ? 1 << bits : 256;
        const int32_t o = image.Wide() ? c * (1 << (bits - 8)) : c;
        int32_t out;
        if (i >= n) {
            out = n - 1;
        } else if (i < o) {
            out = 0;
        } else if (i > n - o - 1) {
            out = n - 1;
        } else {
            out = static_cast<int32_t>(static_cast<double>(n) / (n - 2 * o) * (i - o));
        }
        image.Set(x, y, ch, out);
    });
}

void Sharpness(const TestImage& copy, TestImage& image, int32_t s, int32_t bits) {
    const int32_t maximum = image.Wide() ? (1 << bits) - 1 : 255;
    ForEachSample(copy, [&](int32_t x, int32_t y, int32_t c) {
        if (x < 2 || y < 2 || x > copy.width - 3 || y > copy.height - 3) return;
        int32_t sum = 0;
        for (int32_t yy = y - 2; yy <= y + 1; ++yy) {
            for (int32_t xx = x - 2; xx <= x + 1; ++xx) sum += copy.Get(xx, yy, c);
        }
        const int32_t v = copy.Get(x, y, c);
        const int32_t k = v - (sum >> 4);
        const auto correction = static_cast<int32_t>(std::trunc(s * k / 10.0));
        image.Set(x, y, c, std::clamp(v + correction, 0, maximum));
    });
}

void Brightness(TestImage& image, int32_t b, int32_t bits) {
    double f = 1.0;
    if (b < 0) f = 1 - std::abs(b) * 0.00392156862745098;
    if (b > 0) f = b * 0.0392156862745098 + 1;
    const auto factor = static_cast<float>(f);
    const int32_t maximum = image.Wide() ? (1 << bits) - 1 : 255;
    ForEachSample(image, [&](int32_t x, int32_t y, int32_t c) {
        const float product = static_cast<float>(image.Get(x, y, c)) * factor;
        image.Set(x, y, c, std::clamp(static_cast<int32_t>(product), 0, maximum));
    });
}

}  // namespace tavlin::imaging::ref
