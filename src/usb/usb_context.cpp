#include "usb/usb_context.h"

#include <sys/time.h>

#include <algorithm>

#include "diag/log.h"

namespace tavlin::usb {

namespace {

EndpointType TypeOf(uint8_t attributes) {
    switch (attributes & LIBUSB_TRANSFER_TYPE_MASK) {
        case LIBUSB_ENDPOINT_TRANSFER_TYPE_CONTROL:
            return EndpointType::kControl;
        case LIBUSB_ENDPOINT_TRANSFER_TYPE_ISOCHRONOUS:
            return EndpointType::kIsochronous;
        case LIBUSB_ENDPOINT_TRANSFER_TYPE_INTERRUPT:
            return EndpointType::kInterrupt;
        default:
            return EndpointType::kBulk;
    }
}

InterfaceInfo InterfaceOf(const libusb_config_descriptor& config) {
    InterfaceInfo info;
    for (int i = 0; i < config.bNumInterfaces; ++i) {
        const libusb_interface& interface = config.interface[i];
        for (int a = 0; a < interface.num_altsetting; ++a) {
            const libusb_interface_descriptor& setting = interface.altsetting[a];
            if (setting.bInterfaceNumber != 0) break;
            info.hasInterface0 = true;
            if (setting.bAlternateSetting != 0) continue;
            info.hasAltSetting0 = true;
            for (int e = 0; e < setting.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
                info.endpoints.push_back({endpoint.bEndpointAddress, TypeOf(endpoint.bmAttributes),
                                          static_cast<uint16_t>(endpoint.wMaxPacketSize & 0x7FF)});
            }
        }
    }
    return info;
}

}  // namespace

DeviceKey KeyOf(const UsbCamera& camera) {
    return {camera.bus, camera.ports, camera.address};
}

UsbCamera IdentifyDevice(libusb_device* device) {
    UsbCamera camera;
    camera.bus = libusb_get_bus_number(device);
    camera.address = libusb_get_device_address(device);
    uint8_t ports[8];  // USB 3 allows seven tiers below the root
    const int count = libusb_get_port_numbers(device, ports, sizeof ports);
    if (count > 0) camera.ports.assign(ports, ports + count);
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) == 0) {
        camera.vendor = descriptor.idVendor;
        camera.product = descriptor.idProduct;
    }
    return camera;
}

std::optional<CameraEndpoints> CameraEndpointsOf(libusb_device* device, std::string* reason) {
    libusb_config_descriptor* config = nullptr;
    int result = libusb_get_active_config_descriptor(device, &config);
    // An unconfigured device: the camera's first configuration is the one it will get.
    if (result == LIBUSB_ERROR_NOT_FOUND) result = libusb_get_config_descriptor(device, 0, &config);
    if (result != 0 || config == nullptr) {
        if (reason != nullptr) {
            *reason =
                std::string("its configuration cannot be read (") + libusb_error_name(result) + ")";
        }
        return std::nullopt;
    }
    const InterfaceInfo interface = InterfaceOf(*config);
    libusb_free_config_descriptor(config);
    return JudgeLayout(interface, reason);
}

std::shared_ptr<UsbContext> UsbContext::Instance() {
    static std::mutex mutex;
    static std::shared_ptr<UsbContext> instance;
    std::lock_guard guard(mutex);
    if (!instance) instance = std::make_shared<UsbContext>();
    return instance;
}

UsbContext::UsbContext() {
    if (const int error = libusb_init(&context_); error != 0) {
        TAVLIN_LOG(Usb, Warn, "libusb does not start: %s", libusb_error_name(error));
        context_ = nullptr;
        return;
    }
    if (libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) == 0) return;
    // Every device is registered, and the callback filters by the id list in force, so a list
    // changed while the process runs needs no new registration.
    const int result = libusb_hotplug_register_callback(
        context_,
        static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                          LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
        LIBUSB_HOTPLUG_NO_FLAGS, LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY,
        LIBUSB_HOTPLUG_MATCH_ANY, &UsbContext::OnHotplug, this, &hotplugHandle_);
    if (result != LIBUSB_SUCCESS) return;
    hotplug_ = AddEventUser();
    // Without a thread to deliver them, hotplug events are useless: scan by time instead.
    if (!hotplug_) libusb_hotplug_deregister_callback(context_, hotplugHandle_);
}

UsbContext::~UsbContext() {
    if (context_ == nullptr) return;
    if (hotplug_) {
        libusb_hotplug_deregister_callback(context_, hotplugHandle_);
        RemoveEventUser();
    }
    // Every handle holds the context, so no camera is open any more: the loop ends.
    eventThread_.Join();
    libusb_exit(context_);
}

