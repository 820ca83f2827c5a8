// Device files through sockets: the same camera reached in-process and through the daemon's
// request loop must answer identically, and neither side may trust the other's bytes.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "vcam/camera_registry.h"
#include "vcam/device_file.h"
#include "vcam/camera_model.h"
#include "vcam/request_server.h"
#include "vcam/socket_device_file.h"
#include "vcam/wire_protocol.h"
#include "vcam_test_support.h"

namespace tavlin::vcam {
namespace {

namespace proto = protocol;
constexpr int kIndex = 5;

// The daemon's camera side in miniature: every connection on the socket of one camera attached
// in this process is served on its own thread.
class LocalServer {
  public:
    explicit LocalServer(int index) : path_(DeviceSocketPath(DeviceNameOf(index))) {
        auto fd = ListenUnixSocket(path_);
        EXPECT_TRUE(fd);
        if (fd) listener_ = std::move(*fd);
        devicePath_ = std::string(proto::kDevicePathStart) + DeviceNameOf(index);
        acceptor_ = std::thread([this] { AcceptLoop(); });
    }
    ~LocalServer() {
        stop_ = true;
        acceptor_.join();
        std::lock_guard guard(mutex_);
        for (auto& fd : connections_) ::shutdown(fd.Get(), SHUT_RDWR);
        for (auto& t : threads_) t.join();
        ::unlink(path_.c_str());
    }

  private:
    void AcceptLoop() {
        while (!stop_) {
            pollfd p{listener_.Get(), POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            UniqueFd fd(::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (!fd.Valid()) continue;
            std::lock_guard guard(mutex_);
            const int raw = fd.Get();
            connections_.push_back(std::move(fd));
            threads_.emplace_back([this, raw] {
                auto file = OpenAttachedDeviceFile(devicePath_);
                SocketStream stream(raw);
                ServeDeviceConnection(stream, file.get());
            });
        }
    }

    std::string path_;
    std::string devicePath_;
    UniqueFd listener_;
    std::atomic<bool> stop_{false};
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<UniqueFd> connections_;
    std::vector<std::thread> threads_;
};

class SocketTransportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* base = std::getenv("TAVLIN_TEST_TMP");
        runtime_ =
            std::filesystem::path(base ? base : "/tmp") / ("vcam-run-" + std::to_string(getpid()));
        std::filesystem::remove_all(runtime_);
        std::filesystem::create_directories(runtime_);
        setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
        ASSERT_EQ(::mkdir(DaemonSocketDir().c_str(), 0700), 0);
    }
    void TearDown() override {
        TavlinVcam_DetachAll();
        std::filesystem::remove_all(runtime_);
    }

    std::filesystem::path runtime_;
};

// Speaks the bare driver contract on one device file.
struct Handle {
    std::unique_ptr<DeviceFile> file;

