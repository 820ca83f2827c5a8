#include "vcam/sensor_noise.h"

#include <algorithm>

namespace tavlin::vcam {

namespace {

// SplitMix64's finaliser: every input bit reaches every output bit, so neighbouring samples and
// frames get unrelated offsets.
uint64_t Mix(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

}  // namespace

int NoiseOffset(const SensorNoise& noise, uint64_t frameNumber, int sensorRow, int sensorColumn) {
    if (noise.amplitude <= 0) return 0;
    const uint64_t position = (uint64_t(uint16_t(sensorRow)) << 16) | uint16_t(sensorColumn);
    const uint64_t h = Mix(Mix(Mix(noise.seed) ^ frameNumber) ^ position);
    const uint64_t span = 2 * uint64_t(noise.amplitude) + 1;
    return static_cast<int>(h % span) - noise.amplitude;
}

int WithNoise(const SensorNoise& noise, int sample10, uint64_t frameNumber, int sensorRow,
              int sensorColumn) {
    if (noise.amplitude <= 0) return sample10;
    return std::clamp(sample10 + NoiseOffset(noise, frameNumber, sensorRow, sensorColumn), 0, 1023);
}

}  // namespace tavlin::vcam
