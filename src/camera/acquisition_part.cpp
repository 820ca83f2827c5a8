// The acquisition part's state outside the loops: the mode guard, the buffers and their
// preparation, snapshots on the caller's thread and copying the output image out.
#include "camera/acquisition_part.h"

#include <cstring>

#include "camera/color_mode.h"
#include "diag/log.h"
#include "output/image_file.h"

namespace tavlin::camera {

namespace {

constexpr uint32_t SlotBit(BufferSlot slot) {
    return 1u << static_cast<uint32_t>(slot);
}

// The buffers a colour mode's pipeline writes, besides the scratch buffer. Gray 16 also takes
// the 48-bit buffer: its gray conversion goes through colour.
uint32_t PipelineSlots(int32_t colorMode) {
    switch (colorMode) {
        case kGray8:
        case kColour24:
            return SlotBit(kBuffer8) | SlotBit(kBuffer24);
        case kGray16:
            return SlotBit(kBuffer8) | SlotBit(kBuffer16) | SlotBit(kBuffer48);
        case kColour32:
            return SlotBit(kBuffer8) | SlotBit(kBuffer24) | SlotBit(kBuffer32);
        case kColour48:
            return SlotBit(kBuffer16) | SlotBit(kBuffer24) | SlotBit(kBuffer48);
        case kColour64:
            return SlotBit(kBuffer16) | SlotBit(kBuffer24) | SlotBit(kBuffer64);
        default:
            return 0;
    }
}

}  // namespace

void Acquisition::SetMode(int32_t mode) {
    const int32_t previous = acquisitionMode_.exchange(mode);
    if (previous != mode) {
        TAVLIN_LOG(Camera, Info, "mode %s -> %s", ModeName(previous), ModeName(mode));
    }
}

bool Acquisition::RequireMode(AllowedModes allowed, int32_t code, diag::Where where) {
    const int32_t mode = acquisitionMode_.load();
    if (allowed.Contains(mode)) return true;
    TAVLIN_LOG(Camera, Info, "refused in %s mode", ModeName(mode));
    errors_.Report(code, where);
    return false;
}

bool Acquisition::PrepareBuffers(int32_t colorMode, int32_t width, int32_t height) {
    std::lock_guard<std::mutex> frame(frameLock_);
    auto create = [&](BufferSlot slot) {
        return imageBuffers_[slot].Create(width, height, BitsPerPixel(slot)) != 0;
    };
    const uint32_t slots = PipelineSlots(colorMode);
    bool ok = true;
    for (const BufferSlot slot :
         {kBuffer8, kBuffer16, kBuffer24, kBuffer32, kBuffer48, kBuffer64}) {
        if ((slots & SlotBit(slot)) == 0) continue;
        ok = ok && create(slot);
        if (slot == kBuffer8) ok = ok && imageBuffers_[kBuffer8].SetGrayPalette();
    }
    ok = ok && imageBuffers_[kBufferScratch].CreateLike(&imageBuffers_[OutputSlot(colorMode)]);
    if (!ok) return false;
    activeColorMode_ = colorMode;
    // Under the frame lock, so a waiter never pairs the new buffers with the old count.
    accounting_.Start();
    return true;
}

void Acquisition::ReleaseBuffers() {
    bandPool_.Stop();
    for (auto& buffer : imageBuffers_) buffer.Release();
}

void Acquisition::PauseTrigger(bool paused) {
    std::lock_guard<std::mutex> mode(modeLock_);
    if (acquisitionMode_.load() != kTriggerMode) return;
    acquisitionThread_.SetFlag(paused ? AcquisitionThread::kPaused : AcquisitionThread::kRun);
}

void Acquisition::SetFrameTarget(platform::WindowHandle frameWindow, uint8_t* buffer,
                                 int32_t length, int32_t rowOrder) {
    std::lock_guard<std::mutex> frame(frameLock_);
    frameWindow_.store(frameWindow);
    callerBuffer_ = buffer;
    callerLength_ = length;
    rowOrder_ = rowOrder;
}

int Acquisition::SnapShot(uint8_t* buffer, int32_t length, int32_t rowOrder, bool keepChannel) {
    // A snapshot from idle is an acquisition of one frame.
    const auto endSnapshot = [&] {
        if (keepChannel) return;
        device_->CloseFrameChannel();
        accounting_.Stop();
    };
    std::lock_guard<std::mutex> frame(frameLock_);
    const int32_t colorMode = activeColorMode_;
    output::ImageBuffer& raw = imageBuffers_[RawSlot(colorMode)];
    bool taken = device_->ReadSingleFrame() == device::Status::Ok;
    if (taken && !TakeRawFrame(raw, true)) {
        PostFrameNotice(0, TAVLIN_ERR_TRANSFER);
        taken = false;
    }
    if (!taken) {
        accounting_.SingleFrameFailed();
        endSnapshot();
        return Fail(TAVLIN_ERR_TRANSFER);
    }
    ProcessFrame();
    accounting_.SingleFrameProcessed(device_->SingleFrameArrivalNs());
    imageReady_.store(1);
    bool copied = true;
    if (buffer != nullptr && length != 0) {
        copied = CopyImageOut(imageBuffers_[OutputSlot(colorMode)], buffer, length, rowOrder, true);
    }
    endSnapshot();
    // The copy reported the short buffer when it found it; the snapshot reports its own failure
    // again after ending, as applications have always seen two entries here.
    if (!copied) return Fail(kErrTooSmall);
    return 1;
}

int Acquisition::GetImage(uint8_t* buffer, int32_t length, int32_t rowOrder) {
    std::lock_guard<std::mutex> frame(frameLock_);
    const int32_t colorMode = colorMode_.load();
    if (!ValidColorMode(colorMode)) return Fail(kErrNoImage);
    const output::ImageBuffer& image = imageBuffers_[OutputSlot(colorMode)];
    if (image.Bits() == nullptr || buffer == nullptr) return Fail(TAVLIN_ERR_MEMORY);
    // Reported twice, by the copy and here, as GetImage always has.
    if (!CopyImageOut(image, buffer, length, rowOrder, false)) return Fail(kErrTooSmall);
    return 1;
}

bool Acquisition::CopyOutputImage(output::ImageBuffer& copy) {
    std::lock_guard<std::mutex> frame(frameLock_);
    const int32_t colorMode = colorMode_.load();
    if (!ValidColorMode(colorMode)) return false;
    return output::SnapshotImage(imageBuffers_[OutputSlot(colorMode)], copy) != 0;
}

OutputFormat Acquisition::CurrentOutputFormat() {
    std::lock_guard<std::mutex> frame(frameLock_);
    const output::ImageBuffer& image = imageBuffers_[OutputSlot(activeColorMode_)];
    return {image.Width(), image.Height(), image.BitCount()};
}

bool Acquisition::CopyImageOut(const output::ImageBuffer& image, uint8_t* data, int32_t length,
                               int32_t rowOrder, bool notifyFrameWindow) {
    const size_t stride = static_cast<size_t>(image.Stride());
    const size_t height = static_cast<size_t>(image.Height());
    if (image.Bits() == nullptr || length < 0 || static_cast<size_t>(length) < stride * height) {
        if (notifyFrameWindow) PostFrameNotice(0, TAVLIN_ERR_MEMORY);
        errors_.Report(TAVLIN_ERR_MEMORY);
        return false;
    }
    if (rowOrder != 0) {
        std::memcpy(data, image.Bits(), stride * height);
    } else {
        for (size_t i = 0; i < height; ++i) {
            std::memcpy(data + i * stride, image.Bits() + (height - 1 - i) * stride, stride);
        }
    }
    return true;
}

void Acquisition::PostFrameNotice(uintptr_t wParam, intptr_t lParam) {
    const platform::WindowHandle window = frameWindow_.load();
    if (window != 0) platform::PostMessageTo(window, kMsgFrame, wParam, lParam);
}

}  // namespace tavlin::camera
