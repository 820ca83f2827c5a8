// A camera opened through libusb: one handle with interface 0 claimed, shared by every device
// file on the camera in this process, and the transfers those files run on it.
#pragma once

#include <libusb.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "usb/usb_cameras.h"
#include "usb/usb_context.h"
#include "usb/usb_layout.h"
#include "usb/usb_operation.h"

namespace tavlin::usb {

class DeviceHandle {
  public:
    DeviceHandle(std::shared_ptr<UsbContext> context, DeviceKey key, libusb_device_handle* handle,
                 CameraEndpoints endpoints, std::shared_ptr<CameraState> state);
    ~DeviceHandle();  // releases the interface and closes, under the context's openMutex
    DeviceHandle(const DeviceHandle&) = delete;
    DeviceHandle& operator=(const DeviceHandle&) = delete;

    const CameraEndpoints& Endpoints() const { return endpoints_; }
    CameraState& State() { return *state_; }
    CameraRequests& Requests() { return requests_; }

    // Runs one request of `file` as pieces on `endpoint` over buffer[0..sum of pieces), and
    // waits for it (see Operation::Wait).
    Outcome Run(const void* file, const EndpointInfo& endpoint, uint8_t* buffer,
                const std::vector<uint32_t>& pieces, unsigned int libusbTimeoutMs,
                uint32_t inactivityMs, uint32_t* moved, uint32_t quietEndMs = 0);

  private:
    std::shared_ptr<UsbContext> context_;
    const DeviceKey key_;
    libusb_device_handle* const handle_;
    const CameraEndpoints endpoints_;
    const std::shared_ptr<CameraState> state_;
    CameraRequests requests_;
};

OpenResult OpenCamera(const UsbCamera& camera);

}  // namespace tavlin::usb
