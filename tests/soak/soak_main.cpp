// Soak: many initialise -> preview -> stop -> release cycles, then a long stream with injected
// driver faults and recordings, on the in-process virtual camera through the shared library as
// an application uses it. Afterwards the process must hold what it held before: descriptors,
// threads, shared-memory objects and mappings, and resident memory within a margin.
//
//   tavlin_soak [--cycles N] [--stream-seconds S] [--fault-percent P] [--folder DIR]
//
// Prints its figures and exits 0 when everything came back to the baseline, 1 otherwise.
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/process_resources.h"
#include "tavlin/tavlin.h"
#include "tavlin/tavlin_host.h"
#include "tavlin/tavlin_vcam.h"

namespace {

using tavlin::test::ProcessResources;
using Clock = std::chrono::steady_clock;

// Not device 0, which most tests use: the claim table is the machine's, and a test streaming
// from device 0 in another process at the same time would refuse the soak's starts.
constexpr int32_t kDevice = 5;

// Resident memory is measured after the allocator has given its free memory back; it may still
// settle a little above the start (arena bookkeeping, lazily touched library pages). A leaked
// frame buffer per cycle or per restart goes far beyond this. Under the sanitizers the
// allocator keeps freed memory in quarantine on purpose, so only descriptors, threads and shared
// memory are checked there.
// Runs of the same length have ended either about 1 MiB or about 11 MiB above the start, so the
// margin takes in the allocator's state; a leaked frame buffer per cycle or restart over a run
// of hundreds would be gigabytes.
constexpr int64_t kResidentMarginKiB = 16 * 1024;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kCheckResident = false;
#else
constexpr bool kCheckResident = true;
#endif

// Shared-memory objects the library makes are named after its claim section (this run's own when
// TAVLIN_SHARED_SECTION names one); other programs' objects come and go as they please.
std::string SectionStem() {
    const char* name = std::getenv("TAVLIN_SHARED_SECTION");
    return name != nullptr && name[0] == '/' ? std::string(name + 1) : "KORVEL_USBCAMERA";
}

int64_t TrimmedResidentKiB() {
    malloc_trim(0);
    return tavlin::test::ResidentKiB();
}

struct Options {
    int cycles = 1000;
    int streamSeconds = 300;
    double faultPercent = 1.0;
    std::string folder = "/tmp";
};

struct Figures {
    int cycles = 0;
    int cycleFailures = 0;
    uint64_t cycleFrames = 0;
    uint64_t streamFrames = 0;
    uint64_t faultsInjected = 0;
    uint64_t streamFailures8 = 0;
    uint64_t streamFailures13 = 0;
    uint64_t restarts = 0;
    uint64_t recordings = 0;
    uint64_t unexpected = 0;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const char* value = argv[i + 1];
        if (key == "--cycles") {
            options.cycles = std::atoi(value);
        } else if (key == "--stream-seconds") {
            options.streamSeconds = std::atoi(value);
        } else if (key == "--fault-percent") {
            options.faultPercent = std::atof(value);
        } else if (key == "--folder") {
            options.folder = value;
        } else {
            return false;
        }
    }
    return argc % 2 == 1 && options.cycles >= 0 && options.streamSeconds >= 0;
}

// Frames delivered to the frame window within the time; failures are counted on the way.
int TakeFrames(TAVLIN_HWND frames, int wanted, int timeoutMs, Figures& figures) {
    int seen = 0;
    TavlinMessage m;
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (seen < wanted && Clock::now() < end) {
        if (TavlinHost_GetMessage(frames, &m, 100) != 1 || m.message != TAVLIN_MSG_FRAME) continue;
        if (m.wParam != 0) {
            ++seen;
        } else if (m.lParam == TAVLIN_ERR_TRANSFER) {
            ++figures.streamFailures8;
        } else if (m.lParam == TAVLIN_ERR_STREAM_STOPPED) {
            ++figures.streamFailures13;
            break;
        } else {
            ++figures.unexpected;
        }
    }
    return seen;
}

void Drain(TAVLIN_HWND window) {
    TavlinMessage m;
    while (TavlinHost_PeekMessage(window, &m)) {
    }
}

// One application lifetime: open, stream a few frames, stop, release.
bool Cycle(TAVLIN_HWND events, TAVLIN_HWND frames, std::vector<uint8_t>& buffer, Figures& figures) {
    const int32_t camera = Tavlin_Initialize(events);
    if (camera == 0) return false;
    if (Tavlin_SetDeviceNumber(camera, kDevice) != 1) {
        Tavlin_Release(camera);
        return false;
    }
    bool ok = Tavlin_CallBackPreview(camera, frames, buffer.data(),
                                     static_cast<int32_t>(buffer.size()), 1) == 1;
    if (ok) {
        const int seen = TakeFrames(frames, 2, 5000, figures);
        figures.cycleFrames += static_cast<uint64_t>(seen);
        ok = seen == 2;
    }
    if (!ok) {
        std::fprintf(stderr, "cycle %d failed:", figures.cycles);
        for (int32_t c = Tavlin_GetLastError(camera); c != 0; c = Tavlin_GetLastError(camera)) {
            std::fprintf(stderr, " %d", c);
        }
        std::fprintf(stderr, "\n");
    }
    ok = Tavlin_StopPreview(camera) == 1 && ok;
    ok = Tavlin_Release(camera) == 1 && ok;
    Drain(events);
    Drain(frames);
    return ok;
}

