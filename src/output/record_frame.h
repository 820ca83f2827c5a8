// Turns the output image of any colour mode into the frame an AVI file holds: 24 bits per pixel,
// B, G, R, rows in reverse memory order (the bottom-up order of a DIB), each padded with zeros to
// 4 bytes, 16-bit samples reduced to 8 bits, gray expanded through the image's colour table. No
// blit, so images without a device context convert as well.
//
// A frame is converted whole into one buffer and written with one system call: the conversion is
// short enough to hold the owner's frame lock, and the write can then happen outside it.
//
// The frame buffer is made once per recording; converting or writing a frame allocates nothing.
// Not thread-safe: the recording thread owns it.
#pragma once

#include <cstdint>

#include "output/avi_writer.h"
#include "output/image_buffer.h"
#include "output/sample_rows.h"

namespace tavlin::output {

class RecordFrameConverter {
  public:
    // Makes the frame buffer for width x height frames. Returns 1, or 0 (and no buffer).
    int Prepare(int32_t width, int32_t height);

    // Converts `image` (of the prepared size; 8, 16, 24, 32, 48 or 64 bits) into the frame:
    // Frame().SizeBytes() bytes, rows Frame().Stride() apart. Null when nothing is prepared or the
    // image does not match.
    const uint8_t* Convert(const ImageBuffer& image, SampleScale scale = {});

    // Appends the frame last converted to `writer` (opened for the same size). kFailed when no
    // frame has been converted since Prepare.
    AviWriteResult WriteConverted(AviWriter& writer) const;

    // Convert, then WriteConverted.
    AviWriteResult Record(const ImageBuffer& image, AviWriter& writer, SampleScale scale = {});

    const ImageBuffer& Frame() const { return frame_; }
    void Release();

  private:
    bool Matches(const ImageBuffer& image) const;

    bool converted_ = false;
    ImageBuffer frame_;
};

}  // namespace tavlin::output
