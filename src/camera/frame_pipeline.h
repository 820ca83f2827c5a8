// The image stages of one frame, from the raw frame in the raw buffer to the output image of the
// colour mode: mirroring, gray filter or colour conversion with white balance, and the picture
// adjustments. Runs on the acquiring thread under the frame lock; a large frame is shared in row
// bands with the camera's band helpers (band_workers.h). Device work (automatic exposure and
// gain) and storing measurements are the camera object's.
#pragma once

#include <cstdint>

#include "camera/band_workers.h"
#include "camera/buffer_slots.h"
#include "imaging/filter_values.h"
#include "imaging/parameter_blocks.h"
#include "imaging/white_balance.h"

namespace tavlin::camera {

struct FrameSettings {
    int32_t colorMode = 0;
    bool mirrorV = false;
    bool mirrorH = false;
    imaging::FilterValues values;
};

// What the automatic measurements found, for the camera to store.
struct FrameMeasurements {
    bool whiteBalanceMeasured = false;
    imaging::WhiteBalanceOutcome whiteBalance;
    bool grayMeasured = false;
    imaging::GrayBlock gray;
};

// Mirrors the raw buffer in place through `temporary` (kept between frames). A temporary that
// cannot be made leaves the frame unmirrored rather than writing through a missing buffer.
void MirrorRaw(output::ImageBuffer& raw, output::ImageBuffer& temporary, bool mirrorV,
               bool mirrorH);

// Gray filter (colour modes 0, 1) or colour conversion (2..5), then the adjustments.
FrameMeasurements RunImageStages(const FrameSettings& settings, ImageBuffers& buffers);
// The same, with a frame large enough shared in row bands between the caller and the pool's
// workers. Every result is the same whatever the number of threads.
FrameMeasurements RunImageStages(const FrameSettings& settings, ImageBuffers& buffers,
                                 BandWorkerPool& pool);

}  // namespace tavlin::camera
