// Plain libusb against virtual cameras on the emulated USB bus: what a USB transport sees of the
// camera (descriptors, claiming, command packets, replies, frames, cancelling, unplugging,
// hotplug), checked against the camera model itself.
#include <gtest/gtest.h>
#include <libusb.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "support/emulated_usb.h"

namespace tavlin::testing {
namespace {

namespace proto = vcam::protocol;
using Packet = std::array<uint8_t, 64>;
using Clock = std::chrono::steady_clock;

constexpr unsigned kTimeoutMs = 10000;  // a liveness bound: nothing here should take long
constexpr uint32_t kFullFrame = 1280u * 1024u;

Packet MakePacket(std::initializer_list<uint8_t> head) {
    Packet p{};
    std::copy(head.begin(), head.end(), p.begin());
    return p;
}

Packet TransferSizePacket(uint32_t bytes) {
    return MakePacket({proto::kCmdTransferSize, uint8_t(bytes), uint8_t(bytes >> 8),
                       uint8_t(bytes >> 16), uint8_t(bytes >> 24)});
}

std::shared_ptr<vcam::VirtualCamera> FastCamera(uint32_t serial = 1) {
    auto camera = std::make_shared<vcam::VirtualCamera>(serial);
    camera->SetRealTime(false);
    return camera;
}

// The same commands and frame read on a camera in this process, without USB in between.
std::vector<uint8_t> InProcessFrame(vcam::VirtualCamera& camera,
                                    const std::vector<Packet>& commands, uint32_t bytes) {
    const auto handle = camera.Open();
    EXPECT_TRUE(handle);
    uint32_t returned = 0;
    uint8_t pipe[4] = {proto::kPipeCommand, 0, 0, 0};
    for (Packet p : commands) {
        EXPECT_TRUE(
            camera.Request(*handle, proto::kCodePipeInput, pipe, 4, p.data(), 64, &returned));
    }
    Packet request = MakePacket({proto::kCmdFrameRequest});
    EXPECT_TRUE(
        camera.Request(*handle, proto::kCodePipeInput, pipe, 4, request.data(), 64, &returned));
    pipe[0] = proto::kPipeFrame;
    std::vector<uint8_t> frame(bytes);
    EXPECT_TRUE(
        camera.Request(*handle, proto::kCodePipeInput, pipe, 4, frame.data(), bytes, &returned));
    EXPECT_EQ(returned, bytes);
    camera.Close(*handle);
    return frame;
}

template <typename Predicate>
bool WaitUntil(Predicate done) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kTimeoutMs);
    while (!done()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// One asynchronous bulk read, its completion seen through the event loop.
class AsyncRead {
  public:
    AsyncRead(libusb_device_handle* handle, uint8_t endpoint, size_t length)
        : buffer_(length), transfer_(libusb_alloc_transfer(0)) {
        libusb_fill_bulk_transfer(transfer_, handle, endpoint, buffer_.data(), int(length),
                                  &AsyncRead::Done, this, 0);
    }
    ~AsyncRead() {
        if (submitted_ && !done_) libusb_cancel_transfer(transfer_);
        libusb_free_transfer(transfer_);
    }
    int Submit() {
        const int r = libusb_submit_transfer(transfer_);
        submitted_ = r == 0;
        return r;
    }
    bool Await(libusb_context* context) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(kTimeoutMs);
        while (!done_ && Clock::now() < deadline) {
            timeval tv{0, 100000};
            libusb_handle_events_timeout_completed(context, &tv, &done_);
        }
        return done_ != 0;
    }
    libusb_transfer* operator->() const { return transfer_; }

  private:
    static void LIBUSB_CALL Done(libusb_transfer* transfer) {
        static_cast<AsyncRead*>(transfer->user_data)->done_ = 1;
    }
    std::vector<uint8_t> buffer_;
    libusb_transfer* transfer_;
    int done_ = 0;
    bool submitted_ = false;
};

class UsbEmulation : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(EmulatedUsbBus::Available()) << "run under tests/usb_wrapper.sh";
        bus_ = &EmulatedUsbBus::Instance();  // before libusb_init
        camera_ = FastCamera();
        id_ = Plug(camera_);
        ASSERT_EQ(libusb_init(&context_), 0);
    }

    void TearDown() override {
        for (auto* handle : handles_) libusb_close(handle);
        if (context_ != nullptr) libusb_exit(context_);
        for (auto id : plugged_) bus_->Unplug(id);
    }

    EmulatedUsbBus::DeviceId Plug(std::shared_ptr<vcam::VirtualCamera> camera,
                                  UsbPlugOptions options = {}) {
        const auto id = bus_->Plug(std::move(camera), std::move(options));
        plugged_.push_back(id);
        return id;
    }

    libusb_device* Find(EmulatedUsbBus::DeviceId id) {
        libusb_device** list = nullptr;
        const ssize_t count = libusb_get_device_list(context_, &list);
        libusb_device* found = nullptr;
        for (ssize_t i = 0; i < count; ++i) {
            if (libusb_get_device_address(list[i]) == bus_->Address(id) &&
                libusb_get_bus_number(list[i]) == 1) {
                found = libusb_ref_device(list[i]);
            }
        }
        libusb_free_device_list(list, 1);
        return found;
    }

    // Opens the device; null with *error set when libusb refuses.
    libusb_device_handle* Open(EmulatedUsbBus::DeviceId id, int* error = nullptr) {
        libusb_device* device = Find(id);
        EXPECT_NE(device, nullptr);
        if (device == nullptr) return nullptr;
        libusb_device_handle* handle = nullptr;
        const int r = libusb_open(device, &handle);
        libusb_unref_device(device);
        if (error != nullptr) *error = r;
        if (r != 0) return nullptr;
        handles_.push_back(handle);
        return handle;
    }

    void Close(libusb_device_handle* handle) {
        std::erase(handles_, handle);
        libusb_close(handle);
    }

    libusb_device_handle* OpenClaimed(EmulatedUsbBus::DeviceId id) {
        libusb_device_handle* handle = Open(id);
        if (handle != nullptr) {
            EXPECT_EQ(libusb_claim_interface(handle, 0), 0);
        }
        return handle;
    }

    static int Send(libusb_device_handle* handle, Packet packet) {
        int sent = 0;
        const int r = libusb_bulk_transfer(handle, 0x01, packet.data(), 64, &sent, kTimeoutMs);
        return r == 0 ? sent : r;
    }

    // Reads up to length bytes from the endpoint: the byte count, or a libusb error.
    static int Read(libusb_device_handle* handle, uint8_t endpoint, uint8_t* out, int length) {
        int received = 0;
        const int r = libusb_bulk_transfer(handle, endpoint, out, length, &received, kTimeoutMs);
        return r == 0 ? received : r;
    }

    EmulatedUsbBus* bus_ = nullptr;
    std::shared_ptr<vcam::VirtualCamera> camera_;
    EmulatedUsbBus::DeviceId id_ = 0;
    libusb_context* context_ = nullptr;
    std::vector<libusb_device_handle*> handles_;
    std::vector<EmulatedUsbBus::DeviceId> plugged_;
};

