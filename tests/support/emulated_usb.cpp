#include "support/emulated_usb.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <linux/usb/ch9.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <stdexcept>
#include <thread>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#include <dlfcn.h>
#include <sanitizer/tsan_interface.h>

#include <cstdarg>
#endif

namespace tavlin::testing {

namespace {

namespace proto = vcam::protocol;

constexpr uint8_t kCommandEndpoint = 0x01;
constexpr uint8_t kReplyEndpoint = 0x82;
constexpr uint8_t kFrameEndpoint = 0x83;
constexpr uint8_t kBulk = 0x02;
constexpr uint8_t kInterrupt = 0x03;
constexpr uint32_t kCapabilities =
    USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
    USBDEVFS_CAP_BULK_SCATTER_GATHER | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
constexpr size_t kPage = 4096;

// The ioctl round trip orders a client's accesses to its URBs and the handler's; ThreadSanitizer
// cannot see it (the preload calls libc directly, past its interceptors), so it is stated.
#if defined(__SANITIZE_THREAD__)
char ioctlOrder;
void HandlerBegins() {
    __tsan_acquire(&ioctlOrder);
}
void HandlerEnds() {
    __tsan_release(&ioctlOrder);
}
#else
void HandlerBegins() {}
void HandlerEnds() {}
#endif

void Complete(UMockdevIoctlClient* client, long result, int error) {
    HandlerEnds();
    umockdev_ioctl_client_complete(client, result, error);
}

struct EndpointDescriptor {
    uint8_t address;
    uint8_t attributes;
    uint16_t maxPacket;
    uint8_t interval;
};

std::vector<EndpointDescriptor> EndpointsOf(UsbEndpointLayout layout) {
    const EndpointDescriptor out{kCommandEndpoint, kBulk, 512, 0};
    const EndpointDescriptor reply{kReplyEndpoint, kBulk, 512, 0};
    const EndpointDescriptor frames{kFrameEndpoint, kBulk, 512, 0};
    switch (layout) {
        case UsbEndpointLayout::kTwoEndpoints:
            return {out, reply};
        case UsbEndpointLayout::kInterruptIn:
            return {out, {kReplyEndpoint, kInterrupt, 64, 1}, {kFrameEndpoint, kInterrupt, 64, 1}};
        case UsbEndpointLayout::kSwapped:
            return {frames, reply, out};
        case UsbEndpointLayout::kCamera:
            break;
    }
    return {out, reply, frames};
}

void PutWord(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

std::vector<uint8_t> DeviceDescriptor(const UsbPlugOptions& options) {
    std::vector<uint8_t> d{18, USB_DT_DEVICE};
    PutWord(d, 0x0200);
    d.insert(d.end(), {0x00, 0x00, 0x00, 64});  // class per interface; 64-byte control packets
    PutWord(d, options.vendor);
    PutWord(d, options.product);
    PutWord(d, 0x0100);
    d.insert(d.end(), {1, 2, 3, 1});  // manufacturer, product, serial strings; one configuration
    return d;
}

std::vector<uint8_t> ConfigDescriptor(const std::vector<EndpointDescriptor>& endpoints) {
    std::vector<uint8_t> c{9, USB_DT_CONFIG};
    PutWord(c, static_cast<uint16_t>(9 + 9 + 7 * endpoints.size()));
    c.insert(c.end(), {1, 1, 0, 0x80, 250});  // one interface, configuration 1, 500 mA
    c.insert(c.end(), {9, USB_DT_INTERFACE, 0, 0, static_cast<uint8_t>(endpoints.size()), 0xFF,
                       0x00, 0x00, 0});
    for (const auto& e : endpoints) {
        c.insert(c.end(), {7, USB_DT_ENDPOINT, e.address, e.attributes});
        PutWord(c, e.maxPacket);
        c.push_back(e.interval);
    }
    return c;
}

std::vector<uint8_t> StringDescriptor(std::string_view text) {
    std::vector<uint8_t> s{static_cast<uint8_t>(2 + 2 * text.size()), USB_DT_STRING};
    for (char ch : text) PutWord(s, static_cast<uint8_t>(ch));
    return s;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char digits[3];
    for (uint8_t b : bytes) {
        std::snprintf(digits, sizeof(digits), "%02x", b);
        text += digits;
    }
    return text;
}

std::string Format(const char* format, auto... values) {
    char text[256];
    std::snprintf(text, sizeof(text), format, values...);
    return text;
}

// libusb polls a usbfs descriptor for POLLOUT, which a regular file always reports; the node is
// a FIFO instead, kept full (not writable) until a completed URB waits to be reaped.
class ReadySignal {
  public:
    ReadySignal() = default;
    ReadySignal(const ReadySignal&) = delete;
    ReadySignal& operator=(const ReadySignal&) = delete;
    ~ReadySignal() { Close(); }

    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

    bool Create(const std::string& path, mode_t mode) {
        unlink(path.c_str());
        if (mkfifo(path.c_str(), 0600) != 0) return false;
        fd_ = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) return false;
        chmod(path.c_str(), mode);
        const std::vector<uint8_t> page(kPage, 0);
        while (write(fd_, page.data(), page.size()) == ssize_t(kPage)) {
        }
        return true;
    }

    void Set(bool ready) {
        if (fd_ < 0 || ready == ready_) return;
        uint8_t page[kPage] = {};
        // One whole pipe buffer out frees a slot (writable); one in fills it again.
        const ssize_t moved = ready ? read(fd_, page, kPage) : write(fd_, page, kPage);
        if (moved == ssize_t(kPage)) ready_ = ready;
    }

  private:
    int fd_ = -1;
    bool ready_ = false;
};

}  // namespace

uint32_t UsbFrameBytes(const vcam::VirtualCamera& camera) {
    namespace ctl = proto::controller;
    uint32_t bytes = camera.TransferSize();
    if (bytes == 0) {
        for (int i = 0; i < 4; ++i) {
            bytes |= uint32_t{camera.ControllerRegister(uint8_t(ctl::kFrameBytes0 + i))} << (8 * i);
        }
    }
    return camera.ControllerRegister(ctl::kSampleWidth) != 0 ? bytes * 2 : bytes;
}

struct EmulatedUsbBus::Testbed {
    UMockdevTestbed* bed = umockdev_testbed_new();
    std::string root;
    Testbed() {
        gchar* dir = umockdev_testbed_get_root_dir(bed);
        root = dir;
        g_free(dir);
    }
    ~Testbed() { g_object_unref(bed); }
};

namespace {

struct Completion {
    int status = 0;
    int actual = 0;
};

// One endpoint of one client: its own camera handle and a worker thread that carries the
// endpoint's URBs into the camera in order, so blocking requests never hold the testbed thread.
struct Endpoint {
    uint8_t address = 0;
    uint32_t pipe = 0;
    std::optional<uint32_t> handle;
    std::deque<usbdevfs_urb*> queue;
    usbdevfs_urb* active = nullptr;  // being served by the worker
    bool discarded = false;          // active was discarded while in the camera
    bool stop = false;
    std::condition_variable wake;
    std::thread worker;
    // A frame rendered for URBs smaller than it, handed out in order (worker only).
    std::vector<uint8_t> frame;
    size_t frameOffset = 0;
    size_t frameLength = 0;
    bool frameStaged = false;
    bool frameOverflow = false;
    // The staged frame was rendered straight into the client's URBs laid end to end; the next
    // URB must start where the last one ended (worker only).
    uint8_t* inPlaceNext = nullptr;
};

struct Client {
    UMockdevIoctlClient* ioctl = nullptr;  // referenced
    gulong notifyId = 0;
    std::deque<usbdevfs_urb*> completed;  // waiting to be reaped
    UMockdevIoctlClient* parkedReap = nullptr;
    usbdevfs_urb** parkedTarget = nullptr;
    std::map<uint8_t, std::unique_ptr<Endpoint>> endpoints;
    bool vanished = false;
};

}  // namespace

struct EmulatedUsbBus::Device : std::enable_shared_from_this<EmulatedUsbBus::Device> {
    DeviceId id = 0;
    std::shared_ptr<vcam::VirtualCamera> camera;
    UsbPlugOptions options;
    uint8_t address = 0;
    std::string sysfsPath;
    std::string nodePath;
    std::vector<EndpointDescriptor> endpoints;
    std::vector<uint8_t> deviceDescriptor;
    std::vector<uint8_t> configDescriptor;
    UMockdevIoctlBase* handler = nullptr;
    gulong ioctlId = 0;
    gulong connectId = 0;

