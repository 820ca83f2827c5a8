// Seeded sensor noise: an offset for every sample that depends only on the seed, the frame
// number and the sensor position, so a noisy frame is as predictable as a clean one.
#pragma once

#include <cstdint>

namespace tavlin::vcam {

struct SensorNoise {
    static constexpr int kMaxAmplitude = 255;
    int amplitude = 0;  // in 10-bit sample steps; 0 is off
    uint32_t seed = 0;
    bool operator==(const SensorNoise&) const = default;
};

// Offset in -amplitude..amplitude, spread evenly.
int NoiseOffset(const SensorNoise& noise, uint64_t frameNumber, int sensorRow, int sensorColumn);

// The 10-bit sample with the offset added and clamped to 0..1023.
int WithNoise(const SensorNoise& noise, int sample10, uint64_t frameNumber, int sensorRow,
              int sensorColumn);

}  // namespace tavlin::vcam