TEST_F(UsbEmulation, DescribesTheCameraAndItsInterface) {
    libusb_device* device = Find(id_);
    ASSERT_NE(device, nullptr);
    libusb_device_descriptor d{};
    ASSERT_EQ(libusb_get_device_descriptor(device, &d), 0);
    EXPECT_EQ(d.idVendor, 0xfff0);
    EXPECT_EQ(d.idProduct, 0x0410);
    EXPECT_EQ(libusb_get_port_number(device), 1);
    EXPECT_EQ(libusb_get_device_speed(device), LIBUSB_SPEED_HIGH);
    libusb_config_descriptor* config = nullptr;
    ASSERT_EQ(libusb_get_active_config_descriptor(device, &config), 0);
    ASSERT_EQ(config->bNumInterfaces, 1);
    const libusb_interface_descriptor& alt = config->interface[0].altsetting[0];
    EXPECT_EQ(alt.bInterfaceClass, LIBUSB_CLASS_VENDOR_SPEC);
    ASSERT_EQ(alt.bNumEndpoints, 3);
    const uint8_t addresses[] = {0x01, 0x82, 0x83};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(alt.endpoint[i].bEndpointAddress, addresses[i]);
        EXPECT_EQ(alt.endpoint[i].bmAttributes & 3, LIBUSB_TRANSFER_TYPE_BULK);
    }
    libusb_free_config_descriptor(config);

    libusb_device_handle* handle = Open(id_);
    libusb_unref_device(device);
    ASSERT_NE(handle, nullptr);
    unsigned char serial[64] = {};
    ASSERT_GT(libusb_get_string_descriptor_ascii(handle, d.iSerialNumber, serial, sizeof(serial)),
              0);
    EXPECT_STREQ(reinterpret_cast<char*>(serial), "00000001");
}