    std::mutex mutex;
    std::atomic<bool> gone{false};
    std::map<UMockdevIoctlClient*, std::unique_ptr<Client>> clients;
    std::vector<std::unique_ptr<Client>> retired;  // vanished; workers joined off the testbed
    Client* interfaceOwner = nullptr;
    size_t reapable = 0;
    ReadySignal ready;
    UsbDeviceStats stats;
    // Frame requests sent and not yet answered by a frame: the camera sends a frame only after
    // one, and until then it leaves a frame URB pending (NAKs), as a USB device does.
    uint64_t frameRequests = 0;
    std::condition_variable frameRequested;

    bool purgeTimer = false;  // the tick on the testbed's context ends itself with the device

    ~Device() { StopAll(); }

    const EndpointDescriptor* FindEndpoint(uint8_t endpointAddress) const {
        for (const auto& e : endpoints) {
            if (e.address == endpointAddress) return &e;
        }
        return nullptr;
    }

    // Called with the lock held.
    void Finish(Client& client, usbdevfs_urb* urb, Completion done) {
        if (client.vanished) return;  // its memory may be gone with it
        urb->status = done.status;
        urb->actual_length = done.actual;
        if (client.parkedReap != nullptr) {
            *client.parkedTarget = urb;
            UMockdevIoctlClient* waiting = std::exchange(client.parkedReap, nullptr);
            Complete(waiting, 0, 0);
            return;
        }
        client.completed.push_back(urb);
        ++reapable;
        ready.Set(true);
    }

    void Reaped(size_t count) {
        reapable -= count;
        if (reapable == 0) ready.Set(false);
    }