// Injects a fault into about `percent` % of the frames the camera produces.
class FaultInjector {
  public:
    FaultInjector(double percent, Figures& figures) : percent_(percent), figures_(figures) {
        thread_ = std::thread([this] { Run(); });
    }
    ~FaultInjector() {
        stop_.store(true);
        thread_.join();
    }

  private:
    void Run() {
        static constexpr int32_t kKinds[] = {
            TAVLIN_VCAM_FAULT_FRAME_READ,   TAVLIN_VCAM_FAULT_SHORT_FRAME,
            TAVLIN_VCAM_FAULT_LONG_FRAME,   TAVLIN_VCAM_FAULT_EMPTY_FRAME,
            TAVLIN_VCAM_FAULT_COMMAND_SEND, TAVLIN_VCAM_FAULT_REPLY_READ};
        std::mt19937 random(12345);
        std::uniform_real_distribution<double> chance(0.0, 100.0);
        std::uniform_int_distribution<size_t> kind(0, std::size(kKinds) - 1);
        // Only frames from now on: the camera's counters run since it was plugged in.
        uint64_t seen = Produced();
        while (!stop_.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const uint64_t produced = Produced();
            for (; seen < produced; ++seen) {
                if (chance(random) >= percent_) continue;
                TavlinVcam_FailNext(kDevice, kKinds[kind(random)], 1);
                ++figures_.faultsInjected;
            }
        }
    }

    static uint64_t Produced() {
        TavlinVcamCounters c{};
        if (TavlinVcam_GetCounters(kDevice, &c) != 1) return 0;
        return c.framesDelivered + c.framesShort + c.framesFailed;
    }

