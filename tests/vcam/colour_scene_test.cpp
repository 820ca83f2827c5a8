// The colour chart scene and seeded sensor noise, rendered by the sensor model.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "vcam/colour_chart.h"
#include "vcam/device_file.h"
#include "vcam/camera_model.h"
#include "vcam/frame_renderer.h"
#include "vcam_test_support.h"

namespace tavlin::vcam {
namespace {

namespace reg = protocol::sensor;
constexpr int kWidth = 1280;
constexpr int kHeight = 1024;

// The full sensor with 10-bit samples as the SDK leaves it: gains 14, shutter as given.
ModelState FullSensor(uint16_t shutter = 1049) {
    ModelState s = PowerOnState(1);
    for (uint8_t r :
         {reg::kGainGreen1, reg::kGainBlue, reg::kGainRed, reg::kGainGreen2, reg::kGlobalGain}) {
        s.sensor[r] = 14;
    }
    s.sensor[reg::kShutter] = shutter;
    s.controller[protocol::controller::kSampleWidth] = 1;
    return s;
}

// 10-bit samples of frame n, rows of the image top first.
std::vector<uint16_t> Render(const ModelState& s, const Scene& scene, uint64_t n) {
    const Readout readout = ReadoutOf(s);
    std::vector<uint8_t> bytes(readout.ImageBytes());
    RenderFrame(s, scene, n, bytes.data(), bytes.size());
    std::vector<uint16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = uint16_t(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    return samples;
}

uint16_t At(const std::vector<uint16_t>& samples, int x, int y) {
    return samples[size_t(y) * kWidth + size_t(x)];
}

Scene Chart(SensorNoise noise = {}) {
    return Scene{SceneKind::Chart, nullptr, noise};
}

TEST(ColourChart, NothingClipsUpToTheTopOfTheBandWhereExposureHoldsStill) {
    // Automatic exposure stops once the board measures at most 160 of 255; at that exposure the
    // brightest part of the chart must still be below full scale.
    const uint16_t shutter = uint16_t(1049 * 160 / kChartBoard.g);
    for (uint64_t n : {0, 40}) {
        const auto samples = Render(FullSensor(shutter), Chart(), n);
        EXPECT_LT(*std::max_element(samples.begin(), samples.end()), 1023) << n;
    }
    // The windows it measures (10-20 %, 45-55 % and 80-90 % of each side) see only the board.
    const auto samples = Render(FullSensor(), Chart(), 0);
    for (const auto& [fx, fy] :
         {std::pair{0.1, 0.1}, {0.1, 0.8}, {0.45, 0.45}, {0.8, 0.1}, {0.8, 0.8}}) {
        for (int y = int(fy * kHeight); y < int((fy + 0.1) * kHeight); ++y) {
            for (int x = int(fx * kWidth); x < int((fx + 0.1) * kWidth); ++x) {
                ASSERT_EQ(At(samples, x, y), kChartBoard.g * 4) << x << "," << y;
            }
        }
    }
}

TEST(ColourChart, ChannelsAverageAlikeSoTheChartIsGrayOnAverage) {
    std::array<uint64_t, 3> sum{};  // red, green, blue sites
    std::array<uint64_t, 3> count{};
    const auto samples = Render(FullSensor(), Chart(), 7);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int channel = (x & 1) == (y & 1) ? 1 : (y & 1) == 0 ? 0 : 2;
            sum[channel] += At(samples, x, y);
            ++count[channel];
        }
    }
    const double green = double(sum[1]) / double(count[1]);
    EXPECT_NEAR(double(sum[0]) / double(count[0]) / green, 1.0, 0.01);
    EXPECT_NEAR(double(sum[2]) / double(count[2]) / green, 1.0, 0.01);
}

TEST(ColourChart, MarkerMovesSixteenPixelsAFrameAndComesRound) {
    const int row = kChartMarkerTop + kChartMarkerSize / 2;
    auto markerLeft = [&](uint64_t n) {
        const auto samples = Render(FullSensor(), Chart(), n);
        for (int x = 0; x < kWidth; ++x) {
            if (At(samples, x, row) > kChartBoard.g * 4) return x;
        }
        return -1;
    };
    EXPECT_EQ(markerLeft(10), 10 * 16 - kChartMarkerSize);
    EXPECT_EQ(markerLeft(11), 11 * 16 - kChartMarkerSize);
    EXPECT_EQ(markerLeft(0), -1);  // just off the left edge
    const int lap = (kWidth + kChartMarkerSize) / 16;
    EXPECT_EQ(markerLeft(lap + 10), markerLeft(10));
    // Away from the marker's band the chart stands still.
    const auto a = Render(FullSensor(), Chart(), 3);
    const auto b = Render(FullSensor(), Chart(), 4);
    const size_t below = size_t(kChartMarkerTop + kChartMarkerSize) * kWidth;
    EXPECT_NE(a, b);
    EXPECT_TRUE(std::equal(a.begin() + below, a.end(), b.begin() + below));
}

TEST(SensorNoise, SeededPerFrameBoundedAndOffIsExact) {
    const ModelState s = FullSensor();
    const Scene flat{SceneKind::Flat, nullptr, {}};
    const auto clean = Render(s, flat, 5);
    const Scene noisy{SceneKind::Flat, nullptr, {20, 1234}};
    const auto a = Render(s, noisy, 5);
    EXPECT_EQ(Render(s, noisy, 5), a);
    EXPECT_NE(Render(s, noisy, 6), a);
    EXPECT_NE(Render(s, Scene{SceneKind::Flat, nullptr, {20, 1235}}, 5), a);
    EXPECT_EQ(Render(s, Scene{SceneKind::Flat, nullptr, {0, 1234}}, 5), clean);
    int low = 0, high = 0;
    int64_t total = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const int offset = int(a[i]) - int(clean[i]);
        ASSERT_LE(std::abs(offset), 20) << i;
        low = std::min(low, offset);
        high = std::max(high, offset);
        total += offset;
    }
    EXPECT_EQ(low, -20);
    EXPECT_EQ(high, 20);
    EXPECT_NEAR(double(total) / double(a.size()), 0.0, 0.1);
}

