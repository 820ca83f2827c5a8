// tavlinsrc ! fakesink next to the SDK's own callback preview (Tavlin_CallBackPreview into an
// application buffer, TAVLIN_MSG_FRAME read from a message window), same colour mode and size,
// from the in-process virtual camera rendering the chart scene as fast as it can.
//
// The two run in turns within one benchmark (short slices, the order swapped every pair), as
// timings on a shared machine drift far more between runs than within one. Each slice opens the
// camera, lets the first frames pass (start-up), then measures process CPU time and wall time
// from one delivered frame to the first one after the slice's time is up: for the element,
// buffers reaching the fakesink's pad; for the callback preview, frame messages. The element is
// registered in this program beside the same SDK copy as the virtual camera, not loaded as a
// plugin.
//
// Counters, per side (element_*, callback_*):
//   *_fps                     frames delivered per second
//   *_cpu_per_frame_ms        process CPU time per delivered frame
//   *_host_cpu_per_frame_ms   the same without the transfer thread, where the virtual camera
//                             renders its frames (some 85 % of the process at full size): what
//                             the SDK and the element cost, the figure to judge the element by
//   *_vcam_per_frame          frames rendered per frame delivered (above 1: frames rendered
//                             and passed over, CPU spent without a frame to show for it)
// and element_over_callback / host_element_over_callback (pooled CPU per frame, element over
// callback) with pair_ratio_median / host_pair_ratio_median (median of the per-pair ratios,
// robust to one disturbed slice).
//
// Run (private settings and claim table, as for every program that opens cameras):
//   cmake --preset bench && cmake --build build/bench --target gstreamer_bench
//   export XDG_CONFIG_HOME=$(mktemp -d) TAVLIN_SHARED_SECTION=/tavlin-gst-bench-$$
//   build/bench/bench/gstreamer_bench
// TAVLIN_BENCH_SLICE_MS and TAVLIN_BENCH_PAIRS change the slice length (default 1000 ms) and the
// number of element/callback pairs per case (default 6); TAVLIN_BENCH_ONLY=element or =callback
// runs one side alone, e.g. under perf record.
//
// Measured on 2 shared vCPUs (AMD EPYC, KVM, load 1-6 from other work), Release, 6-10 pairs of
// 1 s slices; ratios are element over callback, "pair median" the median of the per-pair ratios,
// given as the median and range over 7 runs:
//   case             fps el/cb  CPU/frame ms el/cb  pair median      host ms el/cb  host median
//   colour 24 full   65/59      11.3/11.7           1.00 (.95-1.04)  1.11/1.12      1.01 (.91-1.11)
//   colour 24 sub 1  282/269    2.94/2.95           0.97 (.93-1.05)  0.35/0.35      1.12 (.85-1.28)
//   gray 8 full      83/77      9.32/9.65           1.00 (.96-1.07)  0.38/0.34      1.03 (.98-1.13)
// (fps and ms from the 10-pair run.) On the process as a whole the element costs what the
// callback preview costs; on the SDK's side alone it adds a fixed few hundredths of a ms per
// frame (the frame copied on the streaming thread instead of the acquisition thread, and the
// buffer's way through GStreamer), which shows most at small frames.
#include <benchmark/benchmark.h>
#include <gst/gst.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "tavlin/tavlin.h"
#include "tavlin/tavlin_host.h"
#include "tavlin/tavlin_vcam.h"
#include "tavlin_src.h"

namespace {

constexpr int32_t kDevice = 0;
constexpr int32_t kWidth = TAVLIN_VCAM_SENSOR_WIDTH;
constexpr int32_t kHeight = TAVLIN_VCAM_SENSOR_HEIGHT;
constexpr int64_t kStartupFrames = 5;
constexpr auto kFirstFramesTimeout = std::chrono::seconds(15);
constexpr int32_t kMessageWaitMs = 100;

int EnvOr(const char* name, int fallback) {
    const char* text = getenv(name);
    const int value = text != nullptr ? atoi(text) : 0;
    return value > 0 ? value : fallback;
}

const std::chrono::milliseconds kSlice{EnvOr("TAVLIN_BENCH_SLICE_MS", 1000)};
const int kPairs = EnvOr("TAVLIN_BENCH_PAIRS", 6);

struct Sides {
    bool element = true;
    bool callback = true;
};
Sides SidesFromEnv() {
    const char* only = getenv("TAVLIN_BENCH_ONLY");
    const std::string text = only != nullptr ? only : "";
    return {text != "callback", text != "element"};
}
const Sides kSides = SidesFromEnv();

double Seconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The CPU clocks of the threads that fetch frames from the device: with the virtual camera,
// that is where its frames are rendered, a cost a real camera does not put on the host.
std::vector<clockid_t> TransferThreadClocks() {
    std::vector<clockid_t> clocks;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string comm;
        if (FILE* f = fopen((task.path() / "comm").c_str(), "r")) {
            char text[32] = {};
            if (fgets(text, sizeof(text), f) != nullptr) comm = text;
            fclose(f);
        }
        if (comm.rfind("tavlin-transfer", 0) != 0) continue;
        // The kernel's per-thread CPU clock of a thread of this process, as
        // pthread_getcpuclockid makes it (CPUCLOCK_PERTHREAD | CPUCLOCK_SCHED).
        const pid_t tid = static_cast<pid_t>(std::stol(task.path().filename().string()));
        clocks.push_back(static_cast<clockid_t>((~static_cast<unsigned>(tid) << 3) | 6));
    }
    return clocks;
}