TEST_F(UsbEmulation, CommandPacketsReachTheCameraByteForByteAndRepliesComeBack) {
    libusb_device_handle* handle = OpenClaimed(id_);
    ASSERT_NE(handle, nullptr);
    Packet packet = MakePacket({proto::kCmdSensorWrite, proto::sensor::kShutter, 0x01, 0x23});
    for (size_t i = 4; i < packet.size(); ++i) packet[i] = uint8_t(i * 7);  // ignored by the model
    camera_->ClearTrace();
    ASSERT_EQ(Send(handle, packet), 64);
    auto trace = camera_->Trace(0, 16);
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(trace[0].pipe, proto::kPipeCommand);
    EXPECT_EQ(trace[0].controlCode, proto::kCodePipeInput);
    EXPECT_EQ(trace[0].length, 64u);
    EXPECT_EQ(trace[0].succeeded, 1);
    EXPECT_EQ(std::memcmp(trace[0].data, packet.data(), 64), 0);
    EXPECT_EQ(camera_->SensorRegister(proto::sensor::kShutter), 0x0123);

    ASSERT_EQ(Send(handle, MakePacket({proto::kCmdSensorRead, proto::sensor::kShutter})), 64);
    Packet reply{};
    ASSERT_EQ(Read(handle, 0x82, reply.data(), 64), 64);
    EXPECT_EQ(reply[0], 0x01);
    EXPECT_EQ(reply[1], 0x23);
    // A packet of the wrong size is refused by the camera: the endpoint stalls.
    uint8_t shortPacket[8] = {proto::kCmdSelect};
    int sent = 0;
    EXPECT_EQ(libusb_bulk_transfer(handle, 0x01, shortPacket, 8, &sent, kTimeoutMs),
              LIBUSB_ERROR_PIPE);
}

