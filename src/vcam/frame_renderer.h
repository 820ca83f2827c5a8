// What the sensor reads out for the programmed window, sub-sampling and sample width, and the
// scene it looks at. Pure: a frame depends only on the model state, the scene and the frame
// number, so tests can predict every sample.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "sensor/sensor_geometry.h"
#include "vcam/camera_model.h"
#include "vcam/sensor_noise.h"

namespace tavlin::vcam {

// Application-supplied full-sensor frames as 10-bit samples.
struct RawFrames {
    static constexpr int kWidth = sensor::kSensorWidth;
    static constexpr int kHeight = sensor::kSensorHeight;
    std::vector<uint16_t> samples;  // frameCount * kWidth * kHeight
    int frameCount = 0;
};

enum class SceneKind { Ramp, Flat, Raw, Chart };

struct Scene {
    SceneKind kind = SceneKind::Ramp;
    std::shared_ptr<const RawFrames> raw;
    SensorNoise noise;  // added to every sample of every scene
};

// The readout the registers describe.
struct Readout {
    int rowStart = 0;
    int columnStart = 0;
    int divisor = 1;  // sub-sampling: keep 2 rows/columns, skip the next 2 * (divisor - 1)
    int rows = 0;     // lines delivered
    int columns = 0;  // samples per line
    int bytesPerSample = 1;
    size_t ImageBytes() const { return size_t(rows) * size_t(columns) * size_t(bytesPerSample); }
};

Readout ReadoutOf(const ModelState& state);

// Sensor coordinate of the n-th delivered line (or sample) from the start.
int SubSampledOffset(int n, int divisor);

// Scene level 0..255 at a sensor position in frame n (synthetic scenes). The chart gives the
// level of the colour the position's Bayer site sees.
int SceneLevel(SceneKind kind, int sensorRow, int sensorColumn, uint64_t frameNumber);

// 10-bit sample for a scene level through the sensor's shutter and gains at that position.
int ExposedSample(const ModelState& state, int level, int sensorRow, int sensorColumn);

// Writes exactly length bytes of frame n: lines of the readout, then zero fill.
void RenderFrame(const ModelState& state, const Scene& scene, uint64_t frameNumber, uint8_t* out,
                 size_t length);

// RenderFrame with the lines of noiseless ramp and flat scenes kept between frames. Such a line
// depends only on the registers, its row's Bayer parity and the row's scene term (one of 256),
// so a moving ramp repeats at most 512 distinct lines and a streaming camera mostly copies.
// Gives exactly RenderFrame's bytes. Not thread-safe: one caller at a time.
class CachedRenderer {
  public:
    void Render(const ModelState& state, const Scene& scene, uint64_t frameNumber, uint8_t* out,
                size_t length);

  private:
    static constexpr size_t kRowParities = 2;
    static constexpr size_t kRowTerms = 256;

    // Starts over when anything the lines depend on differs from the last frame.
    void Prepare(const ModelState& state, SceneKind kind);

    std::array<uint16_t, 256> sensor_{};
    int bytesPerSample_ = 0;
    SceneKind kind_ = SceneKind::Raw;
    bool prepared_ = false;
    size_t lineBytes_ = 0;
    std::vector<uint8_t> lines_;  // kRowParities * kRowTerms lines, built when first needed
    std::vector<bool> built_;
};

// Frame period in microseconds: lines (window plus vertical blank, or the shutter when longer)
// times line length (window columns plus 244 clocks) at the pixel clock.
uint64_t FramePeriodMicroseconds(const ModelState& state);

}  // namespace tavlin::vcam