double TransferCpuSeconds(const std::vector<clockid_t>& clocks) {
    double sum = 0;
    for (clockid_t clock : clocks) {
        timespec t{};
        if (clock_gettime(clock, &t) == 0) {
            sum += static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
        }
    }
    return sum;
}

uint64_t VcamFrames() {
    TavlinVcamCounters counters{};
    TavlinVcam_GetCounters(kDevice, &counters);
    return counters.framesDelivered;
}

// The clocks at one delivered frame.
struct Mark {
    int64_t frames = 0;
    double cpu = 0;
    double transferCpu = 0;
    double wall = 0;
    uint64_t vcamFrames = 0;
};

// What one slice spent: the difference of its two marks.
using Slice = Mark;

// Counts the frames of one slice and reads the clocks at two frames: the first measured one, and
// the first after the slice's time is up. Frame() runs on whichever thread sees the frames (the
// element's streaming thread, or the thread reading frame messages), so the window lies between
// two frame arrivals; in between it reads only the monotonic clock, so measuring costs next to
// nothing per frame.
class FrameMarks {
  public:
    // True once the slice is measured.
    bool Frame() {
        if (finished_) return true;
        ++count_;
        // The transfer thread of this slice's camera is found just before the measured frames.
        if (count_ == kStartupFrames - 1) transferClocks_ = TransferThreadClocks();
        if (count_ == kStartupFrames) {
            const Mark first = Take();
            deadline_ = first.wall + std::chrono::duration<double>(kSlice).count();
            std::lock_guard<std::mutex> guard(lock_);
            first_ = first;
            started_ = true;
            changed_.notify_all();
        } else if (count_ > kStartupFrames && Seconds(CLOCK_MONOTONIC) >= deadline_) {
            const Mark last = Take();
            std::lock_guard<std::mutex> guard(lock_);
            last_ = last;
            finished_ = true;
            done_ = true;
            changed_.notify_all();
        }
        return finished_;
    }

    // True once the start-up frames are through; false after `timeout` without.
    bool WaitStarted(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> guard(lock_);
        return changed_.wait_for(guard, timeout, [this] { return started_; });
    }

    bool WaitDone(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> guard(lock_);
        return changed_.wait_for(guard, timeout, [this] { return done_; });
    }

    Slice Measured() {
        std::lock_guard<std::mutex> guard(lock_);
        return {last_.frames - first_.frames, last_.cpu - first_.cpu,
                last_.transferCpu - first_.transferCpu, last_.wall - first_.wall,
                last_.vcamFrames - first_.vcamFrames};
    }

  private:
    Mark Take() const {
        Mark now;
        now.frames = count_;
        now.cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID);
        now.transferCpu = TransferCpuSeconds(transferClocks_);
        now.wall = Seconds(CLOCK_MONOTONIC);
        now.vcamFrames = VcamFrames();
        return now;
    }

    // Only the thread calling Frame() touches these.
    int64_t count_ = 0;
    double deadline_ = 0;
    bool finished_ = false;
    std::vector<clockid_t> transferClocks_;

    std::mutex lock_;
    std::condition_variable changed_;
    bool started_ = false;
    bool done_ = false;
    Mark first_;
    Mark last_;
};

struct Case {
    int32_t colorMode = 0;
    int32_t subSample = 0;
    int32_t width() const { return kWidth >> subSample; }
    int32_t height() const { return kHeight >> subSample; }
    size_t imageBytes() const {
        const size_t stride = (static_cast<size_t>(width()) * (colorMode / 8) + 3) & ~size_t{3};
        return stride * static_cast<size_t>(height());
    }
};