TEST_F(UsbEmulation, FramesEqualTheSameCamerasFramesReadInProcess) {
    libusb_device_handle* handle = OpenClaimed(id_);
    ASSERT_NE(handle, nullptr);
    // Before a transfer size is set the controller's frame size counts.
    EXPECT_EQ(UsbFrameBytes(*camera_), kFullFrame);
    // 16-bit samples: 2.6 MB frames, read as one transfer each.
    const std::vector<Packet> setup = {
        TransferSizePacket(kFullFrame),
        MakePacket({proto::kCmdControllerWrite, proto::controller::kSampleWidth, 1})};
    for (const Packet& p : setup) ASSERT_EQ(Send(handle, p), 64);
    const uint32_t bytes = UsbFrameBytes(*camera_);
    ASSERT_EQ(bytes, 2 * kFullFrame);

    auto reference = FastCamera();
    std::vector<uint8_t> frame(bytes + 4096, 0xEE);
    for (int n = 0; n < 2; ++n) {
        ASSERT_EQ(Send(handle, MakePacket({proto::kCmdFrameRequest})), 64);
        // A larger buffer ends short: the camera sends the frame's bytes and no more.
        ASSERT_EQ(Read(handle, 0x83, frame.data(), int(frame.size())), int(bytes));
        const auto expected =
            InProcessFrame(*reference, n == 0 ? setup : std::vector<Packet>{}, bytes);
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), frame.begin())) << "frame " << n;
    }

    // Transfers smaller than the frame take it in order; the last one ends short.
    ASSERT_EQ(Send(handle, MakePacket({proto::kCmdFrameRequest})), 64);
    const int part = int(bytes * 3 / 8);
    std::vector<uint8_t> pieces;
    for (int expected : {part, part, int(bytes) - 2 * part}) {
        std::vector<uint8_t> piece(part);
        ASSERT_EQ(Read(handle, 0x83, piece.data(), part), expected);
        pieces.insert(pieces.end(), piece.begin(), piece.begin() + expected);
    }
    EXPECT_EQ(pieces, InProcessFrame(*reference, {}, bytes));
    EXPECT_EQ(camera_->Counters().framesDelivered, 3u);
}

TEST_F(UsbEmulation, FrameFaultsBecomeStallOverflowAndShortTransfers) {
    libusb_device_handle* handle = OpenClaimed(id_);
    ASSERT_NE(handle, nullptr);
    const uint32_t bytes = 64 * 1024;
    ASSERT_EQ(Send(handle, TransferSizePacket(bytes)), 64);
    std::vector<uint8_t> frame(bytes);
    auto readFrame = [&] {
        EXPECT_EQ(Send(handle, MakePacket({proto::kCmdFrameRequest})), 64);
        return Read(handle, 0x83, frame.data(), int(bytes));
    };
    camera_->FailNext(vcam::FaultKind::FrameRead, 1);
    EXPECT_EQ(readFrame(), LIBUSB_ERROR_PIPE);
    EXPECT_EQ(libusb_clear_halt(handle, 0x83), 0);
    camera_->FailNext(vcam::FaultKind::LongFrame, 1);
    EXPECT_EQ(readFrame(), LIBUSB_ERROR_OVERFLOW);
    camera_->FailNext(vcam::FaultKind::ShortFrame, 1);
    EXPECT_EQ(readFrame(), int(bytes / 2));
    camera_->FailNext(vcam::FaultKind::EmptyFrame, 1);
    EXPECT_EQ(readFrame(), 0);
    EXPECT_EQ(readFrame(), int(bytes));
    // Without a frame request the camera has nothing to send: the read stays pending (the
    // device NAKs) until its time-out discards it, and the next request is answered as usual.
    int received = 0;
    EXPECT_EQ(libusb_bulk_transfer(handle, 0x83, frame.data(), int(bytes), &received, 100),
              LIBUSB_ERROR_TIMEOUT);
    EXPECT_EQ(readFrame(), int(bytes));
}

TEST_F(UsbEmulation, CancellingABlockedFrameReadEndsItAndTheEndpointReadsOnAfterwards) {
    libusb_device_handle* handle = OpenClaimed(id_);
    ASSERT_NE(handle, nullptr);
    const uint32_t bytes = 4096;
    ASSERT_EQ(Send(handle, TransferSizePacket(bytes)), 64);
    ASSERT_EQ(Send(handle, MakePacket({proto::kCmdFrameRequest})), 64);
    camera_->SetStall(true);
    AsyncRead read(handle, 0x83, bytes);
    ASSERT_EQ(read.Submit(), 0);
    ASSERT_TRUE(WaitUntil([&] { return camera_->WaitingRequests() == 1; }));
    ASSERT_EQ(libusb_cancel_transfer(read.operator->()), 0);
    ASSERT_TRUE(read.Await(context_));
    EXPECT_EQ(read->status, LIBUSB_TRANSFER_CANCELLED);
    EXPECT_EQ(camera_->WaitingRequests(), 0u);

    camera_->SetStall(false);
    std::vector<uint8_t> frame(bytes);
    ASSERT_EQ(Send(handle, MakePacket({proto::kCmdFrameRequest})), 64);
    EXPECT_EQ(Read(handle, 0x83, frame.data(), int(bytes)), int(bytes));
}

