// Random exports with random arguments against the virtual camera for a bounded time: no crash,
// no hang (a watchdog aborts with the seed), no write outside the memory given, and descriptors
// and threads back where they started. TAVLIN_RANDOM_CALLS_SECONDS lengthens the run,
// TAVLIN_RANDOM_CALLS_SEED repeats one.
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <random>
#include <set>
#include <thread>

#include "integration/bad_arguments_fixture.h"
#include "integration/export_probes.h"

namespace tavlin::test {
namespace {

using Clock = std::chrono::steady_clock;

size_t CountEntries(const char* folder) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
    return count;
}

struct ResourceCounts {
    size_t descriptors = 0;
    size_t threads = 0;
    bool operator==(const ResourceCounts&) const = default;
};

ResourceCounts Count() {
    return {CountEntries("/proc/self/fd"), CountEntries("/proc/self/task")};
}

double EnvNumber(const char* name, double fallback) {
    const char* text = getenv(name);
    return text != nullptr && *text != '\0' ? std::strtod(text, nullptr) : fallback;
}

// Aborts the process, naming the seed and the call, when one call takes far too long.
class Watchdog {
  public:
    Watchdog(uint64_t seed, std::chrono::seconds limit) : seed_(seed), limit_(limit) {
        thread_ = std::thread([this] { Watch(); });
    }
    ~Watchdog() {
        stop_ = true;
        thread_.join();
    }
    void Enter(const char* call) {
        call_ = call;
        since_ = Clock::now().time_since_epoch().count();
    }

  private:
    void Watch() {
        while (!stop_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const auto since = Clock::time_point(Clock::duration(since_.load()));
            if (Clock::now() - since > limit_) {
                std::fprintf(stderr, "random calls: %s hangs (seed %llu)\n", call_.load(),
                             static_cast<unsigned long long>(seed_));
                std::abort();
            }
        }
    }

    const uint64_t seed_;
    const std::chrono::seconds limit_;
    std::atomic<bool> stop_{false};
    std::atomic<const char*> call_{"start"};
    std::atomic<Clock::rep> since_{Clock::now().time_since_epoch().count()};
    std::thread thread_;
};

class RandomCallsTest : public OwnDeviceTest {
  protected:
    void SetUp() override {
        OwnDeviceTest::SetUp();
        ASSERT_EQ(TavlinVcam_Attach(kDevice + 1), 1);
        TavlinVcam_SetPacing(kDevice + 1, TAVLIN_VCAM_PACING_FAST);
        const char* seedText = getenv("TAVLIN_RANDOM_CALLS_SEED");
        seed_ = seedText != nullptr ? std::strtoull(seedText, nullptr, 10) : std::random_device{}();
        rng_.seed(seed_);
    }

    int32_t Value(int32_t fixed) {
        switch (Pick(10)) {
            case 0:
            case 1:
            case 2:
            case 3:
                return fixed;
            case 4:
            case 5:
                return int32_t(Pick(74)) - 3;
            case 6:
                return std::array{0, 1, -1, 255, 256, 1280, 1024}[Pick(7)];
            case 7:
                return Pick(2) ? INT_MIN : INT_MAX;
            case 8:
                return fixed + int32_t(Pick(5)) - 2;
            default:
                return int32_t(rng_());
        }
    }

    // A length the memory really has room for, or a lie towards less (negative included).
    int32_t Length(int32_t size) {
        switch (Pick(6)) {
            case 0:
                return 0;
            case 1:
                return -int32_t(Pick(1000)) - 1;
            case 2:
                return Pick(2) ? INT_MIN : size;
            default:
                return int32_t(Pick(uint32_t(size) + 1));
        }
    }

    uint32_t Pick(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng_); }

    int32_t PickHandle() {
        const uint32_t kind = Pick(20);
        if (kind < 17 && !live_.empty()) return live_[Pick(uint32_t(live_.size()))];
        if (kind < 18 && !released_.empty()) return *released_.begin();
        return std::array{0, -1, 1, INT_MIN, INT_MAX, int32_t(rng_())}[Pick(6)];
    }

    void FillNames(ProbeOutputs& out) {
        static const char* const kNames[] = {"r0.bmp", "r1.png", "r2.tif", "r3.jpg", "rec.avi"};
        switch (Pick(5)) {
            case 0:
                out.fileName = "";
                break;
            case 1:
                out.fileName = (home_ / "missing" / "x.bmp").string();
                break;
            default:
                out.fileName = (home_ / kNames[Pick(5)]).string();
        }
        out.wideFileName = std::u16string(out.fileName.begin(), out.fileName.end());
        if (Pick(6) == 0) {
            out.wideFileName += u'\xDC00';  // a lone surrogate
        }
    }

