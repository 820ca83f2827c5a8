// Uncompressed AVI files: RIFF "AVI ", one video stream of 24-bit bottom-up DIB frames, a legacy
// "idx1" index. The 232-byte header is written at open with placeholder counts and patched when
// the file is finalised with the measured rate.
//
// Frames are stored with their rows padded to 4 bytes, as DIB rows are; the frame size
// S = stride x height is stated in every header, chunk and index entry, so every width plays.
// A file never grows past the size limit (just under 4 GiB, where 32-bit sizes end): a frame that
// would not leave room for itself and the index is refused, so the caller can finalise.
//
// A recording cut short (the process killed, the machine stopped) keeps what the last Checkpoint
// stated: sizes and counts covering the whole frames written until then, no index. Players read
// such a file up to that frame; anything written later lies past the "movi" list and is ignored.
//
// Not thread-safe: one recording thread drives it (the owner serialises open and close with it).
#pragma once

#include <sys/uio.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/output_file.h"

namespace tavlin::output {

// Rates are frames per second x 100.
inline constexpr uint32_t kAviOpeningRate = 3000;

// The rate achieved by `frames` frames over `elapsedMs`: frames x 100000 / elapsed. Without a
// measurable time it is the opening rate; it never drops to 0 (at least 1, 0.01 frames per second)
// and never exceeds a million frames per second, so the header divisions stay defined.
uint32_t MeasuredAviRate(uint32_t frames, uint32_t elapsedMs);

// What every writing operation reports.
enum class AviWriteResult {
    kWritten,
    kFull,    // the frame (at open: even one frame) would take the file past its size limit;
              // nothing was written
    kFailed,  // the write failed (disk full, I/O error), or the call was out of turn; a frame
              // that failed is cut back at finalisation
};

class AviWriter {
  public:
    static constexpr uint64_t kDefaultSizeLimit = 0xFFFFFFFFull;
    static constexpr uint32_t kHeaderBytes = 232;

    explicit AviWriter(uint64_t fileSizeLimit = kDefaultSizeLimit) : sizeLimit_(fileSizeLimit) {}
    ~AviWriter() = default;
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Abandons any open file, then starts `fileName` (UTF-8; an existing file is truncated) for
    // width x height frames. `bitCount` is the source image's depth, kept for information only.
    // kFull when not even one frame fits under the limit; kFailed for bad sizes or an open or
    // header write failure.
    AviWriteResult Open(const std::string& fileName, int32_t width, int32_t height,
                        int16_t bitCount);

    // Appends one frame of FrameBytes() bytes (bottom-up rows of FrameStride() bytes, B, G, R).
    AviWriteResult WriteFrame(const uint8_t* frame);

    // The same frame handed over in pieces, so it can be written while it is converted: BeginFrame,
    // then AppendFrame with the frame's bytes in order (FrameBytes() in all), then EndFrame.
    // BeginFrame returns kFull or kFailed when no frame may start. A frame that ends short or
    // overlong, or a failed append, fails the frame as a failed write does.
    AviWriteResult BeginFrame();
    AviWriteResult AppendFrame(const iovec* parts, size_t count);
    AviWriteResult EndFrame();

    // Brings the header up to date with the frames written so far (sizes, counts, the timing of
    // `rate`), so the file plays as it stands if it is never finalised. One write of the header.
    // kFailed when no file is open, a frame is open or has failed, or the write fails.
    AviWriteResult Checkpoint(uint32_t rate);

    // Finalises: writes the index and patches sizes, counts and the timing of `rate` (hundredths
    // of frames per second; 0 counts as 1), then closes. After a failed frame write the file is
    // first cut back to the last whole frame. kWritten when the finished file is complete,
    // kFailed when nothing was open or a write failed.
    AviWriteResult Close(uint32_t rate);

    // Closes without finalising, empties the index and clears the header images.
    void Reset();

    bool IsOpen() const { return file_.IsOpen(); }
    uint32_t FrameCount() const { return static_cast<uint32_t>(index_.size()); }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    int16_t BitCount() const { return bitCount_; }
    int32_t FrameStride() const { return frameStride_; }
    uint32_t FrameBytes() const { return frameBytes_; }

  private:
    using IndexEntry = std::array<uint8_t, 16>;

    void FillHeader();
    bool WriteIndex();
    // Puts the current sizes, counts and timing into the header image and writes it.
    bool PatchHeader(uint32_t rate);

    uint64_t sizeLimit_;
    platform::OutputFile file_;
    std::array<uint8_t, kHeaderBytes> header_{};  // the "avih", "strh" and "strf" images inside
    std::vector<IndexEntry> index_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int16_t bitCount_ = 0;
    int32_t frameStride_ = 0;
    uint32_t frameBytes_ = 0;
    uint32_t riffSize_ = 0;  // bytes after the RIFF size field
    uint32_t moviSize_ = 0;  // bytes after the movi list's size field
    bool writeFailed_ = false;
    bool frameOpen_ = false;          // between BeginFrame and EndFrame
    uint32_t frameAppended_ = 0;      // bytes of the open frame written
    std::array<uint8_t, 8> chunk_{};  // the open frame's chunk header, sent with its first bytes
    std::vector<iovec> gather_;       // reused for every append
    uint64_t reservedEnd_ = 0;        // disk space is reserved up to here
    bool reserveFailed_ = false;      // the file system cannot, or the disk is nearly full
};

}  // namespace tavlin::output