TEST_F(UsbEmulation, ATimedOutReadIsDiscardedAndTheNextOneSucceeds) {
    libusb_device_handle* handle = OpenClaimed(id_);
    ASSERT_NE(handle, nullptr);
    const uint32_t bytes = 4096;
    ASSERT_EQ(Send(handle, TransferSizePacket(bytes)), 64);
    ASSERT_EQ(Send(handle, MakePacket({proto::kCmdFrameRequest})), 64);
    camera_->SetStall(true);
    std::vector<uint8_t> frame(bytes);
    int received = -1;
    EXPECT_EQ(libusb_bulk_transfer(handle, 0x83, frame.data(), int(bytes), &received, 50),
              LIBUSB_ERROR_TIMEOUT);
    EXPECT_EQ(received, 0);
    EXPECT_EQ(camera_->WaitingRequests(), 0u);
    camera_->SetStall(false);
    ASSERT_EQ(Send(handle, MakePacket({proto::kCmdFrameRequest})), 64);
    EXPECT_EQ(Read(handle, 0x83, frame.data(), int(bytes)), int(bytes));
}

TEST_F(UsbEmulation, CancellingAQueuedReadLeavesTheBlockedOneInPlace) {
    libusb_device_handle* handle = OpenClaimed(id_);
    ASSERT_NE(handle, nullptr);
    const uint32_t bytes = 4096;
    ASSERT_EQ(Send(handle, TransferSizePacket(bytes)), 64);
    ASSERT_EQ(Send(handle, MakePacket({proto::kCmdFrameRequest})), 64);
    camera_->SetStall(true);
    AsyncRead blocked(handle, 0x83, bytes);
    AsyncRead queued(handle, 0x83, bytes);
    ASSERT_EQ(blocked.Submit(), 0);
    ASSERT_TRUE(WaitUntil([&] { return camera_->WaitingRequests() == 1; }));
    ASSERT_EQ(queued.Submit(), 0);
    ASSERT_EQ(libusb_cancel_transfer(queued.operator->()), 0);
    ASSERT_TRUE(queued.Await(context_));
    EXPECT_EQ(queued->status, LIBUSB_TRANSFER_CANCELLED);
    EXPECT_EQ(camera_->WaitingRequests(), 1u);

    // Released, the blocked read gets its frame.
    camera_->SetStall(false);
    ASSERT_TRUE(blocked.Await(context_));
    EXPECT_EQ(blocked->status, LIBUSB_TRANSFER_COMPLETED);
    EXPECT_EQ(blocked->actual_length, int(bytes));
}

TEST_F(UsbEmulation, UnplugEndsAPendingReadWithNoDevice) {
    libusb_device_handle* handle = OpenClaimed(id_);
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(Send(handle, TransferSizePacket(4096)), 64);
    ASSERT_EQ(Send(handle, MakePacket({proto::kCmdFrameRequest})), 64);
    camera_->SetStall(true);
    AsyncRead read(handle, 0x83, 4096);
    ASSERT_EQ(read.Submit(), 0);
    ASSERT_TRUE(WaitUntil([&] { return camera_->WaitingRequests() == 1; }));
    bus_->Unplug(id_);
    ASSERT_TRUE(read.Await(context_));
    EXPECT_EQ(read->status, LIBUSB_TRANSFER_NO_DEVICE);
    EXPECT_EQ(camera_->WaitingRequests(), 0u);
    EXPECT_EQ(Send(handle, MakePacket({proto::kCmdSelect})), LIBUSB_ERROR_NO_DEVICE);
    // The camera itself was not unplugged, only taken off the bus.
    EXPECT_TRUE(camera_->Plugged());
}

