#include "output/avi_writer.h"

#include <algorithm>
#include <cstring>

namespace tavlin::output {

namespace {

constexpr uint32_t kMoviSizeOffset = 224;
constexpr uint32_t kChunkHeaderBytes = 8;
constexpr uint32_t kIndexEntryBytes = 16;
constexpr uint32_t kKeyFrame = 0x10;
constexpr uint32_t kMaxRate = 100000000;  // a million frames per second
// Disk space is reserved this far ahead (at least one frame): writes into reserved space cost a
// third less, and a recording that is killed leaves at most this much reserved past its end.
constexpr uint64_t kReserveFrames = 8;
constexpr uint64_t kReserveMaxBytes = 64 * 1024 * 1024;

void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutTag(uint8_t* p, const char* tag) {
    std::memcpy(p, tag, 4);
}

}  // namespace

uint32_t MeasuredAviRate(uint32_t frames, uint32_t elapsedMs) {
    if (elapsedMs == 0) return kAviOpeningRate;
    const uint64_t rate = uint64_t{frames} * 100000 / elapsedMs;
    return static_cast<uint32_t>(std::clamp<uint64_t>(rate, 1, kMaxRate));
}

AviWriteResult AviWriter::Open(const std::string& fileName, int32_t width, int32_t height,
                               int16_t bitCount) {
    Reset();
    if (width <= 0 || height <= 0) return AviWriteResult::kFailed;
    const uint64_t stride = (uint64_t{static_cast<uint32_t>(width)} * 3 + 3) & ~uint64_t{3};
    const uint64_t frameBytes = stride * static_cast<uint32_t>(height);
    // Header, one frame and an index of one entry must fit.
    if (uint64_t{kHeaderBytes} + kChunkHeaderBytes + frameBytes + kChunkHeaderBytes +
            kIndexEntryBytes >
        sizeLimit_) {
        return AviWriteResult::kFull;
    }
    width_ = width;
    height_ = height;
    bitCount_ = bitCount;
    frameStride_ = static_cast<int32_t>(stride);
    frameBytes_ = static_cast<uint32_t>(frameBytes);
    if (!file_.Open(fileName)) {
        Reset();
        return AviWriteResult::kFailed;
    }
    FillHeader();
    if (!file_.Write(header_.data(), header_.size())) {
        Reset();
        return AviWriteResult::kFailed;
    }
    riffSize_ = kMoviSizeOffset;
    moviSize_ = 4;
    return AviWriteResult::kWritten;
}

void AviWriter::FillHeader() {
    uint8_t* h = header_.data();
    const uint32_t suggested = frameBytes_ + kChunkHeaderBytes;
    const uint64_t bytesPerSecond = uint64_t{suggested} * (kAviOpeningRate / 100);
    PutTag(h + 0, "RIFF");
    PutTag(h + 8, "AVI ");
    PutTag(h + 12, "LIST");
    Put32(h + 16, 200);
    PutTag(h + 20, "hdrl");
    PutTag(h + 24, "avih");
    Put32(h + 28, 56);
    Put32(h + 32, 1000000 / 30);
    Put32(h + 36, static_cast<uint32_t>(std::min<uint64_t>(bytesPerSecond, UINT32_MAX)));
    Put32(h + 44, 0x10010);  // has index, was capture file
    Put32(h + 56, 1);        // streams
    Put32(h + 60, suggested);
    Put32(h + 64, static_cast<uint32_t>(width_));
    Put32(h + 68, static_cast<uint32_t>(height_));
    PutTag(h + 88, "LIST");
    Put32(h + 92, 124);
    PutTag(h + 96, "strl");
    PutTag(h + 100, "strh");
    Put32(h + 104, 64);
    PutTag(h + 108, "vids");
    PutTag(h + 112, "DIB ");
    Put32(h + 128, 10000000 / 30);  // scale
    Put32(h + 132, 10000000);       // rate
    Put32(h + 144, suggested);
    PutTag(h + 172, "strf");
    Put32(h + 176, 40);
    Put32(h + 180, 40);
    Put32(h + 184, static_cast<uint32_t>(width_));
    Put32(h + 188, static_cast<uint32_t>(height_));  // positive: bottom-up rows
    h[192] = 1;                                      // planes
    h[194] = 24;                                     // bit count
    PutTag(h + 220, "LIST");
    PutTag(h + 228, "movi");
}

AviWriteResult AviWriter::WriteFrame(const uint8_t* frame) {
    if (frame == nullptr) return AviWriteResult::kFailed;
    const AviWriteResult begun = BeginFrame();
    if (begun != AviWriteResult::kWritten) return begun;
    const iovec part{const_cast<uint8_t*>(frame), frameBytes_};
    AppendFrame(&part, 1);
    return EndFrame();
}

AviWriteResult AviWriter::BeginFrame() {
    if (!file_.IsOpen() || writeFailed_ || frameOpen_) return AviWriteResult::kFailed;
    const uint64_t frames = index_.size() + 1;
    const uint64_t finishedSize = 8 + uint64_t{riffSize_} + kChunkHeaderBytes + frameBytes_ +
                                  kChunkHeaderBytes + frames * kIndexEntryBytes;
    if (finishedSize > sizeLimit_) return AviWriteResult::kFull;
    const uint64_t end = 8 + uint64_t{riffSize_};
    const uint64_t chunkBytes = kChunkHeaderBytes + uint64_t{frameBytes_};
    if (!reserveFailed_ && end + chunkBytes > reservedEnd_) {
        // Where the file system cannot reserve (or the disk is nearly full) writes allocate as
        // they go; a full disk is still found by the write that fails.
        const uint64_t from = std::max(end, reservedEnd_);
        const uint64_t ahead =
            std::max(chunkBytes, std::min(kReserveFrames * chunkBytes, kReserveMaxBytes));
        const uint64_t to = std::min(from + ahead, sizeLimit_);
        if (file_.Reserve(from, to)) {
            reservedEnd_ = to;
        } else {
            reserveFailed_ = true;
        }
    }
    PutTag(&chunk_[0], "00db");
    Put32(&chunk_[4], frameBytes_);
    frameOpen_ = true;
    frameAppended_ = 0;
    return AviWriteResult::kWritten;
}

AviWriteResult AviWriter::AppendFrame(const iovec* parts, size_t count) {
    if (!frameOpen_ || writeFailed_) return AviWriteResult::kFailed;
    uint64_t bytes = 0;
    for (size_t i = 0; i < count; ++i) bytes += parts[i].iov_len;
    if (frameAppended_ + bytes > frameBytes_) {
        writeFailed_ = true;
        return AviWriteResult::kFailed;
    }
    // The chunk header rides with the first bytes of the frame.
    gather_.clear();
    if (frameAppended_ == 0) gather_.push_back({chunk_.data(), chunk_.size()});
    gather_.insert(gather_.end(), parts, parts + count);
    if (!file_.WriteGather(gather_.data(), gather_.size())) {
        writeFailed_ = true;
        return AviWriteResult::kFailed;
    }
    frameAppended_ += static_cast<uint32_t>(bytes);
    return AviWriteResult::kWritten;
}

AviWriteResult AviWriter::EndFrame() {
    if (!frameOpen_) return AviWriteResult::kFailed;
    frameOpen_ = false;
    if (writeFailed_ || frameAppended_ != frameBytes_) {
        writeFailed_ = true;
        return AviWriteResult::kFailed;
    }
    IndexEntry entry{};
    PutTag(&entry[0], "00db");
    Put32(&entry[4], kKeyFrame);
    Put32(&entry[8], moviSize_);  // from the "movi" identifier
    Put32(&entry[12], frameBytes_);
    index_.push_back(entry);
    riffSize_ += kChunkHeaderBytes + frameBytes_;
    moviSize_ += kChunkHeaderBytes + frameBytes_;
    return AviWriteResult::kWritten;
}

AviWriteResult AviWriter::Checkpoint(uint32_t rate) {
    if (!file_.IsOpen() || writeFailed_ || frameOpen_) return AviWriteResult::kFailed;
    return PatchHeader(rate) ? AviWriteResult::kWritten : AviWriteResult::kFailed;
}

bool AviWriter::WriteIndex() {
    std::array<uint8_t, kChunkHeaderBytes> chunk{};
    PutTag(&chunk[0], "idx1");
    Put32(&chunk[4], static_cast<uint32_t>(index_.size() * kIndexEntryBytes));
    const iovec parts[] = {{chunk.data(), chunk.size()},
                           {index_.data(), index_.size() * kIndexEntryBytes}};
    if (!file_.WriteGather(parts, 2)) return false;
    riffSize_ += kChunkHeaderBytes + static_cast<uint32_t>(index_.size()) * kIndexEntryBytes;
    return true;
}

bool AviWriter::PatchHeader(uint32_t rate) {
    const uint32_t frames = FrameCount();
    const uint32_t r = std::max<uint32_t>(rate, 1);
    uint8_t* h = header_.data();
    Put32(h + 4, riffSize_);
    Put32(h + kMoviSizeOffset, moviSize_);
    Put32(h + 48, frames);
    Put32(h + 140, frames);
    Put32(h + 32, 100000000 / r);
    Put32(h + 128, 1000000000 / r);
    // One write, so an interruption never leaves the fields half updated.
    return file_.WriteAt(0, header_.data(), header_.size());
}

AviWriteResult AviWriter::Close(uint32_t rate) {
    if (!file_.IsOpen()) return AviWriteResult::kFailed;
    // A frame that failed halfway is cut off, so the finished file holds whole frames only.
    const bool cut = !(writeFailed_ || frameOpen_) || file_.Truncate(8 + uint64_t{riffSize_});
    const bool finished = cut && WriteIndex() && PatchHeader(rate);
    const bool closed = file_.Close();
    Reset();
    return finished && closed ? AviWriteResult::kWritten : AviWriteResult::kFailed;
}

void AviWriter::Reset() {
    file_.Close();
    index_.clear();
    header_.fill(0);
    width_ = height_ = 0;
    bitCount_ = 0;
    frameStride_ = 0;
    frameBytes_ = 0;
    riffSize_ = moviSize_ = 0;
    writeFailed_ = false;
    frameOpen_ = false;
    frameAppended_ = 0;
    reservedEnd_ = 0;
    reserveFailed_ = false;
}

}  // namespace tavlin::output