    Endpoint& EndpointFor(Client& client, uint8_t endpointAddress) {
        auto& slot = client.endpoints[endpointAddress];
        if (slot) return *slot;
        slot = std::make_unique<Endpoint>();
        Endpoint& ep = *slot;
        ep.address = endpointAddress;
        ep.pipe = endpointAddress == kCommandEndpoint ? proto::kPipeCommand
                  : endpointAddress == kReplyEndpoint ? proto::kPipeReply
                                                      : proto::kPipeFrame;
        ep.handle = camera->Open();
        ep.worker = std::thread([this, &client, &ep] { Work(client, ep); });
        return ep;
    }

    void Work(Client& client, Endpoint& ep) {
        std::unique_lock lock(mutex);
        for (;;) {
            ep.wake.wait(lock, [&] { return ep.stop || !ep.queue.empty(); });
            if (ep.stop) break;
            usbdevfs_urb* urb = ep.queue.front();
            ep.queue.pop_front();
            ep.active = urb;
            ep.discarded = false;
            const std::optional<uint32_t> handle = ep.handle;
            lock.unlock();
            Completion done = Serve(ep, urb, handle);
            lock.lock();
            ep.active = nullptr;
            if (ep.discarded) {
                frameRequested.notify_all();
                // The camera handle was cancelled to free the request; later URBs need a new one,
                // and a frame cut off by the discard is dropped.
                if (ep.handle) camera->Close(*ep.handle);
                ep.handle = gone ? std::nullopt : camera->Open();
                ep.frameStaged = false;
                done = {-ENOENT, 0};
            } else if (gone) {
                done = {-ESHUTDOWN, 0};
            }
            Finish(client, urb, done);
        }
        if (ep.handle) camera->Close(*ep.handle);
        ep.handle.reset();
    }

    int Failure() const { return camera->Plugged() ? -EPIPE : -ESHUTDOWN; }

    bool Ask(std::optional<uint32_t> handle, uint32_t pipe, void* buffer, uint32_t length,
             uint32_t* returned) {
        *returned = 0;
        if (!handle) return false;
        const uint8_t word[4] = {static_cast<uint8_t>(pipe), 0, 0, 0};
        return camera->Request(*handle, proto::kCodePipeInput, word, sizeof(word), buffer, length,
                               returned);
    }

    // Runs on the endpoint's worker, without the lock. False when the URB was discarded, the
    // endpoint stops or the device left while waiting.
    bool WaitForFrameRequest(Endpoint& ep) {
        std::unique_lock lock(mutex);
        frameRequested.wait(lock, [&] {
            return frameRequests > 0 || ep.discarded || ep.stop || gone || !camera->Plugged();
        });
        if (frameRequests == 0) return false;
        --frameRequests;
        return true;
    }

    // Bytes from this URB's buffer on that the URBs queued behind it cover without a gap. A
    // client submitting one read as several URBs queues them back to back: short of `wanted`,
    // this waits a moment for the rest to arrive.
    size_t ContiguousBytes(Endpoint& ep, usbdevfs_urb* urb, size_t wanted) {
        std::unique_lock lock(mutex);
        const auto covered = [&] {
            size_t bytes = static_cast<size_t>(std::max(urb->buffer_length, 0));
            const auto* end = static_cast<uint8_t*>(urb->buffer) + bytes;
            for (usbdevfs_urb* next : ep.queue) {
                if (next->buffer != end) break;
                const auto length = static_cast<size_t>(std::max(next->buffer_length, 0));
                bytes += length;
                end += length;
            }
            return bytes;
        };
        ep.wake.wait_for(lock, std::chrono::milliseconds(2),
                         [&] { return covered() >= wanted || ep.stop || ep.discarded; });
        return covered();
    }

    // Runs on the endpoint's worker, without the lock.
    Completion Serve(Endpoint& ep, usbdevfs_urb* urb, std::optional<uint32_t> handle) {
        auto* buffer = static_cast<uint8_t*>(urb->buffer);
        const auto length = static_cast<uint32_t>(std::max(urb->buffer_length, 0));
        uint32_t returned = 0;
        if (ep.pipe != proto::kPipeFrame) {
            if (!Ask(handle, ep.pipe, buffer, length, &returned)) return {Failure(), 0};
            if (ep.pipe == proto::kPipeCommand && length > 0 &&
                buffer[0] == proto::kCmdFrameRequest) {
                std::lock_guard guard(mutex);
                frameRequests = 1;  // one request arms one frame, as in the camera model
                frameRequested.notify_all();
            }
            return {0, static_cast<int>(std::min(returned, length))};
        }
        // A frame rendered in place belongs to the URBs it was laid over; any other URB starts
        // a new one.
        if (ep.frameStaged && ep.inPlaceNext != nullptr && buffer != ep.inPlaceNext) {
            ep.frameStaged = false;
        }
        if (!ep.frameStaged) {
            if (!WaitForFrameRequest(ep)) return {Failure(), 0};
            const uint32_t frameBytes = UsbFrameBytes(*camera);
            if (length >= frameBytes) {
                // The client is this process: the camera renders straight into its buffer.
                if (!Ask(handle, ep.pipe, buffer, frameBytes, &returned)) return {Failure(), 0};
                if (returned > frameBytes) return {-EOVERFLOW, static_cast<int>(frameBytes)};
                return {0, static_cast<int>(returned)};
            }
            // A read split into URBs over one buffer gets the frame in place too.
            uint8_t* target = ContiguousBytes(ep, urb, frameBytes) >= frameBytes ? buffer : nullptr;
            if (target == nullptr) {
                ep.frame.resize(frameBytes);
                target = ep.frame.data();
            }
            if (!Ask(handle, ep.pipe, target, frameBytes, &returned)) return {Failure(), 0};
            ep.frameStaged = true;
            ep.frameOffset = 0;
            ep.frameLength = std::min(returned, frameBytes);
            ep.frameOverflow = returned > frameBytes;
            ep.inPlaceNext = target == buffer ? buffer : nullptr;
        }
        const size_t n = std::min<size_t>(length, ep.frameLength - ep.frameOffset);
        if (ep.inPlaceNext != nullptr) {
            ep.inPlaceNext = buffer + n;
        } else {
            std::memcpy(buffer, ep.frame.data() + ep.frameOffset, n);
        }
        ep.frameOffset += n;
        int status = 0;
        if (ep.frameOffset == ep.frameLength) {
            ep.frameStaged = false;
            ep.inPlaceNext = nullptr;
            if (ep.frameOverflow) status = -EOVERFLOW;
        }
        return {status, static_cast<int>(n)};
    }