TEST_F(UsbEmulation, ACameraUnpluggedInTheModelLeavesTheBus) {
    libusb_device_handle* handle = OpenClaimed(id_);
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(Send(handle, MakePacket({proto::kCmdSelect})), 64);
    camera_->UnplugAfterFrames(0);
    ASSERT_TRUE(WaitUntil([&] {
        libusb_device* device = Find(id_);
        if (device != nullptr) libusb_unref_device(device);
        return device == nullptr;
    }));
    EXPECT_EQ(Send(handle, MakePacket({proto::kCmdSelect})), LIBUSB_ERROR_NO_DEVICE);
}

TEST_F(UsbEmulation, ASecondHandleCannotClaimTheInterfaceUntilItIsReleased) {
    libusb_device_handle* first = Open(id_);
    libusb_device_handle* second = Open(id_);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(bus_->OpenClients(id_), 2u);
    ASSERT_EQ(libusb_claim_interface(first, 0), 0);
    EXPECT_EQ(libusb_claim_interface(second, 0), LIBUSB_ERROR_BUSY);
    ASSERT_EQ(libusb_release_interface(first, 0), 0);
    EXPECT_EQ(libusb_claim_interface(second, 0), 0);
    // Closing a handle releases its claim and its camera handles.
    ASSERT_EQ(Send(second, MakePacket({proto::kCmdSelect})), 64);
    EXPECT_GE(camera_->Counters().handlesOpen, 1u);
    Close(second);
    ASSERT_TRUE(WaitUntil([&] { return bus_->OpenClients(id_) == 1; }));
    EXPECT_EQ(camera_->Counters().handlesOpen, 0u);
    EXPECT_EQ(libusb_claim_interface(first, 0), 0);
}

TEST_F(UsbEmulation, AnUnreadableNodeRefusesToOpen) {
    UsbPlugOptions options;
    options.readable = false;
    options.ports = {2};
    options.serial = "00000002";
    const auto locked = Plug(FastCamera(2), options);
    libusb_device* device = Find(locked);
    ASSERT_NE(device, nullptr);
    libusb_unref_device(device);
    int error = 0;
    {
        ScopedFileModeChecks unprivileged;
        EXPECT_EQ(Open(locked, &error), nullptr);
    }
    EXPECT_EQ(error, LIBUSB_ERROR_ACCESS);
    EXPECT_NE(Open(id_), nullptr);
}

TEST_F(UsbEmulation, HotplugReportsArrivalAndRemoval) {
    ASSERT_TRUE(libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG));
    struct Seen {
        std::atomic<int> arrived{0};
        std::atomic<int> left{0};
        std::atomic<int> address{0};
    } seen;
    auto callback = [](libusb_context*, libusb_device* device, libusb_hotplug_event event,
                       void* user) -> int {
        auto* s = static_cast<Seen*>(user);
        s->address = libusb_get_device_address(device);
        ++(event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED ? s->arrived : s->left);
        return 0;
    };
    libusb_hotplug_callback_handle callbackHandle = 0;
    ASSERT_EQ(libusb_hotplug_register_callback(
                  context_, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT,
                  LIBUSB_HOTPLUG_NO_FLAGS, 0xfff0, 0x0410, LIBUSB_HOTPLUG_MATCH_ANY, callback,
                  &seen, &callbackHandle),
              0);
    auto pump = [&](auto done) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(kTimeoutMs);
        while (!done() && Clock::now() < deadline) {
            timeval tv{0, 50000};
            libusb_handle_events_timeout_completed(context_, &tv, nullptr);
        }
        return done();
    };
    UsbPlugOptions options;
    options.ports = {3, 2};
    options.serial = "00000003";
    const auto id = Plug(FastCamera(3), options);
    ASSERT_TRUE(pump([&] { return seen.arrived == 1; }));
    EXPECT_EQ(seen.address, bus_->Address(id));
    libusb_device* device = Find(id);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(libusb_get_port_number(device), 2);
    libusb_unref_device(device);

    bus_->Unplug(id);
    ASSERT_TRUE(pump([&] { return seen.left == 1; }));
    EXPECT_EQ(seen.address, bus_->Address(id));
    EXPECT_EQ(seen.arrived, 1);
    EXPECT_EQ(Find(id), nullptr);
    libusb_hotplug_deregister_callback(context_, callbackHandle);
}

