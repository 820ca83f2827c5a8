// Turns the output image of any colour mode into the frame an AVI file holds: 24 bits per pixel,
// B, G, R, rows in reverse memory order (the bottom-up order of a DIB), each padded with zeros to
// 4 bytes, 16-bit samples reduced to 8 bits, gray expanded through the image's colour table. No
// blit, so images without a device context convert as well.
//
// Record converts and writes in one go: 24-bit rows go to the file straight from the image, other
// depths are converted a cache-sized block of rows at a time and each block written at once, so
// the frame is read from memory once and no frame-sized copy is made.
//
// Buffers are made once per recording; recording a frame allocates nothing. Not thread-safe: the
// recording thread owns it and converts under the owner's frame lock.
#pragma once

#include <sys/uio.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "output/avi_writer.h"
#include "output/image_buffer.h"
#include "output/sample_rows.h"

namespace tavlin::output {

class RecordFrameConverter {
  public:
    // Makes the buffers for width x height frames. Returns 1, or 0 (and no buffers).
    int Prepare(int32_t width, int32_t height);

    // Appends `image` (of the prepared size; 8, 16, 24, 32, 48 or 64 bits) to `writer` (opened for
    // the same size) as one frame. kFailed when nothing is prepared or the image does not match.
    AviWriteResult Record(const ImageBuffer& image, AviWriter& writer, SampleScale scale = {});

    // The whole frame in memory, the same bytes Record writes: Frame().SizeBytes() bytes, rows
    // Frame().Stride() apart. Null when nothing is prepared or the image does not match. Makes
    // the frame buffer on first use.
    const uint8_t* Convert(const ImageBuffer& image, SampleScale scale = {});

    const ImageBuffer& Frame() const { return frame_; }
    void Release();

  private:
    bool Matches(const ImageBuffer& image) const;
    // Frame rows first .. first + count - 1 into `dst`, rows `dstStride` apart.
    void ConvertRows(const ImageBuffer& image, int32_t first, int32_t count, uint8_t* dst,
                     size_t dstStride, SampleScale scale) const;
    AviWriteResult RecordStraight(const ImageBuffer& image, AviWriter& writer);
    AviWriteResult RecordInBlocks(const ImageBuffer& image, AviWriter& writer, SampleScale scale);

    int32_t width_ = 0;
    int32_t height_ = 0;
    size_t stride_ = 0;
    int32_t blockRows_ = 0;
    std::unique_ptr<uint8_t[]> block_;  // blockRows_ frame rows, padding kept zero
    std::vector<iovec> rows_;           // gather list of a 24-bit frame
    ImageBuffer frame_;
};

}  // namespace tavlin::output
