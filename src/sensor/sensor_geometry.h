// The sensor's fixed geometry and the sub-sampling codes, shared by every layer that sizes,
// programs or renders a frame.
#pragma once

#include <cstdint>

namespace tavlin::sensor {

inline constexpr int32_t kSensorWidth = 1280;
inline constexpr int32_t kSensorHeight = 1024;

// Sub-sampling codes 0..3 read every 1st, 2nd, 4th or 8th pixel pair.
inline constexpr int32_t kSubSampleCodeCount = 4;

// The divisor of a code the sensor knows, 0 for any other code. Stored settings may also carry
// 17..19; each user says what such a code means to it.
constexpr int32_t SubSampleDivisor(int32_t code) {
    return code >= 0 && code < kSubSampleCodeCount ? int32_t{1} << code : 0;
}

// Codes 17..19: what stored settings of older programs may carry for 1..3.
constexpr bool IsStoredSubSampleCode(int32_t code) {
    return code >= 17 && code <= 19;
}

}  // namespace tavlin::sensor
