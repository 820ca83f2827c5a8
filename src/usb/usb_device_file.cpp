#include "usb/usb_device_file.h"

#include <span>

#include "device/driver_protocol.h"
#include "diag/log.h"

namespace tavlin::usb {

namespace protocol = device::protocol;

namespace {

// Commands and replies are answered by the camera's controller at once; this only bounds a
// camera that stopped answering.
constexpr unsigned int kPacketTimeoutMs = 2000;
// Longer than any piece takes on a working bus (1 MiB at USB 2.0's 35 MB/s: 30 ms).
constexpr uint32_t kFrameQuietEndMs = 500;

uint32_t Word(const void* bytes) {
    const auto* b = static_cast<const uint8_t*>(bytes);
    return uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
}

OpenStatus StatusOf(int libusbError) {
    switch (libusbError) {
        case LIBUSB_SUCCESS:
            return OpenStatus::kOk;
        case LIBUSB_ERROR_ACCESS:
            return OpenStatus::kPermissionDenied;
        case LIBUSB_ERROR_BUSY:
            return OpenStatus::kBusy;
        case LIBUSB_ERROR_NO_DEVICE:
        case LIBUSB_ERROR_NOT_FOUND:
            return OpenStatus::kGone;
        default:
            return OpenStatus::kFailed;
    }
}

// The pieces of one operation as libusb bulk transfers straight on the caller's buffer.
class LibusbPieces final : public PieceIo {
  public:
    LibusbPieces(Operation& operation, libusb_device_handle* handle, const EndpointInfo& endpoint,
                 uint8_t* buffer, const std::vector<uint32_t>& lengths, unsigned int timeoutMs)
        : operation_(operation), slots_(lengths.size()) {
        uint32_t offset = 0;
        for (size_t i = 0; i < lengths.size(); ++i) {
            Slot& slot = slots_[i];
            slot.owner = this;
            slot.index = i;
            slot.transfer = libusb_alloc_transfer(0);
            if (slot.transfer == nullptr) {
                allocated_ = false;
                return;
            }
            libusb_fill_bulk_transfer(slot.transfer, handle, endpoint.address, buffer + offset,
                                      static_cast<int>(lengths[i]), &LibusbPieces::OnComplete,
                                      &slot, timeoutMs);
            offset += lengths[i];
        }
    }

    // The operation has waited for every piece: none is in flight.
    ~LibusbPieces() override {
        for (Slot& slot : slots_) libusb_free_transfer(slot.transfer);
    }

    LibusbPieces(const LibusbPieces&) = delete;
    LibusbPieces& operator=(const LibusbPieces&) = delete;

    bool Allocated() const { return allocated_; }

    SubmitResult Submit(size_t piece) override {
        switch (libusb_submit_transfer(slots_[piece].transfer)) {
            case LIBUSB_SUCCESS:
                return SubmitResult::kOk;
            case LIBUSB_ERROR_NO_MEM:
                return SubmitResult::kNoMemory;
            case LIBUSB_ERROR_NO_DEVICE:
                return SubmitResult::kNoDevice;
            default:
                return SubmitResult::kFailed;
        }
    }

    void Cancel(size_t piece) override { (void)libusb_cancel_transfer(slots_[piece].transfer); }

  private:
    struct Slot {
        LibusbPieces* owner = nullptr;
        size_t index = 0;
        libusb_transfer* transfer = nullptr;
    };

    static PieceStatus StatusOf(libusb_transfer_status status) {
        switch (status) {
            case LIBUSB_TRANSFER_COMPLETED:
                return PieceStatus::kCompleted;
            case LIBUSB_TRANSFER_OVERFLOW:
                return PieceStatus::kOverflow;
            case LIBUSB_TRANSFER_NO_DEVICE:
                return PieceStatus::kNoDevice;
            case LIBUSB_TRANSFER_TIMED_OUT:
                return PieceStatus::kTimedOut;
            case LIBUSB_TRANSFER_CANCELLED:
                return PieceStatus::kCancelled;
            case LIBUSB_TRANSFER_STALL:
                return PieceStatus::kStall;
            default:
                return PieceStatus::kError;
        }
    }

    static void LIBUSB_CALL OnComplete(libusb_transfer* transfer) {
        const auto* slot = static_cast<const Slot*>(transfer->user_data);
        slot->owner->operation_.Complete(slot->index, StatusOf(transfer->status),
                                         static_cast<uint32_t>(transfer->actual_length));
    }

