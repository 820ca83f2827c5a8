// An emulated USB bus for tests and benchmarks: virtual cameras appear as USB devices that
// libusb finds, opens and streams from, through umockdev's testbed (sysfs, device nodes, uevents)
// and a usbdevfs emulation that answers from the camera model. The process must run under the
// umockdev preload (tests/usb_wrapper.sh); the testbed must exist before libusb_init. Clients are
// threads of this process: URBs and their buffers are used in place, not copied through
// umockdev's socket, so a child process's libusb cannot be served.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "vcam/virtual_camera.h"

namespace tavlin::testing {

// Which endpoints interface 0 describes. The emulation serves endpoints by address (0x01 command
// packets, 0x82 replies, 0x83 frames); the alternatives are for transports' rejection tests.
enum class UsbEndpointLayout {
    kCamera,        // bulk OUT 0x01, bulk IN 0x82, bulk IN 0x83
    kTwoEndpoints,  // bulk OUT 0x01, bulk IN 0x82 (no frame endpoint)
    kInterruptIn,   // bulk OUT 0x01, interrupt IN 0x82 and 0x83
    kSwapped,       // the camera's endpoints in the order 0x83, 0x82, 0x01
};

struct UsbPlugOptions {
    uint16_t vendor = 0xfff0;  // test ids: no real device answers to them
    uint16_t product = 0x0410;
    std::string serial = "00000001";
    uint8_t bus = 1;
    // Hub ports from the root hub down: {2} is sysfs device 1-2, {2, 3} is 1-2.3.
    std::vector<uint8_t> ports{1};
    UsbEndpointLayout layout = UsbEndpointLayout::kCamera;
    // false: the node has mode 0000, so opening it is refused (for root only on a thread inside
    // ScopedFileModeChecks).
    bool readable = true;
    // The node is a FIFO that polls writable only while a completed URB waits to be reaped, as
    // usbfs does; false leaves umockdev's regular file, which always polls ready (libusb spins).
    bool quietPolling = true;
    // When the camera model is unplugged (its Unplug, UnplugAfterFrames), the device leaves the
    // bus as Unplug does, noticed within about 10 ms.
    bool followCameraUnplug = true;
};

struct UsbDeviceStats {
    uint64_t requests = 0;    // usbdevfs ioctls served
    uint64_t urbs = 0;        // URBs submitted
    uint64_t emptyReaps = 0;  // REAPURBNDELAY with nothing to reap (a woken or spinning poller)
};

class EmulatedUsbBus {
  public:
    using DeviceId = int;

    // Whether the umockdev preload is active in this process (without it nothing is emulated).
    // Creates the bus.
    static bool Available();

    // The process's bus, created on first use; create it before anything calls libusb_init.
    static EmulatedUsbBus& Instance();

    EmulatedUsbBus(const EmulatedUsbBus&) = delete;
    EmulatedUsbBus& operator=(const EmulatedUsbBus&) = delete;
    ~EmulatedUsbBus();

    // Adds the camera as a USB device and announces its arrival (uevent "add").
    DeviceId Plug(std::shared_ptr<vcam::VirtualCamera> camera, UsbPlugOptions options = {});

    // A real unplug: pending transfers end with -ESHUTDOWN, every later request on an open
    // handle fails with ENODEV, uevent "remove", then the device leaves the testbed. The camera
    // model itself stays plugged (call its Unplug for that). Unplugging twice does nothing.
    void Unplug(DeviceId id);

    // Where the device is: "/dev/bus/usb/001/002", its address on the bus, its sysfs path.
    std::string NodePath(DeviceId id) const;
    uint8_t Address(DeviceId id) const;
    std::string SysfsPath(DeviceId id) const;

    // Open usbdevfs clients of the device (one per open libusb handle).
    size_t OpenClients(DeviceId id) const;
    UsbDeviceStats Stats(DeviceId id) const;

    struct Device;

  private:
    EmulatedUsbBus();
    Device& Find(DeviceId id) const;
    uint8_t NextAddress(uint8_t bus);
    void Watch();

    struct Testbed;
    std::unique_ptr<Testbed> testbed_;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Device>> devices_;  // unplugged ones too, until clients vanish
    DeviceId nextId_ = 1;
    std::map<uint8_t, uint8_t> nextAddress_;  // per bus

    std::mutex watchMutex_;
    std::condition_variable watchWake_;
    bool stopWatch_ = false;
    std::thread watcher_;  // notices cameras unplugged in the model
};

// The calling thread opens files as an unprivileged user would (without the capabilities that
// bypass file modes), so a node's mode applies even when the tests run as root.
class ScopedFileModeChecks {
  public:
    ScopedFileModeChecks();
    ~ScopedFileModeChecks();
    ScopedFileModeChecks(const ScopedFileModeChecks&) = delete;
    ScopedFileModeChecks& operator=(const ScopedFileModeChecks&) = delete;

  private:
    bool changed_ = false;
    uint32_t saved_[2] = {};
};

// Bytes of one frame as the camera sends it after a frame request: the transfer size (or the
// controller's frame size before one is set), doubled for 16-bit samples.
uint32_t UsbFrameBytes(const vcam::VirtualCamera& camera);

}  // namespace tavlin::testing
