// A camera opened through libusb: one handle with interface 0 claimed, shared by every device
// file on the camera in this process, and the transfers those files run on it.
#pragma once

#include <libusb.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "usb/usb_cameras.h"
#include "usb/usb_context.h"
#include "usb/usb_layout.h"

namespace tavlin::usb {

class Operation;

class DeviceHandle {
  public:
    DeviceHandle(std::shared_ptr<UsbContext> context, DeviceKey key, libusb_device_handle* handle,
                 CameraEndpoints endpoints, std::shared_ptr<CameraState> state);
    ~DeviceHandle();  // releases the interface and closes, under the context's openMutex
    DeviceHandle(const DeviceHandle&) = delete;
    DeviceHandle& operator=(const DeviceHandle&) = delete;

    const CameraEndpoints& Endpoints() const { return endpoints_; }
    CameraState& State() { return *state_; }
    libusb_device_handle* Raw() const { return handle_; }

    // Runs one request of `file` as transfers on `endpoint` over buffer[0..sum of pieces), and
    // waits for it. inactivityMs > 0 fails the request when no piece completes for that long.
    // The outcome says how it ended; *moved the bytes of the pieces that completed in order.
    enum class Outcome { kComplete, kShort, kLong, kFailed, kTimedOut, kCancelled, kGone };
    Outcome Run(const void* file, const EndpointInfo& endpoint, uint8_t* buffer,
                const std::vector<uint32_t>& pieces, unsigned int libusbTimeoutMs,
                uint32_t inactivityMs, uint32_t* moved);

    // Fails the file's pending requests and every later one.
    void CancelFile(const void* file);
    void ForgetFile(const void* file);
    // The device is gone: every request of every file fails, now and later.
    void MarkGone();
    bool Usable(const void* file);

  private:
    bool Begin(Operation* operation);
    void End(Operation* operation);

    std::shared_ptr<UsbContext> context_;
    const DeviceKey key_;
    libusb_device_handle* const handle_;
    const CameraEndpoints endpoints_;
    const std::shared_ptr<CameraState> state_;

    std::mutex mutex_;                         // taken before any operation's own lock
    std::vector<Operation*> operations_;       // in flight, under mutex_
    std::vector<const void*> cancelledFiles_;  // under mutex_
};

OpenResult OpenCamera(const UsbCamera& camera);

}  // namespace tavlin::usb