    // Marks every open client's requests failed and its endpoints stopping. With the lock held.
    void CancelClient(Client& client) {
        for (auto& [endpointAddress, ep] : client.endpoints) {
            ep->stop = true;
            if (ep->handle) camera->Cancel(*ep->handle);
            ep->wake.notify_all();
        }
        frameRequested.notify_all();
    }

    void StopAll() {
        std::vector<std::unique_ptr<Client>> all;
        {
            std::lock_guard guard(mutex);
            for (auto& [key, client] : clients) {
                client->vanished = true;
                CancelClient(*client);
                all.push_back(std::move(client));
            }
            clients.clear();
            for (auto& client : retired) all.push_back(std::move(client));
            retired.clear();
        }
        for (auto& client : all) Join(*client);
    }

    static void Join(Client& client) {
        for (auto& [address, ep] : client.endpoints) {
            if (ep->worker.joinable()) ep->worker.join();
        }
        if (client.ioctl != nullptr) {
            if (client.notifyId != 0) g_signal_handler_disconnect(client.ioctl, client.notifyId);
            g_object_unref(client.ioctl);
            client.ioctl = nullptr;
        }
    }

    void JoinRetired() {
        std::vector<std::unique_ptr<Client>> done;
        {
            std::lock_guard guard(mutex);
            done.swap(retired);
        }
        for (auto& client : done) Join(*client);
    }

    // --- testbed thread ---

    Client& ClientOf(UMockdevIoctlClient* ioctl) {
        auto& slot = clients[ioctl];
        if (!slot) {
            slot = std::make_unique<Client>();
            slot->ioctl = static_cast<UMockdevIoctlClient*>(g_object_ref(ioctl));
            slot->notifyId = g_signal_connect(ioctl, "notify::connected",
                                              G_CALLBACK(&Device::OnConnectedChanged), this);
        }
        return *slot;
    }

    static void OnClientConnected(UMockdevIoctlBase*, UMockdevIoctlClient* ioctl, gpointer self) {
        auto* device = static_cast<Device*>(self);
        std::lock_guard guard(device->mutex);
        device->ClientOf(ioctl);
        if (!device->purgeTimer) {
            // On the testbed's context (this thread's): closed clients are let go within a
            // moment even when nobody uses the device afterwards.
            // The source holds the device weakly, so a tick never runs into a destroyed device.
            using Weak = std::weak_ptr<Device>;
            auto weak = std::make_unique<Weak>(device->weak_from_this());
            GSource* timer = g_timeout_source_new(20);
            g_source_set_callback(timer, &Device::OnPurgeTimer, weak.release(), [](gpointer held) {
                std::unique_ptr<Weak>(static_cast<Weak*>(held)).reset();
            });
            g_source_attach(timer, g_main_context_get_thread_default());
            g_source_unref(timer);  // the context holds it
            device->purgeTimer = true;
        }
    }

    static gboolean OnPurgeTimer(gpointer held) {
        const auto device = static_cast<std::weak_ptr<Device>*>(held)->lock();
        if (!device) return G_SOURCE_REMOVE;
        std::lock_guard guard(device->mutex);
        device->PurgeVanished();
        return device->gone && device->clients.empty() ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
    }

    // A client that closed its descriptor: its URBs are dropped, its interface released and its
    // camera handles closed (the workers end on their own; they are joined off this thread).
    // umockdev closes the client's stream on EOF without always telling, so this is also
    // checked whenever the device is used. With the lock held.
    void Vanish(std::map<UMockdevIoctlClient*, std::unique_ptr<Client>>::iterator it) {
        Client& client = *it->second;
        client.vanished = true;
        Reaped(client.completed.size());
        client.completed.clear();
        if (interfaceOwner == &client) interfaceOwner = nullptr;
        CancelClient(client);
        retired.push_back(std::move(it->second));
        clients.erase(it);
    }

    void PurgeVanished() {
        for (auto it = clients.begin(); it != clients.end();) {
            auto next = std::next(it);
            if (!umockdev_ioctl_client_get_connected(it->first)) Vanish(it);
            it = next;
        }
    }