struct GstObjectUnref {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
using GstPtr = std::unique_ptr<GstElement, GstObjectUnref>;

GstPadProbeReturn CountBuffer(GstPad*, GstPadProbeInfo*, gpointer marks) {
    static_cast<FrameMarks*>(marks)->Frame();
    return GST_PAD_PROBE_OK;
}

bool ElementSlice(const Case& c, Slice* out, std::string* error) {
    GstPtr pipeline(gst_pipeline_new(nullptr));
    GstElement* src = gst_element_factory_make("tavlinsrc", nullptr);
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    if (src == nullptr || sink == nullptr) {
        *error = "cannot make tavlinsrc or fakesink";
        return false;
    }
    g_object_set(src, "device", kDevice, "color-mode", c.colorMode, "sub-sample", c.subSample,
                 nullptr);
    g_object_set(sink, "sync", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline.get()), src, sink, nullptr);
    gst_element_link(src, sink);

    FrameMarks marks;
    GstPad* pad = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, CountBuffer, &marks, nullptr);
    gst_object_unref(pad);

    GstBus* bus = gst_element_get_bus(pipeline.get());
    bool ok = gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
    const auto giveUp = std::chrono::steady_clock::now() + kFirstFramesTimeout;
    while (ok && !marks.WaitStarted(std::chrono::milliseconds(kMessageWaitMs))) {
        if (GstMessage* m = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR)) {
            GError* e = nullptr;
            gst_message_parse_error(m, &e, nullptr);
            *error = std::string("tavlinsrc: ") + (e != nullptr ? e->message : "error");
            g_clear_error(&e);
            gst_message_unref(m);
            ok = false;
        } else if (std::chrono::steady_clock::now() > giveUp) {
            *error = "tavlinsrc delivered no frames";
            ok = false;
        }
    }
    if (ok && !marks.WaitDone(kSlice + kFirstFramesTimeout)) {
        *error = "tavlinsrc stopped delivering frames";
        ok = false;
    }
    if (ok) {
        *out = marks.Measured();
    } else if (error->empty()) {
        *error = "the pipeline would not play";
    }
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    gst_object_unref(bus);
    return ok;
}

bool CallbackSlice(const Case& c, TAVLIN_HWND window, std::vector<uint8_t>& image, Slice* out,
                   std::string* error) {
    // The element's own set-up (camera_session.cpp), so both stream the same way: no preview
    // window, full sensor window, no automatic exposure.
    const int32_t camera = Tavlin_Initialize(nullptr);
    bool ok = camera != 0 && Tavlin_SetDeviceNumber(camera, kDevice) == 1 &&
              Tavlin_SetPreviewWindow(camera, nullptr, 0, 0, 0, 0) == 1 &&
              Tavlin_SetSubSample(camera, c.subSample) == 1 &&
              Tavlin_SetCaptureWindowEx(camera, kWidth, 0, kWidth, kHeight, 0, kHeight) == 1 &&
              Tavlin_SetAutoIris(camera, 0) == 1 && Tavlin_SetColorMode(camera, c.colorMode) == 1 &&
              Tavlin_CallBackPreview(camera, window, image.data(),
                                     static_cast<int32_t>(image.size()), 1) == 1;
    if (!ok) *error = "cannot start the callback preview";

    FrameMarks marks;
    const auto giveUp = std::chrono::steady_clock::now() + kFirstFramesTimeout + kSlice;
    while (ok) {
        TavlinMessage m{};
        if (TavlinHost_GetMessage(window, &m, kMessageWaitMs) == 1 &&
            m.message == TAVLIN_MSG_FRAME) {
            if (m.wParam == 0) {
                *error = "the callback preview failed, lParam " + std::to_string(m.lParam);
                ok = false;
                break;
            }
            if (marks.Frame()) break;
        }
        if (std::chrono::steady_clock::now() > giveUp) {
            *error = "the callback preview stopped delivering frames";
            ok = false;
        }
    }
    if (ok) *out = marks.Measured();
    if (camera != 0) {
        Tavlin_StopPreview(camera);
        Tavlin_Release(camera);
    }
    // Notices of frames after the measured one belong to no slice.
    TavlinMessage stale{};
    while (TavlinHost_PeekMessage(window, &stale) == 1) {
    }
    return ok;
}