    Operation& operation_;
    std::vector<Slot> slots_;  // sized once: the transfers point into it
    bool allocated_ = true;
};

}  // namespace

DeviceHandle::DeviceHandle(std::shared_ptr<UsbContext> context, DeviceKey key,
                           libusb_device_handle* handle, CameraEndpoints endpoints,
                           std::shared_ptr<CameraState> state)
    : context_(std::move(context)),
      key_(std::move(key)),
      handle_(handle),
      endpoints_(endpoints),
      state_(std::move(state)),
      requests_(state_->gone) {}

DeviceHandle::~DeviceHandle() {
    {
        std::lock_guard guard(context_->openMutex);
        libusb_release_interface(handle_, 0);
        libusb_close(handle_);
        context_->handles.erase(key_);
    }
    context_->handleClosed.notify_all();
    context_->RemoveEventUser();
}

Outcome DeviceHandle::Run(const void* file, const EndpointInfo& endpoint, uint8_t* buffer,
                          const std::vector<uint32_t>& pieces, unsigned int libusbTimeoutMs,
                          uint32_t inactivityMs, uint32_t* moved, uint32_t quietEndMs) {
    *moved = 0;
    Operation operation(file, pieces, endpoint.maxPacketSize);
    LibusbPieces transfers(operation, handle_, endpoint, buffer, pieces, libusbTimeoutMs);
    if (!transfers.Allocated()) return Outcome::kFailed;
    if (!requests_.Begin(operation)) {
        return requests_.Gone() ? Outcome::kGone : Outcome::kCancelled;
    }
    operation.Start(transfers);
    const Outcome outcome = operation.Wait(inactivityMs, moved, quietEndMs);
    requests_.End(operation);
    // Every file of the camera fails from now on, and so do later opens.
    if (outcome == Outcome::kGone) requests_.MarkGone();
    // A refused request halts the endpoint; the next one must find it working again.
    if (outcome == Outcome::kStalled &&
        libusb_clear_halt(handle_, endpoint.address) == LIBUSB_ERROR_NO_DEVICE) {
        requests_.MarkGone();
    }
    return outcome;
}

namespace {

class UsbDeviceFile final : public device::DeviceFile {
  public:
    explicit UsbDeviceFile(std::shared_ptr<DeviceHandle> device) : device_(std::move(device)) {}
    ~UsbDeviceFile() override { device_->Requests().ForgetFile(this); }

    bool IoControl(uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                   uint32_t* bytesReturned) override {
        *bytesReturned = 0;
        if (code == protocol::kCodeDriverSetting) {
            if (in == nullptr) return false;
            const auto timeout = FrameTimeoutSetting({static_cast<const uint8_t*>(in), inLength});
            if (!timeout || !device_->Requests().Usable(this)) return false;
            // Kept here, not sent: it rules this process's frame reads.
            device_->State().frameTimeoutMs = *timeout;
            return true;
        }
        if (code != protocol::kCodePipeInput && code != protocol::kCodePipeOutput) return false;
        if (in == nullptr || inLength != protocol::kPipeRequestSize || out == nullptr) return false;
        // The pipe's endpoint gives the direction, whichever code carries the request: pipe 0's
        // data is the output buffer, which direct I/O hands to the driver.
        auto* buffer = static_cast<uint8_t*>(out);
        switch (Word(in)) {
            case protocol::kPipeCommand:
                return Command(buffer, outLength, bytesReturned);
            case protocol::kPipeReply:
                return Reply(buffer, outLength, bytesReturned);
            case protocol::kPipeFrame:
                return Frame(buffer, outLength, bytesReturned);
            default:
                return false;
        }
    }

    void Cancel() override { device_->Requests().CancelFile(this); }

  private:
    bool Command(uint8_t* packet, uint32_t length, uint32_t* moved) {
        if (length == 0) return false;
        const auto outcome = device_->Run(this, device_->Endpoints().command, packet, {length},
                                          kPacketTimeoutMs, 0, moved);
        if (outcome != Outcome::kComplete) return false;
        CameraState& state = device_->State();
        state.triggerMode = TriggerModeAfter({packet, length}, state.triggerMode);
        return true;
    }

    bool Reply(uint8_t* block, uint32_t length, uint32_t* moved) {
        if (length < protocol::kPacketSize) return false;
        const auto outcome = device_->Run(this, device_->Endpoints().reply, block,
                                          {static_cast<uint32_t>(protocol::kPacketSize)},
                                          kPacketTimeoutMs, 0, moved);
        return outcome == Outcome::kComplete || outcome == Outcome::kShort;
    }

