// The process's one libusb context: started on first need, with an event thread that runs
// while a camera is open or hotplug is registered, and the state kept per camera.
#pragma once

#include <libusb.h>

#include <atomic>
#include <chrono>
#include <compare>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/thread.h"
#include "usb/usb_cameras.h"
#include "usb/usb_ids.h"
#include "usb/usb_layout.h"

namespace tavlin::usb {

// One device on the bus: the same bus, port path and address (a re-plugged camera gets a new
// address, and so a fresh state).
struct DeviceKey {
    uint8_t bus = 0;
    std::vector<uint8_t> ports;
    uint8_t address = 0;
    auto operator<=>(const DeviceKey&) const = default;
};

DeviceKey KeyOf(const UsbCamera& camera);
UsbCamera IdentifyDevice(libusb_device* device);
// The device's pipes when its configuration is the camera's; else empty, with *reason.
std::optional<CameraEndpoints> CameraEndpointsOf(libusb_device* device, std::string* reason);

// What every file of one camera shares, for as long as the process lives.
struct CameraState {
    std::atomic<bool> gone{false};            // unplugged, or a transfer said the device is gone
    std::atomic<bool> triggerMode{false};     // from the controller writes sent to it
    std::atomic<uint32_t> frameTimeoutMs{0};  // frame reads in trigger mode; 0: no limit
};

class DeviceHandle;

class UsbContext {
  public:
    // The context, started on the first call (Available() says whether libusb started).
    static std::shared_ptr<UsbContext> Instance();

    UsbContext();
    ~UsbContext();
    UsbContext(const UsbContext&) = delete;
    UsbContext& operator=(const UsbContext&) = delete;

    bool Available() const { return context_ != nullptr; }
    libusb_context* Raw() const { return context_; }

    // The listed devices now present. Cached: with hotplug until a listed device comes or goes,
    // without it for kRescanInterval.
    UsbScan Scan(const IdList& ids);

    std::shared_ptr<CameraState> StateOf(const DeviceKey& key);

    // The event thread runs while it has users (open cameras, the hotplug registration). False
    // when the thread cannot start (the user is not counted then).
    bool AddEventUser();
    void RemoveEventUser();

    // Camera handles, one per device. Opens and closes hold openMutex; a closing handle is
    // waited for, so a re-open never races its predecessor's release of the interface.
    std::mutex openMutex;
    std::condition_variable handleClosed;
    std::map<DeviceKey, std::weak_ptr<DeviceHandle>> handles;  // under openMutex

    static constexpr std::chrono::milliseconds kRescanInterval{500};

  private:
    static int LIBUSB_CALL OnHotplug(libusb_context* context, libusb_device* device,
                                     libusb_hotplug_event event, void* self);
    UsbScan Rescan(const IdList& ids);
    std::string SerialOf(libusb_device* device, const DeviceKey& key, uint8_t index);
    void EventLoop();

    libusb_context* context_ = nullptr;
    bool hotplug_ = false;
    libusb_hotplug_callback_handle hotplugHandle_{};

    std::mutex eventMutex_;
    int eventUsers_ = 0;         // under eventMutex_
    bool eventRunning_ = false;  // under eventMutex_
    platform::WorkerThread eventThread_;

    std::mutex scanMutex_;
    bool haveScan_ = false;  // the members below under scanMutex_
    IdList scannedIds_;
    UsbScan scan_;
    std::chrono::steady_clock::time_point scannedAt_;
    std::map<DeviceKey, std::string> serials_;
    std::atomic<bool> dirty_{false};  // set by hotplug

    std::mutex idsMutex_;
    IdList hotplugIds_;  // under idsMutex_: whose arrivals and departures matter

    std::mutex statesMutex_;
    std::map<DeviceKey, std::shared_ptr<CameraState>> states_;  // under statesMutex_
};

}  // namespace tavlin::usb
