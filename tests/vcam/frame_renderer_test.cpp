#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "vcam/frame_renderer.h"

namespace tavlin::vcam {
namespace {

namespace reg = protocol::sensor;

// A sensor as the SDK leaves it after initialisation: gains 14, shutter 1049.
ModelState InitialisedSensor() {
    ModelState s = PowerOnState(1);
    for (uint8_t r :
         {reg::kGainGreen1, reg::kGainBlue, reg::kGainRed, reg::kGainGreen2, reg::kGlobalGain}) {
        s.sensor[r] = 14;
    }
    return s;
}

void SetWindow(ModelState& s, int rowStart, int columnStart, int rows, int columns) {
    s.sensor[reg::kRowStart] = uint16_t(rowStart);
    s.sensor[reg::kColumnStart] = uint16_t(columnStart);
    s.sensor[reg::kRowCount] = uint16_t(rows - 1);
    s.sensor[reg::kColumnCount] = uint16_t(columns - 1);
}

std::shared_ptr<RawFrames> NumberedRawFrame() {
    auto raw = std::make_shared<RawFrames>();
    raw->frameCount = 1;
    raw->samples.resize(size_t(RawFrames::kWidth) * RawFrames::kHeight);
    for (int r = 0; r < RawFrames::kHeight; ++r) {
        for (int c = 0; c < RawFrames::kWidth; ++c) {
            raw->samples[size_t(r) * RawFrames::kWidth + c] = uint16_t((r * 7 + c * 3) % 1024);
        }
    }
    return raw;
}

TEST(FrameRenderer, RawSampleIsThePixelAtRow12ColumnPlus20) {
    ModelState s = InitialisedSensor();
    s.controller[protocol::controller::kSampleWidth] = 1;
    SetWindow(s, 12 + 100, 20 + 40, 4, 8);
    const Scene scene{SceneKind::Raw, NumberedRawFrame(), {}};
    std::vector<uint8_t> frame(4 * 8 * 2);
    RenderFrame(s, scene, 0, frame.data(), frame.size());
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 8; ++j) {
            const int expected = ((100 + i) * 7 + (40 + j) * 3) % 1024;
            const size_t at = 2 * size_t(i * 8 + j);
            EXPECT_EQ(frame[at] | (frame[at + 1] << 8), expected) << i << "," << j;
        }
    }
}

TEST(FrameRenderer, SubSamplingKeepsTwoAndSkipsTheNextPairs) {
    ModelState s = InitialisedSensor();
    s.controller[protocol::controller::kSampleWidth] = 1;
    s.sensor[reg::kReadModeA] = (s.sensor[reg::kReadModeA] & 0xFFCF) | 0x000C;  // divisor 4
    SetWindow(s, 12, 20, 16, 16);
    const Readout readout = ReadoutOf(s);
    ASSERT_EQ(readout.divisor, 4);
    ASSERT_EQ(readout.rows, 4);
    ASSERT_EQ(readout.columns, 4);
    const Scene scene{SceneKind::Raw, NumberedRawFrame(), {}};
    std::vector<uint8_t> frame(readout.ImageBytes());
    RenderFrame(s, scene, 0, frame.data(), frame.size());
    const int kept[] = {0, 1, 8, 9};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            const size_t at = 2 * size_t(i * 4 + j);
            EXPECT_EQ(frame[at] | (frame[at + 1] << 8), (kept[i] * 7 + kept[j] * 3) % 1024);
        }
    }
}

TEST(FrameRenderer, EightBitSamplesAreTheTopBitsAndTheRestIsZeroFilled) {
    ModelState s = InitialisedSensor();
    SetWindow(s, 12, 20, 2, 4);
    const Scene scene{SceneKind::Raw, NumberedRawFrame(), {}};
    std::vector<uint8_t> frame(64, 0xEE);
    RenderFrame(s, scene, 0, frame.data(), frame.size());
    EXPECT_EQ(frame[5], ((1 * 7 + 1 * 3) % 1024) >> 2);
    for (size_t i = 8; i < frame.size(); ++i) EXPECT_EQ(frame[i], 0) << i;
}

TEST(FrameRenderer, RampMovesAndFollowsBayerSiteGains) {
    ModelState s = InitialisedSensor();
    s.controller[protocol::controller::kSampleWidth] = 1;
    SetWindow(s, 12, 20, 2, 2);
    std::vector<uint8_t> frame(8);
    RenderFrame(s, Scene{}, 3, frame.data(), frame.size());
    auto sample = [&](int k) { return frame[2 * k] | (frame[2 * k + 1] << 8); };
    // Level (row + column + 2n) & 255 times 4 at reference shutter and gains.
    EXPECT_EQ(sample(0), ((12 + 20 + 6) & 255) * 4);
    EXPECT_EQ(sample(3), ((13 + 21 + 6) & 255) * 4);
    s.sensor[reg::kGainRed] = 28;  // the red site is row 12, column 21
    RenderFrame(s, Scene{}, 3, frame.data(), frame.size());
    EXPECT_EQ(sample(1), ((12 + 21 + 6) & 255) * 8);
    EXPECT_EQ(sample(2), ((13 + 20 + 6) & 255) * 4);
}