TEST(SensorNoise, ReachesEveryScenePathAndClampsAtBothEnds) {
    ModelState dark = FullSensor();
    dark.sensor[reg::kGlobalGain] = 0;  // every clean sample 0
    const auto low = Render(dark, Scene{SceneKind::Ramp, nullptr, {30, 9}}, 0);
    EXPECT_EQ(*std::min_element(low.begin(), low.end()), 0);
    EXPECT_EQ(*std::max_element(low.begin(), low.end()), 30);
    const auto high = Render(FullSensor(16383), Chart({30, 9}), 0);  // every sample clipped
    EXPECT_EQ(*std::max_element(high.begin(), high.end()), 1023);
    EXPECT_EQ(*std::min_element(high.begin(), high.end()), 1023 - 30);

    auto raw = std::make_shared<RawFrames>();
    raw->frameCount = 1;
    raw->samples.assign(size_t(RawFrames::kWidth) * RawFrames::kHeight, 500);
    const auto noisyRaw = Render(FullSensor(), Scene{SceneKind::Raw, raw, {4, 2}}, 0);
    EXPECT_EQ(*std::min_element(noisyRaw.begin(), noisyRaw.end()), 496);
    EXPECT_EQ(*std::max_element(noisyRaw.begin(), noisyRaw.end()), 504);
}

// Through the control interface and the driver contract, as the SDK sees it.
struct FrameReader {
    std::unique_ptr<DeviceFile> file = OpenAttachedDeviceFile("\\\\.\\TvlnQZ410VKE-0");

    bool Send(std::array<uint8_t, 64> packet) {
        const std::array<uint8_t, 4> pipe0 = {0, 0, 0, 0};
        uint32_t got = 0;
        return file->IoControl(protocol::kCodePipeInput, pipe0.data(), 4, packet.data(), 64, &got);
    }
    // A 64 x 8 window on the gray ladder's top step.
    std::vector<uint8_t> Read() {
        std::vector<uint8_t> frame(64 * 8);
        const ChartPatch& step = ChartPatches()[6];
        const int row = reg::kRowOffset + step.top, column = reg::kColumnOffset + step.left;
        Send({protocol::kCmdSensorWrite, reg::kRowStart, uint8_t(row >> 8), uint8_t(row)});
        Send({protocol::kCmdSensorWrite, reg::kColumnStart, uint8_t(column >> 8), uint8_t(column)});
        Send({protocol::kCmdSensorWrite, reg::kRowCount, 0, 7});
        Send({protocol::kCmdSensorWrite, reg::kColumnCount, 0, 63});
        Send({protocol::kCmdFrameRequest});
        const std::array<uint8_t, 4> pipe2 = {2, 0, 0, 0};
        uint32_t got = 0;
        EXPECT_TRUE(file->IoControl(protocol::kCodePipeInput, pipe2.data(), 4, frame.data(),
                                    uint32_t(frame.size()), &got));
        return frame;
    }
};

TEST(VcamInterface, NoiseAndChartThroughTheControlInterface) {
    std::vector<uint8_t> clean, seeded;
    {
        testing::AttachedCameras cameras({0});
        ASSERT_EQ(TavlinVcam_SetScene(0, TAVLIN_VCAM_SCENE_CHART), 1);
        // Refused: nothing changes.
        EXPECT_EQ(TavlinVcam_SetScene(0, 4), 0);
        EXPECT_EQ(TavlinVcam_SetScene(0, -1), 0);
        EXPECT_EQ(TavlinVcam_SetNoise(0, -1, 1), 0);
        EXPECT_EQ(TavlinVcam_SetNoise(0, 256, 1), 0);
        EXPECT_EQ(TavlinVcam_SetNoise(1, 10, 1), 0);  // nothing attached there
        EXPECT_EQ(TavlinVcam_SetNoise(32, 10, 1), 0);
        EXPECT_EQ(TavlinVcam_SetScene(32, TAVLIN_VCAM_SCENE_CHART), 0);
        FrameReader reader;
        clean = reader.Read();
        // Power-on gains 8 of 14: the brightest step, 185, reads 4 * 185 * 8 * 8 / 196 >> 2.
        EXPECT_EQ(clean, std::vector<uint8_t>(clean.size(), uint8_t((4 * 185 * 8 * 8 / 196) >> 2)));
        ASSERT_EQ(TavlinVcam_SetNoise(0, 12, 77), 1);
        seeded = reader.Read();
        EXPECT_NE(seeded, clean);
        ASSERT_EQ(TavlinVcam_SetNoise(0, 0, 77), 1);
        EXPECT_EQ(reader.Read(), clean);
    }
    // A camera attached again starts counting frames afresh: the same seed gives the same frame.
    testing::AttachedCameras cameras({0});
    ASSERT_EQ(TavlinVcam_SetScene(0, TAVLIN_VCAM_SCENE_CHART), 1);
    ASSERT_EQ(TavlinVcam_SetNoise(0, 12, 77), 1);
    FrameReader reader;
    reader.Read();
    EXPECT_EQ(reader.Read(), seeded);
    ASSERT_EQ(TavlinVcam_SetNoise(0, 12, 78), 1);
    EXPECT_NE(reader.Read(), seeded);
}

}  // namespace
}  // namespace tavlin::vcam