    double percent_;
    Figures& figures_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Streams for the given time with faults injected, alternating callback preview and recording;
// a stream that stopped (13) is stopped and started again, as an application would.
void LongStream(const Options& options, TAVLIN_HWND events, TAVLIN_HWND frames,
                std::vector<uint8_t>& buffer, Figures& figures) {
    const int32_t camera = Tavlin_Initialize(events);
    if (camera == 0 || Tavlin_SetDeviceNumber(camera, kDevice) != 1) {
        ++figures.unexpected;
        if (camera != 0) Tavlin_Release(camera);
        return;
    }
    TavlinVcam_SetPacing(kDevice, TAVLIN_VCAM_PACING_REAL_TIME);
    const std::string clip = options.folder + "/soak-clip.avi";
    FaultInjector injector(options.faultPercent, figures);
    const auto end = Clock::now() + std::chrono::seconds(options.streamSeconds);
    for (int segment = 0; Clock::now() < end; ++segment) {
        if (segment % 4 == 3) {
            // A two-second recording (it runs the preview itself), stopped after it finished.
            if (Tavlin_Record(camera, clip.c_str(), 2000, 0) == 1) ++figures.recordings;
            std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        } else {
            if (Tavlin_CallBackPreview(camera, frames, buffer.data(),
                                       static_cast<int32_t>(buffer.size()), 1) != 1) {
                ++figures.unexpected;
            }
            const auto segmentEnd = std::min(end, Clock::now() + std::chrono::seconds(5));
            while (Clock::now() < segmentEnd) {
                const uint64_t failedBefore = figures.streamFailures13;
                figures.streamFrames +=
                    static_cast<uint64_t>(TakeFrames(frames, 1000, 500, figures));
                if (figures.streamFailures13 != failedBefore) {
                    // The run ended on a fault: start again.
                    Tavlin_StopPreview(camera);
                    ++figures.restarts;
                    Tavlin_CallBackPreview(camera, frames, buffer.data(),
                                           static_cast<int32_t>(buffer.size()), 1);
                }
            }
        }
        Tavlin_StopPreview(camera);
        while (Tavlin_GetLastError(camera) != 0) {
        }
        Drain(events);
        Drain(frames);
    }
    Tavlin_Release(camera);
    for (int32_t kind = 0; kind <= TAVLIN_VCAM_FAULT_EMPTY_FRAME; ++kind) {
        TavlinVcam_FailNext(kDevice, kind, 0);
    }
    std::filesystem::remove(clip);
}

bool Check(const char* what, int64_t before, int64_t after, int64_t margin = 0) {
    const bool ok = after <= before + margin;
    std::printf("  %-16s before %-10lld after %-10lld %s\n", what, static_cast<long long>(before),
                static_cast<long long>(after), ok ? "ok" : "GREW");
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--cycles N] [--stream-seconds S] [--fault-percent P] "
                     "[--folder DIR]\n",
                     argv[0]);
        return 2;
    }
    // Settings of the soak's cameras go to its own folder, never the user's.
    const std::string config = options.folder + "/soak-config-" + std::to_string(getpid());
    std::filesystem::create_directories(config);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);

    TavlinVcam_DetachAll();
    TavlinVcam_Attach(kDevice);
    TavlinVcam_SetPacing(kDevice, TAVLIN_VCAM_PACING_FAST);
    TAVLIN_HWND events = TavlinHost_CreateMessageWindow();
    TAVLIN_HWND frames = TavlinHost_CreateMessageWindow();
    std::vector<uint8_t> buffer(1280 * 1024 * 4);
    Figures figures;

    // Warm-up: what the library keeps for the whole process (the claim section, its first
    // threads) is in place before the baseline is taken.
    Figures warmUp;
    for (int i = 0; i < 3; ++i) Cycle(events, frames, buffer, warmUp);
    ProcessResources before = ProcessResources::Now();
    before.residentKiB = TrimmedResidentKiB();
    const int shmBefore = tavlin::test::SharedObjects(SectionStem());

    const auto started = Clock::now();
    for (int i = 0; i < options.cycles; ++i) {
        ++figures.cycles;
        if (!Cycle(events, frames, buffer, figures)) ++figures.cycleFailures;
    }
    const double cycleSeconds = std::chrono::duration<double>(Clock::now() - started).count();
    const auto streamStarted = Clock::now();
    if (options.streamSeconds > 0) LongStream(options, events, frames, buffer, figures);
    const double streamSeconds =
        std::chrono::duration<double>(Clock::now() - streamStarted).count();

    TavlinVcamCounters counters{};
    TavlinVcam_GetCounters(kDevice, &counters);
    const int threadsAfter = tavlin::test::SettledThreadCount(before.threads);
    const int fdsAfter = tavlin::test::SettledDescriptors(before.descriptors);
    // Once the workers have gone, so their memory is free to give back.
    ProcessResources after = ProcessResources::Now();
    after.residentKiB = TrimmedResidentKiB();
    const int shmAfter = tavlin::test::SharedObjects(SectionStem());

    std::printf("soak: %d cycles in %.1f s (%d failed, %llu frames), stream %.1f s\n",
                figures.cycles, cycleSeconds, figures.cycleFailures,
                static_cast<unsigned long long>(figures.cycleFrames), streamSeconds);
    std::printf(
        "stream: %llu frames delivered, %llu faults injected, %llu stream failures 8, %llu "
        "stream stops 13, %llu restarts, %llu recordings, %llu unexpected\n",
        static_cast<unsigned long long>(figures.streamFrames),
        static_cast<unsigned long long>(figures.faultsInjected),
        static_cast<unsigned long long>(figures.streamFailures8),
        static_cast<unsigned long long>(figures.streamFailures13),
        static_cast<unsigned long long>(figures.restarts),
        static_cast<unsigned long long>(figures.recordings),
        static_cast<unsigned long long>(figures.unexpected));
    std::printf("camera: %llu frames read whole, %llu with a wrong count, %llu failed\n",
                static_cast<unsigned long long>(counters.framesDelivered),
                static_cast<unsigned long long>(counters.framesShort),
                static_cast<unsigned long long>(counters.framesFailed));
    bool ok = true;
    ok = Check("descriptors", before.descriptors, fdsAfter) && ok;
    ok = Check("threads", before.threads, threadsAfter) && ok;
    ok = Check("shm objects", shmBefore, shmAfter) && ok;
    ok = Check("shm mappings", before.sharedMappings, after.sharedMappings) && ok;
    std::printf("  resident after: anonymous %lld KiB, files %lld KiB, shared memory %lld KiB\n",
                static_cast<long long>(tavlin::test::StatusValue("RssAnon")),
                static_cast<long long>(tavlin::test::StatusValue("RssFile")),
                static_cast<long long>(tavlin::test::StatusValue("RssShmem")));
    const bool residentOk =
        Check("resident KiB", before.residentKiB, after.residentKiB, kResidentMarginKiB);
    ok = (residentOk || !kCheckResident) && ok;
    // Every cycle streams; a failed one is a fault of the library, not of the camera.
    ok = ok && figures.cycleFailures == 0 && figures.unexpected == 0;
    if (options.streamSeconds > 0) ok = ok && figures.streamFrames > 0;

    TavlinHost_DestroyWindow(events);
    TavlinHost_DestroyWindow(frames);
    TavlinVcam_DetachAll();
    std::filesystem::remove_all(config);
    std::printf("soak: %s\n", ok ? "passed" : "FAILED");
    return ok ? 0 : 1;
}
