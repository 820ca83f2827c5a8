// Test helper: a user's own program streaming in-process virtual cameras at device indices 0..3
// for as long as the test suite runs beside it.
//   background_streamer <state folder> [limit seconds]
// Writes <folder>/ready once every camera has delivered a frame, streams until SIGTERM or SIGINT
// (or the limit, 3 hours unless given), then writes <folder>/status: "ok" and the frames of each
// camera, or "failed" and why. Exits 0 only when every stream ran throughout.
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tavlin/tavlin.h"
#include "tavlin/tavlin_host.h"
#include "tavlin/tavlin_vcam.h"

namespace {

constexpr int kCameras = 4;
// Long exposures keep the cameras at about ten frames a second: the suite should share the
// machine with a streaming program, not with a load test.
constexpr int32_t kExposureUs = 100000;

std::atomic<bool> stopRequested{false};

void OnSignal(int) {
    stopRequested.store(true);
}

struct Stream {
    int32_t camera = 0;
    TAVLIN_HWND frames = nullptr;
    std::vector<uint8_t> image = std::vector<uint8_t>(160 * 128);
    uint64_t received = 0;
    std::string failure;
};

bool Start(int index, TAVLIN_HWND events, Stream& stream) {
    if (TavlinVcam_Attach(index) != 1) return false;
    stream.frames = TavlinHost_CreateMessageWindow();
    stream.camera = Tavlin_Initialize(events);
    return stream.camera != 0 && Tavlin_SetDeviceNumber(stream.camera, index) == 1 &&
           Tavlin_SetColorMode(stream.camera, 8) == 1 &&
           Tavlin_SetSubSample(stream.camera, 3) == 1 &&
           Tavlin_SetRealExposureTime(stream.camera, kExposureUs) == 1 &&
           Tavlin_CallBackPreview(stream.camera, stream.frames, stream.image.data(),
                                  static_cast<int32_t>(stream.image.size()), 1) == 1;
}

// Takes every frame message waiting; a message without a record is a stream failure.
void Drain(Stream& stream, int32_t waitMs) {
    TavlinMessage m;
    while (TavlinHost_GetMessage(stream.frames, &m, waitMs) == 1) {
        waitMs = 0;
        if (m.message != TAVLIN_MSG_FRAME) continue;
        if (m.wParam != 0) {
            ++stream.received;
        } else if (stream.failure.empty()) {
            stream.failure = "stream failure " + std::to_string(m.lParam);
        }
    }
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::trunc) << text << '\n';
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: background_streamer <state folder> [limit seconds]\n");
        return 64;
    }
    const std::string folder = argv[1];
    const long limitSeconds = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 3 * 3600;
    signal(SIGTERM, OnSignal);
    signal(SIGINT, OnSignal);

    TAVLIN_HWND events = TavlinHost_CreateMessageWindow();
    std::vector<Stream> streams(kCameras);
    for (int i = 0; i < kCameras; ++i) {
        if (!Start(i, events, streams[i])) {
            const int32_t code =
                streams[i].camera != 0 ? Tavlin_GetLastError(streams[i].camera) : 0;
            WriteFile(folder + "/status", "failed to start camera " + std::to_string(i) +
                                              " (error " + std::to_string(code) + ")");
            return 1;
        }
    }
    for (Stream& stream : streams) {
        for (int tries = 0; tries < 100 && stream.received == 0; ++tries) Drain(stream, 100);
    }
    bool ready = true;
    for (const Stream& stream : streams) ready = ready && stream.received > 0;
    if (ready) WriteFile(folder + "/ready", "streaming");

    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
    while (ready && !stopRequested.load() && std::chrono::steady_clock::now() < limit) {
        for (Stream& stream : streams) Drain(stream, 25);
    }
    for (Stream& stream : streams) Drain(stream, 0);

    std::string status = "ok";
    if (!ready) status = "failed: a camera delivered no first frame";
    if (!stopRequested.load()) status = "failed: not stopped within the limit";
    for (int i = 0; i < kCameras; ++i) {
        if (!streams[i].failure.empty())
            status = "failed: camera " + std::to_string(i) + ": " + streams[i].failure;
    }
    for (const Stream& stream : streams) status += " " + std::to_string(stream.received);
    for (Stream& stream : streams) {
        Tavlin_StopPreview(stream.camera);
        Tavlin_Release(stream.camera);
        TavlinHost_DestroyWindow(stream.frames);
    }
    TavlinHost_DestroyWindow(events);
    TavlinVcam_DetachAll();
    WriteFile(folder + "/status", status);
    return status.rfind("ok", 0) == 0 ? 0 : 1;
}
