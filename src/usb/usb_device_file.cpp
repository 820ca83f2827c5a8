#include "usb/usb_device_file.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <span>

#include "device/driver_protocol.h"

namespace tavlin::usb {

namespace protocol = device::protocol;
using Outcome = DeviceHandle::Outcome;

namespace {

// Commands and replies are answered by the camera's controller at once; this only bounds a
// camera that stopped answering.
constexpr unsigned int kPacketTimeoutMs = 2000;

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

}  // namespace

// One request: its transfers, all submitted at once, completed on the event thread.
class Operation {
  public:
    Operation(const void* file, libusb_device_handle* handle, const EndpointInfo& endpoint,
              uint8_t* buffer, const std::vector<uint32_t>& lengths, unsigned int timeoutMs)
        : file_(file), maxPacket_(endpoint.maxPacketSize), pieces_(lengths.size()) {
        uint32_t offset = 0;
        for (size_t i = 0; i < lengths.size(); ++i) {
            Piece& piece = pieces_[i];
            piece.operation = this;
            piece.transfer = libusb_alloc_transfer(0);
            if (piece.transfer == nullptr) {
                allocated_ = false;
                continue;
            }
            libusb_fill_bulk_transfer(piece.transfer, handle, endpoint.address, buffer + offset,
                                      static_cast<int>(lengths[i]), &Operation::OnComplete, &piece,
                                      timeoutMs);
            offset += lengths[i];
        }
        requested_ = offset;
    }

    ~Operation() {
        // Wait() returned, so none is in flight.
        for (Piece& piece : pieces_) libusb_free_transfer(piece.transfer);
    }

    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

    bool Allocated() const { return allocated_; }
    const void* File() const { return file_; }

    void Start() {
        std::lock_guard guard(mutex_);
        lastProgress_ = std::chrono::steady_clock::now();
        SubmitMore();
    }

    Outcome Wait(uint32_t inactivityMs, uint32_t* moved) {
        std::unique_lock lock(mutex_);
        const auto limit = std::chrono::milliseconds(inactivityMs);
        while (inFlight_ > 0 || (!stopping_ && next_ < pieces_.size())) {
            if (inactivityMs == 0 || stopping_) {
                changed_.wait(lock);
            } else if (changed_.wait_until(lock, lastProgress_ + limit) ==
                           std::cv_status::timeout &&
                       !stopping_ && std::chrono::steady_clock::now() >= lastProgress_ + limit) {
                Stop(Outcome::kTimedOut);
            }
        }
        *moved = moved_;
        return outcome_;
    }

    // From another thread: ends the request with `why`, unless it has ended already.
    void Abort(Outcome why) {
        std::lock_guard guard(mutex_);
        if (!stopping_) Stop(why);
        changed_.notify_all();
    }

  private:
    struct Piece {
        Operation* operation = nullptr;
        libusb_transfer* transfer = nullptr;
        bool submitted = false;
        bool finished = false;
    };

    static void LIBUSB_CALL OnComplete(libusb_transfer* transfer) {
        auto* piece = static_cast<Piece*>(transfer->user_data);
        piece->operation->Complete(*piece);
    }

    void Complete(Piece& piece) {
        std::lock_guard guard(mutex_);
        piece.finished = true;
        --inFlight_;
        const libusb_transfer& transfer = *piece.transfer;
        if (!stopping_) {
            switch (transfer.status) {
                case LIBUSB_TRANSFER_COMPLETED:
                    moved_ += static_cast<uint32_t>(transfer.actual_length);
                    lastProgress_ = std::chrono::steady_clock::now();
                    if (transfer.actual_length < transfer.length) {
                        // The frame ended early: what is queued behind belongs to no frame.
                        Stop(Outcome::kShort);
                    } else {
                        SubmitMore();
                    }
                    break;
                case LIBUSB_TRANSFER_OVERFLOW: {
                    // More than asked for: report it longer than the request, so the caller
                    // sees a long frame.
                    const uint64_t longer =
                        uint64_t{requested_} + std::max<uint16_t>(maxPacket_, 1);
                    moved_ = static_cast<uint32_t>(
                        std::min<uint64_t>(longer, std::numeric_limits<uint32_t>::max()));
                    Stop(Outcome::kLong);
                    break;
                }
                case LIBUSB_TRANSFER_NO_DEVICE:
                    Stop(Outcome::kGone);
                    break;
                case LIBUSB_TRANSFER_TIMED_OUT:
                    Stop(Outcome::kTimedOut);
                    break;
                case LIBUSB_TRANSFER_CANCELLED:
                    Stop(Outcome::kCancelled);
                    break;
                default:
                    Stop(Outcome::kFailed);
                    break;
            }
        }
        // Under the lock: once the waiter sees the last piece, the operation may be destroyed.
        changed_.notify_all();
    }