    static void OnConnectedChanged(UMockdevIoctlClient* ioctl, GParamSpec*, gpointer self) {
        auto* device = static_cast<Device*>(self);
        std::lock_guard guard(device->mutex);
        device->PurgeVanished();
    }

    static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* ioctl, gpointer self) {
        HandlerBegins();
        auto* device = static_cast<Device*>(self);
        const unsigned long request = umockdev_ioctl_client_get_request(ioctl);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(ioctl);
        unsigned long raw = 0;
        std::memcpy(&raw, arg->data, std::min<size_t>(sizeof(raw), size_t(arg->data_len)));
        // The clients are threads of this process: argument pointers are used as they are.
        void* pointer = reinterpret_cast<void*>(raw);
        long result = 0;
        int error = 0;
        {
            std::lock_guard guard(device->mutex);
            ++device->stats.requests;
            device->PurgeVanished();
            Client& client = device->ClientOf(ioctl);
            if (!device->Handle(client, ioctl, request, pointer, &result, &error)) return TRUE;
        }
        Complete(ioctl, error != 0 ? -1 : result, error);
        return TRUE;
    }

    // False when the request stays pending (a blocking reap); otherwise *result and *error.
    bool Handle(Client& client, UMockdevIoctlClient* ioctl, unsigned long request, void* arg,
                long* result, int* error) {
        if (request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY) {
            auto** target = static_cast<usbdevfs_urb**>(arg);
            if (!client.completed.empty()) {
                *target = client.completed.front();
                client.completed.pop_front();
                Reaped(1);
            } else if (gone) {
                *error = ENODEV;
            } else if (request == USBDEVFS_REAPURBNDELAY) {
                ++stats.emptyReaps;
                *error = EAGAIN;
            } else {
                client.parkedReap = ioctl;
                client.parkedTarget = target;
                return false;
            }
            return true;
        }
        if (gone) {
            *error = ENODEV;
            return true;
        }
        switch (request) {
            case USBDEVFS_GET_CAPABILITIES:
                *static_cast<uint32_t*>(arg) = kCapabilities;
                break;
            case USBDEVFS_CLAIMINTERFACE:
                *error = Claim(client, *static_cast<unsigned int*>(arg));
                break;
            case USBDEVFS_DISCONNECT_CLAIM:
                *error = Claim(client, static_cast<usbdevfs_disconnect_claim*>(arg)->interface);
                break;
            case USBDEVFS_RELEASEINTERFACE:
                if (*static_cast<unsigned int*>(arg) != 0 || interfaceOwner != &client) {
                    *error = EINVAL;
                } else {
                    interfaceOwner = nullptr;
                }
                break;
            case USBDEVFS_SETINTERFACE: {
                const auto* set = static_cast<usbdevfs_setinterface*>(arg);
                if (set->altsetting != 0) {
                    *error = EINVAL;
                } else {
                    *error = Claim(client, set->interface);
                }
                break;
            }
            case USBDEVFS_SETCONFIGURATION:
                if (*static_cast<int*>(arg) != 1) *error = EINVAL;
                if (interfaceOwner != nullptr && interfaceOwner != &client) *error = EBUSY;
                break;
            case USBDEVFS_CLEAR_HALT:
            case USBDEVFS_RESETEP:
                if (FindEndpoint(uint8_t(*static_cast<unsigned int*>(arg))) == nullptr) {
                    *error = ENOENT;
                }
                break;
            case USBDEVFS_RESET:
                break;
            case USBDEVFS_CONNECTINFO: {
                auto* info = static_cast<usbdevfs_connectinfo*>(arg);
                info->devnum = address;
                info->slow = 0;
                break;
            }
            case USBDEVFS_GET_SPEED:
                *result = USB_SPEED_HIGH;
                break;
            case USBDEVFS_GETDRIVER:
            case USBDEVFS_IOCTL:
                *error = ENODATA;  // no kernel driver is bound to the interface
                break;
            case USBDEVFS_CONTROL: {
                auto* control = static_cast<usbdevfs_ctrltransfer*>(arg);
                const usb_ctrlrequest setup{control->bRequestType, control->bRequest,
                                            control->wValue, control->wIndex, control->wLength};
                const int n = Control(setup, static_cast<uint8_t*>(control->data));
                if (n < 0) {
                    *error = -n;
                } else {
                    *result = n;
                }
                break;
            }
            case USBDEVFS_SUBMITURB:
                *error = Submit(client, static_cast<usbdevfs_urb*>(arg));
                break;
            case USBDEVFS_DISCARDURB:
                *error = Discard(client, static_cast<usbdevfs_urb*>(arg));
                break;
            default:
                *error = ENOTTY;
                break;
        }
        return true;
    }

    int Claim(Client& client, unsigned int interface) {
        if (interface >= 32) return EINVAL;
        if (interface != 0) return ENOENT;
        if (interfaceOwner != nullptr && interfaceOwner != &client) return EBUSY;
        interfaceOwner = &client;
        return 0;
    }

