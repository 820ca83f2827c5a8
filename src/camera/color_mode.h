// The sensor layer's colour modes under the camera's own names.
#pragma once

#include "sensor/color_mode.h"

namespace tavlin::camera {

using sensor::BitsPerPixel;
using sensor::ColorMode;
using sensor::HasWideSamples;
using sensor::IsGrayMode;
using sensor::kColour24;
using sensor::kColour32;
using sensor::kColour48;
using sensor::kColour64;
using sensor::kGray16;
using sensor::kGray8;
using sensor::ValidColorMode;

}  // namespace tavlin::camera
