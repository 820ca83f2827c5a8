#include "support/usb_presenter.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/emulated_usb.h"
#include "transport/transport_choice.h"
#include "usb/usb_cameras.h"
#include "vcam/camera_registry.h"

namespace tavlin::test {

namespace {

using testing::EmulatedUsbBus;

std::mutex& PluggedLock() {
    static std::mutex lock;
    return lock;
}

std::map<int32_t, EmulatedUsbBus::DeviceId>& Plugged() {
    static std::map<int32_t, EmulatedUsbBus::DeviceId> plugged;
    return plugged;
}

// Unplugged devices the program may still hold a handle on.
std::vector<EmulatedUsbBus::DeviceId>& Withdrawn() {
    static std::vector<EmulatedUsbBus::DeviceId> withdrawn;
    return withdrawn;
}

// Arrivals and removals reach the SDK through hotplug events, on libusb's own thread.
bool WaitUntilPlaced(int32_t index) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        if (transport::UsbCameraAt(index).has_value()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

// A device leaving is seen by its address: the index it held may go to another camera at once.
bool WaitUntilGone(uint8_t address) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        bool listed = false;
        for (const usb::UsbCamera& camera : usb::Cameras()) listed |= camera.address == address;
        if (!listed) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

}  // namespace

bool UsbEmulationActive() {
    // Without the preload there is nothing to emulate with: make no testbed then.
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload == nullptr || std::strstr(preload, "umockdev") == nullptr) return false;
    return EmulatedUsbBus::Available();
}

bool PresentOverUsb(int32_t index) {
    auto& registry = vcam::CameraRegistry::Instance();
    auto camera = registry.At(index);
    if (!camera || !registry.SetPublished(index, false)) return false;
    testing::UsbPlugOptions options;
    // One root-hub port per index, so the cameras sort in index order.
    options.ports = {static_cast<uint8_t>(index + 1)};
    options.serial = "VKE" + std::to_string(1000 + index);
    {
        std::lock_guard guard(PluggedLock());
        Plugged()[index] = EmulatedUsbBus::Instance().Plug(std::move(camera), options);
    }
    return WaitUntilPlaced(index);
}

void WithdrawFromUsb(int32_t index) {
    EmulatedUsbBus::DeviceId id = 0;
    {
        std::lock_guard guard(PluggedLock());
        const auto found = Plugged().find(index);
        if (found == Plugged().end()) return;
        id = found->second;
        Plugged().erase(found);
        Withdrawn().push_back(id);
    }
    const uint8_t address = EmulatedUsbBus::Instance().Address(id);
    EmulatedUsbBus::Instance().Unplug(id);
    WaitUntilGone(address);
}

bool SettleUsb() {
    std::vector<EmulatedUsbBus::DeviceId> ids;
    {
        std::lock_guard guard(PluggedLock());
        for (const auto& [index, id] : Plugged()) ids.push_back(id);
        ids.insert(ids.end(), Withdrawn().begin(), Withdrawn().end());
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (const EmulatedUsbBus::DeviceId id : ids) {
        while (EmulatedUsbBus::Instance().OpenClients(id) != 0) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    return true;
}

}  // namespace tavlin::test