    // A standard request on endpoint 0: bytes of data moved, or -errno (a stall is -EPIPE).
    int Control(const usb_ctrlrequest& setup, uint8_t* data) {
        std::vector<uint8_t> answer;
        const bool in = (setup.bRequestType & USB_DIR_IN) != 0;
        if (setup.bRequestType == USB_DIR_IN && setup.bRequest == USB_REQ_GET_DESCRIPTOR) {
            const uint8_t type = setup.wValue >> 8;
            const uint8_t index = setup.wValue & 0xFF;
            if (type == USB_DT_DEVICE) {
                answer = deviceDescriptor;
            } else if (type == USB_DT_CONFIG && index == 0) {
                answer = configDescriptor;
            } else if (type == USB_DT_STRING && index == 0) {
                answer = {4, USB_DT_STRING, 0x09, 0x04};  // US English
            } else if (type == USB_DT_STRING && index == 1) {
                answer = StringDescriptor("Tavlin");
            } else if (type == USB_DT_STRING && index == 2) {
                answer = StringDescriptor("410QZ-VKE");
            } else if (type == USB_DT_STRING && index == 3) {
                answer = StringDescriptor(options.serial);
            } else {
                return -EPIPE;
            }
        } else if (setup.bRequestType == USB_DIR_IN &&
                   setup.bRequest == USB_REQ_GET_CONFIGURATION) {
            answer = {1};
        } else if (setup.bRequestType == USB_DIR_IN && setup.bRequest == USB_REQ_GET_STATUS) {
            answer = {0, 0};
        } else if (setup.bRequestType == USB_DIR_OUT &&
                   setup.bRequest == USB_REQ_SET_CONFIGURATION && setup.wValue == 1) {
            return 0;
        } else if (setup.bRequestType == (USB_DIR_OUT | USB_RECIP_INTERFACE) &&
                   setup.bRequest == USB_REQ_SET_INTERFACE && setup.wValue == 0 &&
                   setup.wIndex == 0) {
            return 0;
        } else {
            return -EPIPE;
        }
        if (!in) return -EPIPE;
        const size_t n = std::min<size_t>(answer.size(), setup.wLength);
        if (n > 0 && data != nullptr) std::memcpy(data, answer.data(), n);
        return static_cast<int>(n);
    }

    int Submit(Client& client, usbdevfs_urb* urb) {
        if (urb->buffer_length < 0 || (urb->buffer_length > 0 && urb->buffer == nullptr)) {
            return EINVAL;
        }
        if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
            if ((urb->endpoint & 0x7F) != 0 || urb->buffer_length < 8) return EINVAL;
            auto* bytes = static_cast<uint8_t*>(urb->buffer);
            usb_ctrlrequest setup{};
            std::memcpy(&setup, bytes, sizeof(setup));
            setup.wLength = std::min<uint16_t>(setup.wLength, uint16_t(urb->buffer_length - 8));
            const int n = Control(setup, bytes + 8);
            Finish(client, urb, n < 0 ? Completion{n, 0} : Completion{0, n});
            return 0;
        }
        const EndpointDescriptor* descriptor = FindEndpoint(urb->endpoint);
        if (descriptor == nullptr) return ENOENT;
        const bool interrupt = (descriptor->attributes & 0x03) == kInterrupt;
        if (urb->type == USBDEVFS_URB_TYPE_INTERRUPT && !interrupt) return EINVAL;
        if (urb->type != USBDEVFS_URB_TYPE_INTERRUPT && urb->type != USBDEVFS_URB_TYPE_BULK) {
            return EINVAL;
        }
        // Like usbfs, the first transfer on an unclaimed interface claims it.
        if (const int claim = Claim(client, 0); claim != 0) return claim;
        Endpoint& ep = EndpointFor(client, urb->endpoint);
        ++stats.urbs;
        urb->status = -EINPROGRESS;
        urb->actual_length = 0;
        ep.queue.push_back(urb);
        ep.wake.notify_all();
        return 0;
    }

    int Discard(Client& client, usbdevfs_urb* urb) {
        for (auto& [endpointAddress, ep] : client.endpoints) {
            if (ep->active == urb) {
                if (!ep->discarded && ep->handle) camera->Cancel(*ep->handle);
                ep->discarded = true;
                frameRequested.notify_all();
                return 0;
            }
            auto it = std::find(ep->queue.begin(), ep->queue.end(), urb);
            if (it != ep->queue.end()) {
                ep->queue.erase(it);
                Finish(client, urb, {-ENOENT, 0});
                return 0;
            }
        }
        return EINVAL;  // already completed: it is waiting to be reaped
    }

    // The device leaves the bus: pending URBs end with -ESHUTDOWN, blocked requests return.
    // False when the device had left already.
    bool Disconnect() {
        std::lock_guard guard(mutex);
        if (gone.exchange(true)) return false;
        for (auto& [key, client] : clients) {
            for (auto& [endpointAddress, ep] : client->endpoints) {
                while (!ep->queue.empty()) {
                    usbdevfs_urb* urb = ep->queue.front();
                    ep->queue.pop_front();
                    Finish(*client, urb, {-ESHUTDOWN, 0});
                }
                if (ep->active != nullptr && ep->handle) camera->Cancel(*ep->handle);
            }
            // A blocking reap with nothing left to reap ends as usbfs ends it.
            if (client->parkedReap != nullptr && client->completed.empty()) {
                UMockdevIoctlClient* waiting = std::exchange(client->parkedReap, nullptr);
                Complete(waiting, -1, ENODEV);
            }
        }
        interfaceOwner = nullptr;
        frameRequested.notify_all();
        return true;
    }
};

