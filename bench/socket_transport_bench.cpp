// What the daemon's socket costs over an in-process device file: full-sensor frame reads and
// register round trips on the same camera, both ways, with a memcpy of the frame as anchor.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tavlin/tavlin_vcam.h"
#include "vcam/camera_model.h"
#include "vcam/camera_registry.h"
#include "vcam/device_file.h"
#include "vcam/request_server.h"
#include "vcam/socket_device_file.h"
#include "vcam/unix_socket.h"

namespace {

namespace device = tavlin::device;
namespace vcam = tavlin::vcam;
namespace proto = vcam::protocol;

constexpr char kName[] = "TvlnQZ410VKE-0";
constexpr char kPath[] = "\\\\.\\TvlnQZ410VKE-0";

// Camera 0 attached here and served on its socket in a private runtime folder, the way the
// daemon serves it: one thread per connection.
class ServedCamera {
  public:
    ServedCamera() {
        folder_ = "/tmp/tavlin-bench-" + std::to_string(getpid());
        setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
        std::filesystem::create_directories(folder_);
        ::mkdir(vcam::DaemonSocketDir().c_str(), 0700);
        TavlinVcam_Attach(0);
        TavlinVcam_SetPacing(0, TAVLIN_VCAM_PACING_FAST);
        TavlinVcam_SetScene(0, TAVLIN_VCAM_SCENE_FLAT);
        if (auto fd = vcam::ListenUnixSocket(vcam::DeviceSocketPath(kName))) {
            listener_ = std::move(*fd);
        }
        acceptor_ = std::thread([this] { Accept(); });
    }
    ~ServedCamera() {
        stop_ = true;
        acceptor_.join();
        TavlinVcam_DetachAll();
        for (auto& fd : connections_) ::shutdown(fd.Get(), SHUT_RDWR);
        for (auto& t : servers_) t.join();
        std::filesystem::remove_all(folder_);
    }

  private:
    void Accept() {
        while (!stop_) {
            pollfd p{listener_.Get(), POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            vcam::UniqueFd fd(::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (!fd.Valid()) continue;
            const int raw = fd.Get();
            connections_.push_back(std::move(fd));
            servers_.emplace_back([raw] {
                auto file = vcam::OpenAttachedDeviceFile(kPath);
                vcam::SocketStream stream(raw);
                vcam::ServeDeviceConnection(stream, file.get());
            });
        }
    }

    std::string folder_;
    vcam::UniqueFd listener_;
    std::atomic<bool> stop_{false};
    std::thread acceptor_;
    std::vector<vcam::UniqueFd> connections_;  // touched by the acceptor until it is joined
    std::vector<std::thread> servers_;
};

std::unique_ptr<device::DeviceFile> Open(bool throughSocket) {
    return throughSocket ? vcam::OpenDaemonDeviceFile(kName) : vcam::OpenAttachedDeviceFile(kPath);
}

bool Pipe(device::DeviceFile& file, uint32_t code, uint32_t pipe, void* buffer, uint32_t length) {
    const std::array<uint8_t, 4> number = {uint8_t(pipe), 0, 0, 0};
    uint32_t got = 0;
    return file.IoControl(code, number.data(), 4, buffer, length, &got) && got == length;
}

bool Command(device::DeviceFile& file, std::initializer_list<uint8_t> bytes) {
    std::array<uint8_t, 64> packet{};
    std::copy(bytes.begin(), bytes.end(), packet.begin());
    return Pipe(file, proto::kCodePipeInput, 0, packet.data(), 64);
}

// range(0): 0 in-process, 1 socket; range(1): bits per sample.
void FrameRead(benchmark::State& state) {
    ServedCamera camera;
    auto file = Open(state.range(0) == 1);
    const bool wide = state.range(1) == 16;
    std::vector<uint8_t> frame(size_t(1280) * 1024 * (wide ? 2 : 1));
    if (!file || !Command(*file, {proto::kCmdControllerWrite, proto::controller::kSampleWidth,
                                  uint8_t(wide ? 1 : 0)})) {
        state.SkipWithError("no camera");
        return;
    }
    for (auto _ : state) {
        std::array<uint8_t, 64> request{proto::kCmdFrameRequest};
        if (!Pipe(*file, proto::kCodePipeOutput, 0, request.data(), 64) ||
            !Pipe(*file, proto::kCodePipeInput, 2, frame.data(), uint32_t(frame.size()))) {
            state.SkipWithError("frame read failed");
            break;
        }
        benchmark::DoNotOptimize(frame.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frame.size()));
}

// A sensor register read as the SDK makes it: the command, then two reply reads.
void RegisterRead(benchmark::State& state) {
    ServedCamera camera;
    auto file = Open(state.range(0) == 1);
    if (!file) {
        state.SkipWithError("no camera");
        return;
    }
    std::array<uint8_t, 64> block{};
    for (auto _ : state) {
        if (!Command(*file, {proto::kCmdSensorRead, proto::sensor::kShutter}) ||
            !Pipe(*file, proto::kCodePipeOutput, 1, block.data(), 64) ||
            !Pipe(*file, proto::kCodePipeOutput, 1, block.data(), 64)) {
            state.SkipWithError("register read failed");
            break;
        }
    }
}

void MemcpyFrame(benchmark::State& state) {
    std::vector<uint8_t> source(size_t(1280) * 1024 * (state.range(0) / 8), 0x5A);
    std::vector<uint8_t> destination(source.size());
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), source.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(source.size()));
}

}  // namespace

// Real time: through the socket the work happens on the serving thread.
BENCHMARK(FrameRead)->ArgNames({"socket", "bits"})->ArgsProduct({{0, 1}, {8, 16}})->UseRealTime();
BENCHMARK(RegisterRead)->ArgName("socket")->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(MemcpyFrame)->ArgName("bits")->Arg(8)->Arg(16);
BENCHMARK_MAIN();