// The fast line loops against the per-sample definition of the scene.
TEST(FrameRenderer, EverySampleFollowsTheSceneDefinition) {
    struct Case {
        uint16_t readModeA, readModeB;
        int rowStart, columnStart, rows, columns;
        int wide;
        SceneKind kind;
        uint64_t frame;
    };
    const Case cases[] = {
        {0x8000, 0x1104, 12, 20, 6, 10, 0, SceneKind::Ramp, 0},
        {0x8000, 0x111C, 13, 21, 12, 20, 1, SceneKind::Ramp, 200},
        {0x800C, 0x1104, 100, 300, 24, 40, 0, SceneKind::Flat, 5},
        {0x8030, 0x1104, 12, 20, 64, 80, 1, SceneKind::Ramp, 77},
    };
    for (const Case& c : cases) {
        ModelState s = InitialisedSensor();
        s.sensor[reg::kGainRed] = 20;
        s.sensor[reg::kGainBlue] = 9;
        s.sensor[reg::kShutter] = 1500;
        s.sensor[reg::kReadModeA] = c.readModeA;
        s.sensor[reg::kReadModeB] = c.readModeB;
        s.controller[protocol::controller::kSampleWidth] = uint8_t(c.wide);
        SetWindow(s, c.rowStart, c.columnStart, c.rows, c.columns);
        const Readout readout = ReadoutOf(s);
        std::vector<uint8_t> frame(readout.ImageBytes());
        RenderFrame(s, Scene{c.kind, nullptr, {}}, c.frame, frame.data(), frame.size());
        for (int i = 0; i < readout.rows; ++i) {
            for (int j = 0; j < readout.columns; ++j) {
                const int row = c.rowStart + SubSampledOffset(i, readout.divisor);
                const int column = c.columnStart + SubSampledOffset(j, readout.divisor);
                const int sample =
                    ExposedSample(s, SceneLevel(c.kind, row, column, c.frame), row, column);
                const size_t k = size_t(i) * readout.columns + j;
                const int got = c.wide ? frame[2 * k] | (frame[2 * k + 1] << 8) : frame[k];
                ASSERT_EQ(got, c.wide ? sample : sample >> 2) << i << "," << j;
            }
        }
    }
}

TEST(FrameRenderer, BrightnessFollowsShutterAndClamps) {
    ModelState s = InitialisedSensor();
    EXPECT_EQ(ExposedSample(s, 100, 0, 0), 400);
    s.sensor[reg::kShutter] = 2098;
    EXPECT_EQ(ExposedSample(s, 100, 0, 0), 800);
    EXPECT_EQ(ExposedSample(s, 200, 0, 0), 1023);
    s.sensor[reg::kGlobalGain] = 0;
    EXPECT_EQ(ExposedSample(s, 200, 0, 0), 0);
}

// The line cache against the plain renderer over a stream whose registers, scene and buffer
// length change between frames, as a camera's do while an application adjusts it.
TEST(CachedRenderer, GivesThePlainRenderersBytesWhateverChangesBetweenFrames) {
    std::mt19937 random(20261210);
    const uint16_t readModes[][2] = {
        {0x8000, 0x1104}, {0x8000, 0x111C}, {0x800C, 0x1104}, {0x8030, 0x1104}};
    const SceneKind kinds[] = {SceneKind::Ramp, SceneKind::Flat, SceneKind::Chart, SceneKind::Raw};
    CachedRenderer cached;
    ModelState s = InitialisedSensor();
    Scene scene;
    const auto raw = NumberedRawFrame();
    for (uint64_t frame = 0; frame < 300; ++frame) {
        SCOPED_TRACE(frame);
        switch (random() % 8) {  // most frames change nothing, so lines are reused
            case 0: {
                const auto* mode = readModes[random() % 4];
                s.sensor[reg::kReadModeA] = mode[0];
                s.sensor[reg::kReadModeB] = mode[1];
                SetWindow(s, 12 + int(random() % 50), 20 + int(random() % 50),
                          1 + int(random() % 70), 1 + int(random() % 90));
                break;
            }
            case 1:
                s.sensor[reg::kGainRed] = uint16_t(random() % 64);
                s.sensor[reg::kShutter] = uint16_t(1 + random() % 3000);
                break;
            case 2:
                s.controller[protocol::controller::kSampleWidth] = uint8_t(random() % 2);
                break;
            case 3:
                scene.kind = kinds[random() % 4];
                scene.raw = scene.kind == SceneKind::Raw ? raw : nullptr;
                scene.noise.amplitude = random() % 4 == 0 ? 3 : 0;
                break;
            default:
                break;
        }
        const size_t whole = ReadoutOf(s).ImageBytes();
        // Sometimes the driver's buffer is shorter or longer than the frame.
        const size_t length = random() % 6 == 0 ? random() % (whole + 64) : whole;
        std::vector<uint8_t> expected(length, 0xAB);
        std::vector<uint8_t> got(length, 0xCD);
        RenderFrame(s, scene, frame, expected.data(), length);
        cached.Render(s, scene, frame, got.data(), length);
        ASSERT_TRUE(got == expected);
    }
}

}  // namespace
}  // namespace tavlin::vcam