    bool Pipe(uint32_t code, uint32_t pipe, void* buffer, uint32_t length, uint32_t* got) {
        const std::array<uint8_t, 4> number = {uint8_t(pipe), 0, 0, 0};
        return file->IoControl(code, number.data(), 4, buffer, length, got);
    }
    bool Command(std::initializer_list<uint8_t> bytes) {
        std::array<uint8_t, 64> packet{};
        std::copy(bytes.begin(), bytes.end(), packet.begin());
        uint32_t got = 0;
        return Pipe(proto::kCodePipeInput, 0, packet.data(), 64, &got) && got == 64;
    }
    std::optional<uint16_t> SensorRead(uint8_t reg) {
        std::array<uint8_t, 64> block{};
        uint32_t got = 0;
        if (!Command({proto::kCmdSensorRead, reg})) return std::nullopt;
        Pipe(proto::kCodePipeOutput, 1, block.data(), 64, &got);
        if (!Pipe(proto::kCodePipeOutput, 1, block.data(), 64, &got) || got != 64) {
            return std::nullopt;
        }
        return uint16_t(block[0] << 8 | block[1]);
    }
    bool ReadFrame(std::vector<uint8_t>& frame, uint32_t* got) {
        // As the transfer thread does: the frame request goes out with the output-direct code.
        std::array<uint8_t, 64> request{proto::kCmdFrameRequest};
        if (!Pipe(proto::kCodePipeOutput, 0, request.data(), 64, got)) return false;
        return Pipe(proto::kCodePipeInput, 2, frame.data(), uint32_t(frame.size()), got);
    }
};

TEST_F(SocketTransportTest, SocketHandlesAnswerExactlyAsInProcessHandles) {
    testing::AttachedCameras cameras({kIndex});
    // One random raw frame on repeat: every read sees the same varied samples.
    std::vector<uint8_t> scene(size_t(TAVLIN_VCAM_SENSOR_WIDTH) * TAVLIN_VCAM_SENSOR_HEIGHT);
    std::mt19937 random(7);
    for (auto& sample : scene) sample = uint8_t(random());
    ASSERT_EQ(TavlinVcam_SetRawFrames(kIndex, scene.data(), 8, 1), 1);
    LocalServer server(kIndex);
    Handle local{OpenAttachedDeviceFile("\\\\.\\TvlnQZ410VKE-5")};
    Handle remote{OpenDaemonDeviceFile("TvlnQZ410VKE-5")};
    ASSERT_TRUE(local.file && remote.file);

    ASSERT_TRUE(remote.Command({proto::kCmdSensorWrite, proto::sensor::kShutter, 0x02, 0x0D}));
    EXPECT_EQ(local.SensorRead(proto::sensor::kShutter), 0x020D);
    EXPECT_EQ(remote.SensorRead(proto::sensor::kShutter), 0x020D);

    // Whole frames arrive byte for byte, an odd length as well as a full 16-bit frame that
    // takes many socket writes.
    ASSERT_TRUE(remote.Command({proto::kCmdControllerWrite, proto::controller::kSampleWidth, 1}));
    std::vector<uint8_t> near(1280 * 1024 * 2, 0xEE), far(near.size(), 0xEE);
    uint32_t nearGot = 0, farGot = 0;
    ASSERT_TRUE(local.ReadFrame(near, &nearGot));
    ASSERT_TRUE(remote.ReadFrame(far, &farGot));
    EXPECT_EQ(farGot, near.size());
    EXPECT_TRUE(near == far);
    ASSERT_TRUE(remote.Command({proto::kCmdControllerWrite, proto::controller::kSampleWidth, 0}));
    near.assign(12345, 0xEE);
    far.assign(12345, 0xEE);
    ASSERT_TRUE(local.ReadFrame(near, &nearGot));
    ASSERT_TRUE(remote.ReadFrame(far, &farGot));
    EXPECT_EQ(farGot, 12345u);
    EXPECT_EQ(near, far);

    // A short frame reports half and leaves the rest of the caller's buffer alone.
    ASSERT_EQ(TavlinVcam_FailNext(kIndex, TAVLIN_VCAM_FAULT_SHORT_FRAME, 1), 1);
    std::fill(far.begin(), far.end(), 0xEE);
    ASSERT_TRUE(remote.ReadFrame(far, &farGot));
    EXPECT_EQ(farGot, 12345u / 2);
    EXPECT_EQ(far[farGot - 1], near[farGot - 1]);
    EXPECT_EQ(far[farGot], 0xEE);

    // A driver failure fails one request, not the connection.
    ASSERT_EQ(TavlinVcam_FailNext(kIndex, TAVLIN_VCAM_FAULT_COMMAND_SEND, 1), 1);
    EXPECT_FALSE(remote.Command({proto::kCmdPrepareTransfer}));
    EXPECT_TRUE(remote.Command({proto::kCmdPrepareTransfer}));
    // A null input stays null: the driver setting needs its block.
    uint32_t got = 99;
    EXPECT_FALSE(remote.file->IoControl(proto::kCodeDriverSetting, nullptr, 44, nullptr, 0, &got));
    EXPECT_EQ(got, 0u);

    TavlinVcamCounters counters{};
    ASSERT_EQ(TavlinVcam_GetCounters(kIndex, &counters), 1);
    EXPECT_EQ(counters.handlesOpen, 2u);
    EXPECT_EQ(counters.framesDelivered, 4u);
    EXPECT_EQ(counters.framesShort, 1u);
}

TEST_F(SocketTransportTest, ABlockedFrameReadDoesNotHoldUpOtherHandles) {
    testing::AttachedCameras cameras({kIndex});
    LocalServer server(kIndex);
    Handle reader{OpenDaemonDeviceFile("TvlnQZ410VKE-5")};
    Handle other{OpenDaemonDeviceFile("TvlnQZ410VKE-5")};
    ASSERT_TRUE(reader.file && other.file);
    std::array<uint8_t, 44> forever{1};
    uint32_t got = 0;
    ASSERT_TRUE(
        reader.file->IoControl(proto::kCodeDriverSetting, forever.data(), 44, nullptr, 0, &got));
    ASSERT_TRUE(other.Command({proto::kCmdControllerWrite, proto::controller::kTriggerControl, 1}));
    ASSERT_TRUE(other.Command({proto::kCmdSensorWrite, proto::sensor::kReadModeA, 0x81, 0x00}));

    auto frame = std::async(std::launch::async, [&] {
        std::vector<uint8_t> data(4096);
        uint32_t n = 0;
        return reader.ReadFrame(data, &n) ? n : 0u;
    });
    for (int i = 0; i < 20; ++i) ASSERT_EQ(other.SensorRead(proto::sensor::kReadModeA), 0x8100);
    EXPECT_EQ(frame.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    // The read may not have reached the camera yet; pulse until it takes one.
    while (frame.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
        TavlinVcamCounters c{};
        TavlinVcam_GetCounters(kIndex, &c);
        if (c.triggersPending == 0) TavlinVcam_Trigger(kIndex, 1);
    }
    EXPECT_EQ(frame.get(), 4096u);
}

TEST_F(SocketTransportTest, UnplugFailsRemoteHandlesAndRefusesNewOnes) {
    testing::AttachedCameras cameras({kIndex});
    LocalServer server(kIndex);
    Handle remote{OpenDaemonDeviceFile("TvlnQZ410VKE-5")};
    ASSERT_TRUE(remote.file);
    ASSERT_EQ(TavlinVcam_SetStall(kIndex, 1), 1);
    auto frame = std::async(std::launch::async, [&] {
        std::vector<uint8_t> data(100);
        uint32_t n = 0;
        return remote.ReadFrame(data, &n);
    });
    ASSERT_EQ(TavlinVcam_Detach(kIndex), 1);
    EXPECT_FALSE(frame.get());
    EXPECT_FALSE(remote.Command({proto::kCmdPrepareTransfer}));
    EXPECT_EQ(OpenDaemonDeviceFile("TvlnQZ410VKE-5"), nullptr);  // the server's open is refused
}

TEST_F(SocketTransportTest, OpensFailWithoutAServerOrAPrivateFolder) {
    EXPECT_EQ(OpenDaemonDeviceFile("TvlnQZ410VKE-5"), nullptr);
    EXPECT_EQ(device::OpenDeviceFile("\\\\.\\TvlnQZ410VKE-5"), nullptr);
    EXPECT_EQ(OpenDaemonDeviceFile("../TvlnQZ410VKE-5"), nullptr);
    testing::AttachedCameras cameras({kIndex});
    LocalServer server(kIndex);
    ::chmod(DaemonSocketDir().c_str(), 0755);  // others could have planted the socket
    EXPECT_EQ(OpenDaemonDeviceFile("TvlnQZ410VKE-5"), nullptr);
    ::chmod(DaemonSocketDir().c_str(), 0700);
    EXPECT_NE(OpenDaemonDeviceFile("TvlnQZ410VKE-5"), nullptr);
}

TEST_F(SocketTransportTest, ADaemonThatStoppedAcceptingFailsOpensInsteadOfHangingThem) {
    const std::string path = DeviceSocketPath("TvlnQZ410VKE-5");
    UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(listener.Get(), 0), 0);  // and never accepts
    std::vector<UniqueFd> queued;
    for (int i = 0; i < 8; ++i) {
        if (auto fd = ConnectUnixSocket(path)) queued.push_back(std::move(*fd));
    }
    EXPECT_LT(queued.size(), 8u);
    EXPECT_EQ(OpenDaemonDeviceFile("TvlnQZ410VKE-5"), nullptr);
}

// A peer that answers with the bytes the test gives it.
class ScriptedPeer {
  public:
    explicit ScriptedPeer(std::vector<uint8_t> answer) {
        auto fd = ListenUnixSocket(path_);
        EXPECT_TRUE(fd);
        if (!fd) return;
        thread_ = std::thread([listener = std::move(*fd), answer] {
            pollfd p{listener.Get(), POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0) return;
            UniqueFd peer(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
            SocketStream stream(peer.Get());
            const auto hello = wire::EncodeHello({wire::kVersion, true});
            stream.WriteAll(hello.data(), hello.size());
            std::array<uint8_t, wire::kRequestHeaderSize + 4> request;
            stream.ReadExact(request.data(), request.size());
            stream.WriteAll(answer.data(), answer.size());
            ::shutdown(peer.Get(), SHUT_WR);
            char drain[256];
            while (::recv(peer.Get(), drain, sizeof(drain), 0) > 0) {
            }
        });
    }
    ~ScriptedPeer() {
        if (thread_.joinable()) thread_.join();
        ::unlink(path_.c_str());
    }

  private:
    std::string path_ = DeviceSocketPath("TvlnQZ410VKE-9");
    std::thread thread_;
};

TEST_F(SocketTransportTest, MalformedRepliesFailTheRequestWithoutTouchingTheBuffer) {
    auto reply = wire::EncodeReply({true, 16, 16});
    const std::vector<uint8_t> tooLong(reply.begin(), reply.end());  // 16 bytes for an 8-byte read
    {
        ScriptedPeer peer(tooLong);
        auto file = OpenDaemonDeviceFile("TvlnQZ410VKE-9");
        ASSERT_TRUE(file);
        std::array<uint8_t, 12> buffer;
        buffer.fill(0xEE);
        const std::array<uint8_t, 4> pipe{2, 0, 0, 0};
        uint32_t got = 7;
        EXPECT_FALSE(
            file->IoControl(proto::kCodePipeInput, pipe.data(), 4, buffer.data(), 8, &got));
        EXPECT_EQ(got, 0u);
        EXPECT_EQ(buffer[8], 0xEE);
        EXPECT_EQ(buffer[0], 0xEE);
        // The stream is out of step: every later request fails at once, without SIGPIPE.
        EXPECT_FALSE(
            file->IoControl(proto::kCodePipeInput, pipe.data(), 4, buffer.data(), 8, &got));
    }
    {
        ScriptedPeer peer({});  // the daemon goes away in the middle of a request
        auto file = OpenDaemonDeviceFile("TvlnQZ410VKE-9");
        ASSERT_TRUE(file);
        std::array<uint8_t, 8> buffer{};
        const std::array<uint8_t, 4> pipe{2, 0, 0, 0};
        uint32_t got = 7;
        EXPECT_FALSE(
            file->IoControl(proto::kCodePipeInput, pipe.data(), 4, buffer.data(), 8, &got));
        EXPECT_EQ(got, 0u);
    }
}

// Feeds the daemon's request loop from memory and counts what reaches the device.
class MemoryStream final : public ByteStream {
  public:
    explicit MemoryStream(std::vector<uint8_t> input) : input_(std::move(input)) {}
    bool ReadExact(void* data, size_t size) override {
        if (input_.size() - at_ < size) return false;
        std::memcpy(data, input_.data() + at_, size);
        at_ += size;
        return true;
    }
    bool WriteAll(const void* data, size_t size) override {
        const auto* b = static_cast<const uint8_t*>(data);
        output.insert(output.end(), b, b + size);
        return true;
    }
    std::vector<uint8_t> output;