bool EmulatedUsbBus::Available() {
    // umockdev tells by whether /sys leads into a testbed, so there must be one first.
    Instance();
    return umockdev_in_mock_environment() != FALSE;
}

EmulatedUsbBus& EmulatedUsbBus::Instance() {
    static EmulatedUsbBus bus;
    return bus;
}

EmulatedUsbBus::EmulatedUsbBus() : testbed_(std::make_unique<Testbed>()) {}

EmulatedUsbBus::~EmulatedUsbBus() {
    {
        std::lock_guard guard(watchMutex_);
        stopWatch_ = true;
    }
    watchWake_.notify_all();
    if (watcher_.joinable()) watcher_.join();
    for (auto& device : devices_) {
        Unplug(device->id);
        device->StopAll();
        g_signal_handler_disconnect(device->handler, device->ioctlId);
        g_signal_handler_disconnect(device->handler, device->connectId);
        g_object_unref(device->handler);
        device->handler = nullptr;
    }
    devices_.clear();
}

EmulatedUsbBus::DeviceId EmulatedUsbBus::Plug(std::shared_ptr<vcam::VirtualCamera> camera,
                                              UsbPlugOptions options) {
    if (!camera) throw std::invalid_argument("no camera");
    if (options.ports.empty()) throw std::invalid_argument("no port path");
    auto device = std::make_shared<Device>();
    std::lock_guard guard(mutex_);
    for (auto& d : devices_) d->JoinRetired();
    device->id = nextId_++;
    device->camera = std::move(camera);
    device->options = std::move(options);
    device->address = NextAddress(device->options.bus);
    device->endpoints = EndpointsOf(device->options.layout);
    device->deviceDescriptor = DeviceDescriptor(device->options);
    device->configDescriptor = ConfigDescriptor(device->endpoints);
    const UsbPlugOptions& o = device->options;

    std::string name = Format("%u-%u", o.bus, o.ports[0]);
    for (size_t i = 1; i < o.ports.size(); ++i) name += Format(".%u", o.ports[i]);
    const std::string node = Format("bus/usb/%03u/%03u", o.bus, device->address);
    device->nodePath = "/dev/" + node;
    const unsigned minor = (o.bus - 1u) * 128u + (device->address - 1u);
    std::vector<uint8_t> descriptors = device->deviceDescriptor;
    descriptors.insert(descriptors.end(), device->configDescriptor.begin(),
                       device->configDescriptor.end());

    // sysfs attributes end in a newline, as the kernel writes them ("\\n" is umockdev's escape).
    std::string text = Format("P: /devices/tavlin-emulated/usb%u/", o.bus) + name + "\n";
    text += "N: " + node + "\n";
    text += "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n";
    text += "E: DEVNAME=" + device->nodePath + "\n";
    text += Format("E: BUSNUM=%03u\nE: DEVNUM=%03u\n", o.bus, device->address);
    text += Format("E: MAJOR=189\nE: MINOR=%u\n", minor);
    text += Format("E: PRODUCT=%x/%x/100\n", o.vendor, o.product);
    text += Format("A: dev=189:%u\\n\n", minor);
    text += Format("A: busnum=%u\\n\nA: devnum=%u\\n\n", o.bus, device->address);
    text += Format("A: idVendor=%04x\\n\nA: idProduct=%04x\\n\n", o.vendor, o.product);
    text += "A: serial=" + o.serial + "\\n\n";
    text += "A: manufacturer=Tavlin\\n\nA: product=410QZ-VKE\\n\n";
    text += "A: speed=480\\n\nA: version= 2.00\\n\nA: bcdDevice=0100\\n\n";
    text += "A: bConfigurationValue=1\\n\nA: bNumConfigurations=1\\n\nA: bNumInterfaces= 1\\n\n";
    text += "A: bDeviceClass=00\\n\nA: bMaxPacketSize0=64\\n\n";
    text += "A: devpath=" + name.substr(name.find('-') + 1) + "\\n\n";
    text += "H: descriptors=" + Hex(descriptors) + "\n";

    // The handler is in place before the device exists, so an open right after "add" works.
    device->handler = umockdev_ioctl_base_new();
    device->ioctlId = g_signal_connect(device->handler, "handle-ioctl",
                                       G_CALLBACK(&Device::OnIoctl), device.get());
    device->connectId = g_signal_connect(device->handler, "client-connected",
                                         G_CALLBACK(&Device::OnClientConnected), device.get());
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed_->bed, device->nodePath.c_str(), device->handler,
                                       &error)) {
        const std::string message = error != nullptr ? error->message : "attach failed";
        g_clear_error(&error);
        throw std::runtime_error("umockdev_testbed_attach_ioctl: " + message);
    }
    // Adding announces the device (uevent "add") once its node exists. The FIFO replaces
    // umockdev's file right after: a client that opens in between gets a node that always polls
    // ready, which is busier but just as correct.
    if (!umockdev_testbed_add_from_string(testbed_->bed, text.c_str(), &error)) {
        const std::string message = error != nullptr ? error->message : "add failed";
        g_clear_error(&error);
        throw std::runtime_error("umockdev_testbed_add_from_string: " + message);
    }
    device->sysfsPath = Format("/sys/devices/tavlin-emulated/usb%u/", o.bus) + name;
    const std::string nodeFile = testbed_->root + device->nodePath;
    if (o.quietPolling) {
        device->ready.Create(nodeFile, o.readable ? 0666 : 0000);
    } else {
        chmod(nodeFile.c_str(), o.readable ? 0666 : 0000);
    }
    devices_.push_back(device);
    if (!watcher_.joinable()) watcher_ = std::thread([this] { Watch(); });
    return device->id;
}