bool UsbContext::AddEventUser() {
    std::lock_guard guard(eventMutex_);
    if (++eventUsers_ > 1 || eventRunning_) return true;
    // A loop that found no users has ended, or is about to.
    eventThread_.Join();
    eventRunning_ = eventThread_.Start("tavlin-usb", platform::ThreadPriority::Highest, [this] {
        // Serves every camera of the process.
        const diag::CameraScope none(diag::kNoCamera);
        EventLoop();
    });
    if (!eventRunning_) --eventUsers_;
    return eventRunning_;
}

void UsbContext::RemoveEventUser() {
    bool last = false;
    {
        std::lock_guard guard(eventMutex_);
        last = --eventUsers_ == 0;
    }
    if (last) libusb_interrupt_event_handler(context_);
}

void UsbContext::EventLoop() {
    for (;;) {
        {
            std::lock_guard guard(eventMutex_);
            if (eventUsers_ == 0) {
                eventRunning_ = false;
                return;
            }
        }
        // The interruption ends the wait when the last user leaves; the time limit is a backstop.
        timeval limit{1, 0};
        libusb_handle_events_timeout_completed(context_, &limit, nullptr);
    }
}

int LIBUSB_CALL UsbContext::OnHotplug(libusb_context*, libusb_device* device,
                                      libusb_hotplug_event event, void* self) {
    // On the event thread: no libusb_open here, only bookkeeping for the next scan and opens.
    auto* context = static_cast<UsbContext*>(self);
    const UsbCamera camera = IdentifyDevice(device);
    {
        std::lock_guard guard(context->idsMutex_);
        if (!context->hotplugIds_.Contains(camera.vendor, camera.product)) return 0;
    }
    const auto state = context->StateOf(KeyOf(camera));
    TAVLIN_LOG(Usb, Info, "%s %s (port %s, %04x:%04x)",
               event == LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT ? "unplugged" : "plugged in",
               camera.Node().c_str(), camera.PortPath().c_str(), camera.vendor, camera.product);
    if (event == LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT) {
        state->gone = true;
    } else {
        // The same bus, port and address again: another device, whatever was known is void.
        state->gone = false;
        state->triggerMode = false;
    }
    context->dirty_ = true;
    return 0;
}

std::shared_ptr<CameraState> UsbContext::StateOf(const DeviceKey& key) {
    std::lock_guard guard(statesMutex_);
    auto& state = states_[key];
    if (!state) state = std::make_shared<CameraState>();
    return state;
}

UsbScan UsbContext::Scan(const IdList& ids) {
    UsbScan result;
    if (!Available()) {
        result.available = false;
        return result;
    }
    {
        std::lock_guard guard(idsMutex_);
        hotplugIds_ = ids;
    }
    std::lock_guard guard(scanMutex_);
    const auto now = std::chrono::steady_clock::now();
    const bool changed = dirty_.exchange(false);
    const bool fresh = hotplug_ ? !changed : now - scannedAt_ < kRescanInterval;
    if (!haveScan_ || !fresh || !(scannedIds_ == ids)) {
        scan_ = Rescan(ids);
        scannedIds_ = ids;
        scannedAt_ = now;
        haveScan_ = true;
    }
    return scan_;
}

UsbScan UsbContext::Rescan(const IdList& ids) {
    UsbScan scan;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context_, &list);
    if (count < 0) {
        scan.available = false;
        return scan;
    }
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device* device = list[i];
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(device, &descriptor) != 0) continue;
        if (!ids.Contains(descriptor.idVendor, descriptor.idProduct)) continue;
        UsbCamera camera = IdentifyDevice(device);
        std::string reason;
        if (!CameraEndpointsOf(device, &reason)) {
            scan.skipped.push_back({std::move(camera), std::move(reason)});
            continue;
        }
        camera.serial = SerialOf(device, KeyOf(camera), descriptor.iSerialNumber);
        scan.cameras.push_back(std::move(camera));
    }
    libusb_free_device_list(list, 1);
    SortCameras(scan.cameras);
    std::stable_sort(scan.skipped.begin(), scan.skipped.end(),
                     [](const auto& a, const auto& b) { return CameraBefore(a.device, b.device); });
    return scan;
}

std::string UsbContext::SerialOf(libusb_device* device, const DeviceKey& key, uint8_t index) {
    if (index == 0) return {};
    if (const auto known = serials_.find(key); known != serials_.end()) return known->second;
    // Only an open handle reads strings. A device this user may not open keeps an empty serial
    // and is asked again at the next scan (the rules may have been installed meanwhile).
    libusb_device_handle* handle = nullptr;
    if (libusb_open(device, &handle) != 0) return {};
    unsigned char text[128] = {};
    const int length = libusb_get_string_descriptor_ascii(handle, index, text, sizeof text - 1);
    libusb_close(handle);
    if (length <= 0) return {};
    std::string serial(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
    serials_[key] = serial;
    return serial;
}

}  // namespace tavlin::usb