  private:
    std::vector<uint8_t> input_;
    size_t at_ = 0;
};

class RecordingDevice final : public DeviceFile {
  public:
    bool IoControl(uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                   uint32_t* bytesReturned) override {
        ++calls;
        sawInput = in != nullptr;
        sawOutput = out != nullptr;
        if (out != nullptr && outLength > 0) firstOutBytes.push_back(*static_cast<uint8_t*>(out));
        if (out != nullptr) std::memset(out, 0x5A, outLength);
        *bytesReturned = outLength;
        return code != 0;
    }
    int calls = 0;
    bool sawInput = false, sawOutput = false;
    std::vector<uint8_t> firstOutBytes;
};

std::vector<uint8_t> Request(const wire::RequestHeader& h, std::vector<uint8_t> payload) {
    const auto header = wire::EncodeRequest(h);
    payload.insert(payload.begin(), header.begin(), header.end());
    return payload;
}

TEST(RequestServer, ServesWellFormedRequestsAndDropsTheStreamAtTheFirstBadOne) {
    // A command packet: its bytes reach the device as the output buffer, nothing comes back.
    auto input = Request({1, wire::kFlagHasInput | wire::kFlagHasOutput, 4, 64, 64},
                         std::vector<uint8_t>(68, 0x04));
    // A read without an input buffer: the device sees null input, the data comes back.
    const auto read = Request({1, wire::kFlagHasOutput, 4, 3, 0}, {});
    input.insert(input.end(), read.begin(), read.end());
    const auto huge = Request({1, wire::kFlagHasOutput, 0, wire::kMaxOutput + 1, 0}, {});
    input.insert(input.end(), huge.begin(), huge.end());
    input.insert(input.end(), read.begin(), read.end());  // never reached

    MemoryStream stream(input);
    RecordingDevice device;
    EXPECT_EQ(ServeDeviceConnection(stream, &device), 2u);
    EXPECT_EQ(device.calls, 2);
    ASSERT_FALSE(device.firstOutBytes.empty());
    EXPECT_EQ(device.firstOutBytes[0], 0x04);
    EXPECT_FALSE(device.sawInput);
    const size_t hello = wire::kHelloSize, reply = wire::kReplyHeaderSize;
    ASSERT_EQ(stream.output.size(), hello + reply + reply + 3);
    EXPECT_EQ(stream.output.back(), 0x5A);
}

TEST(RequestServer, RandomBytesNeverReachTheDeviceOrCrashTheLoop) {
    std::mt19937 random(1234);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> input(random() % 200);
        for (auto& b : input) b = uint8_t(random());
        // Half the rounds start with a valid magic so the length checks get exercised.
        if (round % 2 == 0 && input.size() >= 4) {
            const auto magic = wire::EncodeRequest({});
            std::copy(magic.begin(), magic.begin() + 4, input.begin());
        }
        MemoryStream stream(input);
        RecordingDevice device;
        EXPECT_EQ(ServeDeviceConnection(stream, &device), size_t(device.calls));
    }
    MemoryStream refused(Request({1, 0, 0, 0, 0}, {}));
    EXPECT_EQ(ServeDeviceConnection(refused, nullptr), 0u);
    EXPECT_EQ(wire::DecodeHello(std::span<const uint8_t, wire::kHelloSize>(refused.output.data(),
                                                                           wire::kHelloSize))
                  ->opened,
              false);
}

}  // namespace
}  // namespace tavlin::vcam