// A camera unplugged in the model leaves the bus too, as a real one that loses power does.
void EmulatedUsbBus::Watch() {
    std::unique_lock lock(watchMutex_);
    while (!stopWatch_) {
        watchWake_.wait_for(lock, std::chrono::milliseconds(10));
        lock.unlock();
        std::vector<DeviceId> lost;
        {
            std::lock_guard guard(mutex_);
            for (const auto& d : devices_) {
                if (!d->gone && d->options.followCameraUnplug && !d->camera->Plugged()) {
                    lost.push_back(d->id);
                }
            }
        }
        for (DeviceId id : lost) Unplug(id);
        lock.lock();
    }
}

// Addresses count up per bus and wrap (2..127, 1 is the root hub's), skipping plugged devices,
// so a new device does not take the address libusb may still know from an unplugged one.
uint8_t EmulatedUsbBus::NextAddress(uint8_t bus) {
    uint8_t& next = nextAddress_[bus];
    for (int tries = 0; tries < 126; ++tries) {
        const uint8_t candidate = next < 2 || next > 127 ? 2 : next;
        next = uint8_t(candidate + 1);
        const bool used = std::any_of(devices_.begin(), devices_.end(), [&](const auto& d) {
            return !d->gone && d->options.bus == bus && d->address == candidate;
        });
        if (!used) return candidate;
    }
    throw std::runtime_error("no free USB address on the bus");
}

void EmulatedUsbBus::Unplug(DeviceId id) {
    Device& device = Find(id);
    device.JoinRetired();
    if (!device.Disconnect()) return;
    std::lock_guard guard(mutex_);  // the testbed is used by one thread at a time
    umockdev_testbed_uevent(testbed_->bed, device.sysfsPath.c_str(), "remove");
    umockdev_testbed_remove_device(testbed_->bed, device.sysfsPath.c_str());
    GError* error = nullptr;
    if (!umockdev_testbed_detach_ioctl(testbed_->bed, device.nodePath.c_str(), &error)) {
        g_clear_error(&error);
    }
}

EmulatedUsbBus::Device& EmulatedUsbBus::Find(DeviceId id) const {
    std::lock_guard guard(mutex_);
    for (auto& d : devices_) {
        if (d->id == id) return *d;
    }
    throw std::out_of_range("no such emulated USB device");
}

std::string EmulatedUsbBus::NodePath(DeviceId id) const {
    return Find(id).nodePath;
}

UsbDeviceStats EmulatedUsbBus::Stats(DeviceId id) const {
    Device& device = Find(id);
    std::lock_guard guard(device.mutex);
    return device.stats;
}

uint8_t EmulatedUsbBus::Address(DeviceId id) const {
    return Find(id).address;
}

std::string EmulatedUsbBus::SysfsPath(DeviceId id) const {
    return Find(id).sysfsPath;
}

size_t EmulatedUsbBus::OpenClients(DeviceId id) const {
    Device& device = Find(id);
    {
        std::lock_guard guard(device.mutex);
        device.PurgeVanished();
    }
    device.JoinRetired();
    std::lock_guard guard(device.mutex);
    // An unplugged device nobody holds needs its node no longer: a test counting descriptors
    // sees only its own.
    if (device.gone && device.clients.empty()) device.ready.Close();
    return device.clients.size();
}

namespace {

bool Capabilities(__user_cap_data_struct (&data)[2], bool set) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(set ? SYS_capset : SYS_capget, &header, data) == 0;
}

}  // namespace

ScopedFileModeChecks::ScopedFileModeChecks() {
    __user_cap_data_struct data[2]{};
    if (!Capabilities(data, false)) return;
    saved_[0] = data[0].effective;
    saved_[1] = data[1].effective;
    // Only this thread: capset changes the calling thread's sets.
    data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    changed_ = Capabilities(data, true);
}

ScopedFileModeChecks::~ScopedFileModeChecks() {
    if (!changed_) return;
    __user_cap_data_struct data[2]{};
    if (!Capabilities(data, false)) return;
    data[0].effective = saved_[0];
    data[1].effective = saved_[1];
    Capabilities(data, true);
}

}  // namespace tavlin::testing

#if defined(__SANITIZE_THREAD__)
// The client half of the ordering: every ioctl of the process passes through here (libusb's
// included), on its way to the preload.
extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    using Next = int (*)(int, unsigned long, void*);
    static const auto next = reinterpret_cast<Next>(dlsym(RTLD_NEXT, "ioctl"));
    __tsan_release(&tavlin::testing::ioctlOrder);
    const int result = next(fd, request, arg);
    const int error = errno;
    __tsan_acquire(&tavlin::testing::ioctlOrder);
    errno = error;
    return result;
}
#endif
