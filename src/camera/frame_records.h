// The frame records an acquisition posts with its frame notices, and the frame rate they carry.
// Used under the camera's frame lock.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/clock.h"
#include "tavlin/tavlin.h"

namespace tavlin::camera {

class FrameRecords {
  public:
    FrameRecords() : rateTimestamp_(platform::TickCount()) {}

    // Fills the next record and returns its address for the frame notice.
    const TavlinFrameInfo* Fill(int32_t width, int32_t height, uint8_t* buffer,
                                int32_t bitsPerPixel, int32_t frameRate) {
        TavlinFrameInfo& record = records_[slot_];
        slot_ = (slot_ + 1) % records_.size();
        auto store = [](auto& field, auto value) {
            std::atomic_ref(field).store(value, std::memory_order_relaxed);
        };
        store(record.size, int32_t{32});
        store(record.width, width);
        store(record.height, height);
        store(record.buffer, buffer);
        store(record.bitsPerPixel, bitsPerPixel);
        store(record.frameRate, frameRate);
        return &record;
    }

    // Counts a frame; the rate (in tenths of a frame per second) is recomputed once more than a
    // second has passed.
    int32_t CountFrame() {
        ++frameCounter_;
        const uint32_t now = platform::TickCount();
        if (static_cast<uint32_t>(now - rateTimestamp_) > 1000) {
            const uint32_t elapsed = platform::TickCount() - rateTimestamp_;
            frameRate_ = static_cast<int32_t>(frameCounter_ * 10000.0 / elapsed);
            frameCounter_ = 0;
            rateTimestamp_ = platform::TickCount();
        }
        return frameRate_;
    }

  private:
    // Used in turn: a notice's record stays as posted until eight more frames have been
    // delivered, so an application that keeps up never reads a record being rewritten. Fields
    // are stored atomically, as a reader on another thread may look at any time.
    std::array<TavlinFrameInfo, 8> records_{};
    size_t slot_ = 0;
    int32_t frameCounter_ = 0;
    uint32_t rateTimestamp_ = 0;
    int32_t frameRate_ = 0;
};

}  // namespace tavlin::camera