    // Under mutex_.
    void SubmitMore() {
        while (!stopping_ && next_ < pieces_.size()) {
            Piece& piece = pieces_[next_];
            const int result = libusb_submit_transfer(piece.transfer);
            if (result == LIBUSB_SUCCESS) {
                piece.submitted = true;
                ++next_;
                ++inFlight_;
                continue;
            }
            // The kernel's buffer budget is spent: the rest follow as pieces complete.
            if (result == LIBUSB_ERROR_NO_MEM && inFlight_ > 0) return;
            Stop(result == LIBUSB_ERROR_NO_DEVICE ? Outcome::kGone : Outcome::kFailed);
        }
    }

    // Under mutex_.
    void Stop(Outcome why) {
        stopping_ = true;
        outcome_ = why;
        for (Piece& piece : pieces_) {
            if (piece.submitted && !piece.finished) libusb_cancel_transfer(piece.transfer);
        }
    }

    const void* const file_;
    const uint16_t maxPacket_;
    bool allocated_ = true;
    uint32_t requested_ = 0;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Piece> pieces_;  // sized once: the transfers point into it
    size_t next_ = 0;            // the members below under mutex_
    int inFlight_ = 0;
    bool stopping_ = false;
    Outcome outcome_ = Outcome::kComplete;
    uint32_t moved_ = 0;
    std::chrono::steady_clock::time_point lastProgress_;
};

DeviceHandle::DeviceHandle(std::shared_ptr<UsbContext> context, DeviceKey key,
                           libusb_device_handle* handle, CameraEndpoints endpoints,
                           std::shared_ptr<CameraState> state)
    : context_(std::move(context)),
      key_(std::move(key)),
      handle_(handle),
      endpoints_(endpoints),
      state_(std::move(state)) {}

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

bool DeviceHandle::Begin(Operation* operation) {
    std::lock_guard guard(mutex_);
    if (state_->gone) return false;
    if (std::find(cancelledFiles_.begin(), cancelledFiles_.end(), operation->File()) !=
        cancelledFiles_.end()) {
        return false;
    }
    operations_.push_back(operation);
    return true;
}

void DeviceHandle::End(Operation* operation) {
    std::lock_guard guard(mutex_);
    std::erase(operations_, operation);
}

DeviceHandle::Outcome DeviceHandle::Run(const void* file, const EndpointInfo& endpoint,
                                        uint8_t* buffer, const std::vector<uint32_t>& pieces,
                                        unsigned int libusbTimeoutMs, uint32_t inactivityMs,
                                        uint32_t* moved) {
    *moved = 0;
    Operation operation(file, handle_, endpoint, buffer, pieces, libusbTimeoutMs);
    if (!operation.Allocated()) return Outcome::kFailed;
    if (!Begin(&operation)) return state_->gone ? Outcome::kGone : Outcome::kCancelled;
    operation.Start();
    const Outcome outcome = operation.Wait(inactivityMs, moved);
    End(&operation);
    if (outcome == Outcome::kGone) MarkGone();
    return outcome;
}

void DeviceHandle::CancelFile(const void* file) {
    std::lock_guard guard(mutex_);
    cancelledFiles_.push_back(file);
    for (Operation* operation : operations_) {
        if (operation->File() == file) operation->Abort(Outcome::kCancelled);
    }
}

void DeviceHandle::ForgetFile(const void* file) {
    std::lock_guard guard(mutex_);
    std::erase(cancelledFiles_, file);
}

void DeviceHandle::MarkGone() {
    std::lock_guard guard(mutex_);
    state_->gone = true;
    for (Operation* operation : operations_) operation->Abort(Outcome::kGone);
}

bool DeviceHandle::Usable(const void* file) {
    std::lock_guard guard(mutex_);
    return !state_->gone &&
           std::find(cancelledFiles_.begin(), cancelledFiles_.end(), file) == cancelledFiles_.end();
}

namespace {

class UsbDeviceFile final : public device::DeviceFile {
  public:
    explicit UsbDeviceFile(std::shared_ptr<DeviceHandle> device) : device_(std::move(device)) {}
    ~UsbDeviceFile() override { device_->ForgetFile(this); }

    bool IoControl(uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                   uint32_t* bytesReturned) override {
        *bytesReturned = 0;
        if (code == protocol::kCodeDriverSetting) {
            if (in == nullptr) return false;
            const auto timeout = FrameTimeoutSetting({static_cast<const uint8_t*>(in), inLength});
            if (!timeout || !device_->Usable(this)) return false;
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

    void Cancel() override { device_->CancelFile(this); }

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
        if (length == 0) return device_->Usable(this);
        const CameraState& state = device_->State();
        const uint32_t timeout = state.triggerMode ? state.frameTimeoutMs.load() : 0;
        const EndpointInfo& endpoint = device_->Endpoints().frame;
        // The frame's transfers wait without limit; the trigger time-out counts from the last
        // piece that arrived, so a long frame on a slow bus is not cut.
        const auto outcome =
            device_->Run(this, endpoint, frame, PlanFrameChunks(length, endpoint.maxPacketSize), 0,
                         timeout, moved);
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
                if (result.status == OpenStatus::kGone) state->gone = true;
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
    return result;
}

}  // namespace tavlin::usb