double PerFrameMs(const Slice& s) {
    return s.frames > 0 ? 1000.0 * s.cpu / static_cast<double>(s.frames) : 0.0;
}

// The same without the transfer thread: what the SDK and the element cost the host per frame.
double HostPerFrameMs(const Slice& s) {
    return s.frames > 0 ? 1000.0 * (s.cpu - s.transferCpu) / static_cast<double>(s.frames) : 0.0;
}

void Add(Slice& total, const Slice& s) {
    total.frames += s.frames;
    total.cpu += s.cpu;
    total.transferCpu += s.transferCpu;
    total.wall += s.wall;
    total.vcamFrames += s.vcamFrames;
}

void BM_ElementVsCallback(benchmark::State& state) {
    const Case c{static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1))};
    TavlinVcam_Attach(kDevice);
    TavlinVcam_SetPacing(kDevice, TAVLIN_VCAM_PACING_FAST);
    TavlinVcam_SetScene(kDevice, TAVLIN_VCAM_SCENE_CHART);
    TAVLIN_HWND window = TavlinHost_CreateMessageWindow();
    std::vector<uint8_t> image(c.imageBytes());

    Slice element;
    Slice callback;
    std::vector<double> pairRatios;
    std::vector<double> hostPairRatios;
    std::string error;
    bool elementFirst = true;
    for (auto _ : state) {
        Slice e;
        Slice b;
        auto runElement = [&] { return !kSides.element || ElementSlice(c, &e, &error); };
        auto runCallback = [&] {
            return !kSides.callback || CallbackSlice(c, window, image, &b, &error);
        };
        const bool ok =
            elementFirst ? runElement() && runCallback() : runCallback() && runElement();
        if (!ok) {
            state.SkipWithError(error.c_str());
            break;
        }
        elementFirst = !elementFirst;
        Add(element, e);
        Add(callback, b);
        if (PerFrameMs(e) > 0 && PerFrameMs(b) > 0) {
            pairRatios.push_back(PerFrameMs(e) / PerFrameMs(b));
            hostPairRatios.push_back(HostPerFrameMs(e) / HostPerFrameMs(b));
        }
        state.SetIterationTime(e.wall + b.wall);
    }
    TavlinHost_DestroyWindow(window);
    TavlinVcam_Detach(kDevice);

    auto median = [](std::vector<double> v) {
        if (v.empty()) return 0.0;
        std::sort(v.begin(), v.end());
        const size_t mid = v.size() / 2;
        return v.size() % 2 != 0 ? v[mid] : 0.5 * (v[mid - 1] + v[mid]);
    };
    auto perSecond = [](const Slice& s) { return s.wall > 0 ? s.frames / s.wall : 0.0; };
    auto vcamPerFrame = [](const Slice& s) {
        return s.frames > 0 ? static_cast<double>(s.vcamFrames) / s.frames : 0.0;
    };
    auto side = [&](const std::string& name, const Slice& total) {
        state.counters[name + "_fps"] = perSecond(total);
        state.counters[name + "_cpu_per_frame_ms"] = PerFrameMs(total);
        state.counters[name + "_host_cpu_per_frame_ms"] = HostPerFrameMs(total);
        state.counters[name + "_vcam_per_frame"] = vcamPerFrame(total);
    };
    if (kSides.element) side("element", element);
    if (kSides.callback) side("callback", callback);
    if (pairRatios.empty()) return;
    state.counters["element_over_callback"] = PerFrameMs(element) / PerFrameMs(callback);
    state.counters["pair_ratio_median"] = median(pairRatios);
    state.counters["host_element_over_callback"] =
        HostPerFrameMs(element) / HostPerFrameMs(callback);
    state.counters["host_pair_ratio_median"] = median(hostPairRatios);
}

void Cases(benchmark::internal::Benchmark* b) {
    b->ArgNames({"mode", "sub"});
    b->Args({24, 0});
    b->Args({24, 1});
    b->Args({8, 0});
}
BENCHMARK(BM_ElementVsCallback)
    ->Apply(Cases)
    ->Iterations(kPairs)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // Settings the cameras save on release stay out of the user's own configuration.
    if (getenv("XDG_CONFIG_HOME") == nullptr) {
        const auto config = std::filesystem::temp_directory_path() / "tavlin-bench-config";
        std::filesystem::create_directories(config);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    }
    gst_init(&argc, &argv);
    if (!gst_element_register(nullptr, "tavlinsrc", GST_RANK_NONE, GST_TYPE_TAVLIN_SRC)) return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