    bool Frame(uint8_t* frame, uint32_t length, uint32_t* moved) {
        if (length == 0) return device_->Requests().Usable(this);
        const CameraState& state = device_->State();
        const uint32_t timeout = state.triggerMode ? state.frameTimeoutMs.load() : 0;
        const EndpointInfo& endpoint = device_->Endpoints().frame;
        // The frame's transfers wait without limit; the trigger time-out counts from the last
        // piece that arrived, so a long frame on a slow bus is not cut. Once a frame has begun,
        // its rest follows at bus speed: silence that long means it ended on a piece boundary.
        const auto outcome =
            device_->Run(this, endpoint, frame, PlanFrameChunks(length, endpoint.maxPacketSize), 0,
                         timeout, moved, kFrameQuietEndMs);
        const bool ok = outcome == Outcome::kComplete || outcome == Outcome::kShort ||
                        outcome == Outcome::kLong;
        if (!ok) *moved = 0;
        return ok;
    }

    const std::shared_ptr<DeviceHandle> device_;
};

}  // namespace

OpenResult OpenCamera(const UsbCamera& camera) {
    OpenResult result;
    const auto context = UsbContext::Instance();
    if (!context->Available()) return result;
    const DeviceKey key = KeyOf(camera);
    const auto state = context->StateOf(key);
    // Declared before the lock: the last reference may go here, and the handle's destructor
    // takes the lock.
    std::shared_ptr<DeviceHandle> handle;
    {
        std::unique_lock lock(context->openMutex);
        for (auto it = context->handles.find(key); it != context->handles.end();
             it = context->handles.find(key)) {
            handle = it->second.lock();
            if (handle) break;
            // Its last file is closing: wait until the interface is released.
            context->handleClosed.wait(lock);
        }
        if (!handle) {
            if (state->gone) {
                result.status = OpenStatus::kGone;
                return result;
            }
            libusb_device** list = nullptr;
            const ssize_t count = libusb_get_device_list(context->Raw(), &list);
            libusb_device* device = nullptr;
            for (ssize_t i = 0; i < count && device == nullptr; ++i) {
                if (IdentifyDevice(list[i]).SameDevice(camera)) device = libusb_ref_device(list[i]);
            }
            if (count >= 0) libusb_free_device_list(list, 1);
            if (device == nullptr) {
                result.status = count < 0 ? OpenStatus::kFailed : OpenStatus::kGone;
                return result;
            }
            const auto endpoints = CameraEndpointsOf(device, nullptr);
            libusb_device_handle* raw = nullptr;
            int error = endpoints ? libusb_open(device, &raw) : LIBUSB_ERROR_OTHER;
            libusb_unref_device(device);
            if (error == LIBUSB_SUCCESS) {
                // A kernel driver bound to the interface is set aside while it is claimed.
                (void)libusb_set_auto_detach_kernel_driver(raw, 1);
                error = libusb_claim_interface(raw, 0);
                if (error == LIBUSB_SUCCESS && !context->AddEventUser()) {
                    libusb_release_interface(raw, 0);
                    error = LIBUSB_ERROR_OTHER;
                }
                if (error != LIBUSB_SUCCESS) libusb_close(raw);
            }
            if (error != LIBUSB_SUCCESS) {
                result.status = StatusOf(error);
                const char* why = result.status == OpenStatus::kPermissionDenied
                                      ? "permission denied"
                                  : result.status == OpenStatus::kBusy ? "busy"
                                                                       : "failed";
                TAVLIN_LOG(Usb, Warn, "cannot open %s (port %s, %04x:%04x): %s (%s)",
                           camera.Node().c_str(), camera.PortPath().c_str(), camera.vendor,
                           camera.product, why, libusb_error_name(error));
                if (error == LIBUSB_ERROR_NO_DEVICE) state->gone = true;
                return result;
            }
            handle = std::make_shared<DeviceHandle>(context, key, raw, *endpoints, state);
            context->handles[key] = handle;
        }
    }
    if (handle->State().gone) {
        result.status = OpenStatus::kGone;
        return result;
    }
    result.file = std::make_unique<UsbDeviceFile>(std::move(handle));
    result.status = OpenStatus::kOk;
    TAVLIN_LOG(Usb, Debug, "opened %s (port %s)", camera.Node().c_str(), camera.PortPath().c_str());
    return result;
}

}  // namespace tavlin::usb