    // Runs one random call and checks the memory it was given.
    void OneCall(Watchdog& watchdog) {
        static const std::set<std::string> kDialogs = {"Tavlin_SetAnalogDlg", "Tavlin_SetCameraDlg",
                                                       "Tavlin_SetImageDlg"};
        const auto& probes = ExportProbes();
        const ExportProbe& probe = probes[Pick(uint32_t(probes.size()))];
        const std::string name = probe.name;
        const int32_t h = PickHandle();
        const bool known = std::find(live_.begin(), live_.end(), h) != live_.end();
        watchdog.Enter(probe.name);
        if (name == "Tavlin_Initialize") {
            if (live_.size() < 3) {
                const int32_t fresh = Tavlin_Initialize(Pick(2) ? window_ : nullptr);
                ASSERT_NE(fresh, 0);
                live_.push_back(fresh);
            }
            return;
        }
        if (name == "Tavlin_Release") {
            EXPECT_EQ(Tavlin_Release(h), known ? 1 : 0);
            if (known) {
                live_.erase(std::find(live_.begin(), live_.end(), h));
                released_.insert(h);
            }
            return;
        }
        if (kDialogs.count(name) != 0) {
            if (known) DialogAndCancel(probe, h);
            return;
        }
        // The acquisition thread keeps writing into a buffer a stream was started with, so
        // every call's memory lives until the cameras are released.
        kept_.push_back(std::make_unique<ProbeOutputs>());
        ProbeOutputs& out = *kept_.back();
        out.vary = [this](int32_t fixed) { return Value(fixed); };
        out.dropPointer = [this] { return Pick(8) == 0; };
        out.shrink = [this](int32_t size) { return Length(size); };
        FillNames(out);
        if (name == "Tavlin_Record" || name == "Tavlin_RecordW") {
            // Short recordings keep the files small; the arguments are random all the same.
            out.vary = [this](int32_t fixed) {
                return fixed == 100 ? int32_t(Pick(300)) : Value(fixed);
            };
        }
        const int32_t result = probe.call(h, out);
        if (!known && probe.takesHandle) {
            EXPECT_EQ(result, probe.notFound) << name;
            EXPECT_TRUE(out.Untouched()) << name;
        }
        EXPECT_TRUE(out.ints.FencesIntact() && out.bytes.FencesIntact() &&
                    out.names.FencesIntact() && out.wideNames.FencesIntact() &&
                    out.info.FencesIntact())
            << name << " wrote outside its memory";
        if (name != "Tavlin_CallBackPreview" && name != "Tavlin_Trigger") kept_.pop_back();
    }

    void DialogAndCancel(const ExportProbe& probe, int32_t h) {
        ProbeOutputs out;
        std::thread runner([&] { probe.call(h, out); });
        TAVLIN_HWND dialog = TavlinHost_FindCameraDialog(h, 5000);
        if (dialog != nullptr) TavlinHost_DialogClose(dialog);
        runner.join();
    }

    // Ends what the run left behind, as an application would before counting its resources.
    void ReleaseAll() {
        for (const int32_t h : live_) {
            EXPECT_EQ(Tavlin_Release(h), 1);
        }
        live_.clear();
        for (const auto& out : kept_) {
            EXPECT_TRUE(out->bytes.FencesIntact()) << "a stream wrote outside its buffer";
        }
        kept_.clear();
    }

    uint64_t seed_ = 0;
    std::mt19937_64 rng_;
    std::vector<int32_t> live_;
    std::set<int32_t> released_;
    std::vector<std::unique_ptr<ProbeOutputs>> kept_;
};

TEST_F(RandomCallsTest, RandomExportsWithRandomArguments) {
    const double seconds = EnvNumber("TAVLIN_RANDOM_CALLS_SECONDS", 3);
    SCOPED_TRACE("seed " + std::to_string(seed_) + " (TAVLIN_RANDOM_CALLS_SEED repeats it)");
    std::cout << "random calls: seed " << seed_ << ", " << seconds << " s\n";
    // Lazily started services (message queues, the display thread) exist before counting, and
    // no camera does.
    ASSERT_EQ(Tavlin_Preview(camera_), 1);
    ASSERT_EQ(Tavlin_Release(camera_), 1);
    camera_ = 0;
    const ResourceCounts baseline = Count();
    const int32_t first = Tavlin_Initialize(window_);
    ASSERT_NE(first, 0);
    ASSERT_EQ(Tavlin_SetDeviceNumber(first, kDevice), 1);
    ASSERT_EQ(Tavlin_SetSubSample(first, 3), 1);
    live_.push_back(first);

    size_t calls = 0;
    {
        Watchdog watchdog(seed_, std::chrono::seconds(30));
        const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < deadline && !HasFatalFailure()) {
            if (Pick(20) == 0) {
                TavlinVcam_Trigger(Pick(2) ? kDevice : kDevice + 1, int32_t(Pick(3)));
                continue;
            }
            OneCall(watchdog);
            ++calls;
        }
        watchdog.Enter("release");
        ReleaseAll();
    }
    std::cout << "random calls: " << calls << " calls\n";
    // Threads end as they are joined; give the system a moment to drop their entries.
    ResourceCounts now = Count();
    for (int i = 0; i < 100 && !(now == baseline); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        now = Count();
    }
    EXPECT_EQ(now.descriptors, baseline.descriptors);
    EXPECT_EQ(now.threads, baseline.threads);
}

}  // namespace
}  // namespace tavlin::test
