// Turns the output image of any colour mode into the frame an AVI file holds: 24 bits per pixel,
// B, G, R, rows in reverse memory order (the bottom-up order of a DIB), 16-bit samples reduced to
// 8 bits, gray expanded through the image's colour table. One pass, no blit, so images without a
// device context convert as well.
//
// The frame buffer is made once per recording; converting allocates nothing. Not thread-safe:
// the recording thread owns it and converts under the owner's frame lock.
#pragma once

#include <cstdint>

#include "output/image_buffer.h"
#include "output/sample_rows.h"

namespace tavlin::output {

class RecordFrameConverter {
  public:
    // Makes the width x height 24-bit frame buffer. Returns 1, or 0 (and no buffer).
    int Prepare(int32_t width, int32_t height);

    // Converts `image` (of the prepared size; 8, 16, 24, 32, 48 or 64 bits) and returns the frame:
    // Frame().SizeBytes() bytes, rows Frame().Stride() apart with zeroed padding. Null when
    // nothing is prepared or the image does not match the prepared size or a known depth.
    const uint8_t* Convert(const ImageBuffer& image, SampleScale scale = {});

    const ImageBuffer& Frame() const { return frame_; }
    void Release() { frame_.Release(); }

  private:
    ImageBuffer frame_;
};

}  // namespace tavlin::output
