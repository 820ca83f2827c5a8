// The colour test scene: a chart board the sensor looks at. Patches of saturated colours and a
// gray ladder, a hue gradient, and a marker that moves every frame, on a neutral board whose
// level keeps the default exposure unclipped. Positions are image coordinates: x from sensor
// column 20, y from sensor row 12, so (0, 0) is the first sample of the full-sensor window.
#pragma once

#include <array>
#include <cstdint>

namespace tavlin::vcam {

struct ChartColour {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const ChartColour&) const = default;
};

struct ChartPatch {
    enum class Kind { Colour, Neutral };
    int left, top, width, height;
    ChartColour colour;
    Kind kind;
};

inline constexpr int kChartPatches = 12;

// Row one: red, green, blue, cyan, magenta, yellow; row two: neutral steps from the brightest.
const std::array<ChartPatch, kChartPatches>& ChartPatches();

// The board between patches. Its level sits inside the band where automatic exposure holds
// still, and every patch stays below full scale even when exposure settles at the band's top.
inline constexpr ChartColour kChartBoard = {120, 120, 120};

// The marker's left edge in frame n (it may start left of the image and wraps around).
int ChartMarkerLeft(uint64_t frameNumber);
inline constexpr int kChartMarkerTop = 27;
inline constexpr int kChartMarkerSize = 48;

// Scene colour (levels 0..255 at the reference shutter and gains) at an image position.
ChartColour ChartColourAt(int x, int y, uint64_t frameNumber);

}  // namespace tavlin::vcam