TEST_F(UsbEmulation, AlternativeLayoutsDescribeWhatTheyClaim) {
    struct Case {
        UsbEndpointLayout layout;
        std::vector<uint8_t> addresses;
        uint8_t inType;
    };
    const Case cases[] = {
        {UsbEndpointLayout::kTwoEndpoints, {0x01, 0x82}, LIBUSB_TRANSFER_TYPE_BULK},
        {UsbEndpointLayout::kInterruptIn, {0x01, 0x82, 0x83}, LIBUSB_TRANSFER_TYPE_INTERRUPT},
        {UsbEndpointLayout::kSwapped, {0x83, 0x82, 0x01}, LIBUSB_TRANSFER_TYPE_BULK},
    };
    uint8_t port = 4;
    for (const Case& c : cases) {
        UsbPlugOptions options;
        options.layout = c.layout;
        options.ports = {port++};
        const auto id = Plug(FastCamera(port), options);
        libusb_device* device = Find(id);
        ASSERT_NE(device, nullptr);
        libusb_config_descriptor* config = nullptr;
        ASSERT_EQ(libusb_get_active_config_descriptor(device, &config), 0);
        libusb_unref_device(device);
        const libusb_interface_descriptor& alt = config->interface[0].altsetting[0];
        ASSERT_EQ(alt.bNumEndpoints, c.addresses.size());
        for (size_t i = 0; i < c.addresses.size(); ++i) {
            EXPECT_EQ(alt.endpoint[i].bEndpointAddress, c.addresses[i]);
            if (c.addresses[i] & 0x80) {
                EXPECT_EQ(alt.endpoint[i].bmAttributes & 3, c.inType);
            }
        }
        libusb_free_config_descriptor(config);
    }
    // An endpoint the layout lacks takes no transfers.
    libusb_device_handle* handle = OpenClaimed(plugged_[1]);
    ASSERT_NE(handle, nullptr);
    uint8_t frame[64];
    EXPECT_LT(Read(handle, 0x83, frame, 64), 0);
}

// libusb waits in poll() on the node for completions: an idle handle must not wake it, and a
// completed transfer must wake it once, not leave it spinning.
TEST_F(UsbEmulation, AnIdleHandleLeavesTheEventLoopAsleep) {
    libusb_device_handle* handle = OpenClaimed(id_);
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(Send(handle, MakePacket({proto::kCmdSelect})), 64);
    const uint64_t before = bus_->Stats(id_).emptyReaps;
    for (int i = 0; i < 5; ++i) {
        timeval tv{0, 10000};
        libusb_handle_events_timeout_completed(context_, &tv, nullptr);
    }
    EXPECT_EQ(bus_->Stats(id_).emptyReaps, before);

    // Without the FIFO the node is a regular file: every wait wakes and reaps nothing.
    UsbPlugOptions options;
    options.quietPolling = false;
    options.ports = {5};
    const auto busy = Plug(FastCamera(5), options);
    ASSERT_NE(OpenClaimed(busy), nullptr);
    for (int i = 0; i < 5; ++i) {
        timeval tv{0, 10000};
        libusb_handle_events_timeout_completed(context_, &tv, nullptr);
    }
    EXPECT_GE(bus_->Stats(busy).emptyReaps, 5u);
    EXPECT_EQ(bus_->Stats(id_).emptyReaps, before);
}

}  // namespace
}  // namespace tavlin::testing
