// Register and SROM requests that hang are cancelled after the watchdog's limit.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "device/request_watchdog.h"
#include "diag/log.h"

namespace tavlin::device {
namespace {

using namespace std::chrono_literals;

// A file whose requests block until the file is cancelled, unless told to answer at once.
class HangingFile : public device::DeviceFile {
  public:
    explicit HangingFile(bool hangs) : hangs_(hangs) {}

    bool IoControl(uint32_t, const void*, uint32_t, void*, uint32_t, uint32_t* returned) override {
        *returned = 0;
        std::unique_lock lock(mutex_);
        if (!hangs_) return !cancelled_;
        wake_.wait(lock, [&] { return cancelled_; });
        return false;
    }

    void Cancel() override {
        std::lock_guard guard(mutex_);
        cancelled_ = true;
        wake_.notify_all();
    }

    bool Cancelled() {
        std::lock_guard guard(mutex_);
        return cancelled_;
    }

  private:
    const bool hangs_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool cancelled_ = false;
};

bool Request(device::DeviceFile& file) {
    uint32_t returned = 0;
    return file.IoControl(0, nullptr, 0, nullptr, 0, &returned);
}

struct Logged {
    std::mutex mutex;
    std::string text;
    int32_t camera = 0;
};

void KeepMessage(void* context, int32_t, const char* category, int32_t camera, int64_t,
                 const char* message) {
    auto* logged = static_cast<Logged*>(context);
    std::lock_guard<std::mutex> guard(logged->mutex);
    logged->text += std::string(category) + ": " + message + "\n";
    logged->camera = camera;
}

TEST(RequestWatchdog, AHungRequestFailsOnceItsLimitHasPassed) {
    Logged logged;
    ASSERT_TRUE(diag::SetCallback(KeepMessage, &logged, diag::Level::Warn));
    // The watchdog's thread logs for the camera whose request started it.
    const diag::CameraScope scope(31);
    RequestWatchdog watchdog(50ms);
    HangingFile file(true);
    const auto start = std::chrono::steady_clock::now();
    {
        RequestWatchdog::Watch watch(&watchdog, &file);
        EXPECT_FALSE(Request(file));
    }
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
    EXPECT_TRUE(file.Cancelled());
    EXPECT_EQ(watchdog.Cancelled(), 1u);
    diag::SetCallback(nullptr, nullptr, diag::Level::Off);
    EXPECT_EQ(logged.text, "device: watchdog cancelled a request that ran past its 50 ms limit\n");
    EXPECT_EQ(logged.camera, 31);
}

TEST(RequestWatchdog, RequestsThatAnswerAreNeverCancelledEvenLongAfter) {
    RequestWatchdog watchdog(20ms);
    HangingFile first(false);
    HangingFile second(false);
    {
        RequestWatchdog::Watch watch(&watchdog, &first);
        EXPECT_TRUE(Request(first));
    }
    {
        RequestWatchdog::Watch watch(&watchdog, &second);
        EXPECT_TRUE(Request(second));
    }
    std::this_thread::sleep_for(60ms);
    EXPECT_FALSE(first.Cancelled());
    EXPECT_FALSE(second.Cancelled());
    EXPECT_EQ(watchdog.Cancelled(), 0u);
}

TEST(RequestWatchdog, HungRequestsOnSeveralThreadsAreEachCancelled) {
    RequestWatchdog watchdog(30ms);
    constexpr int kThreads = 4;
    std::vector<std::unique_ptr<HangingFile>> files;
    for (int i = 0; i < kThreads; ++i) files.push_back(std::make_unique<HangingFile>(i % 2 == 0));
    std::atomic<int> failed{0};
    std::vector<std::thread> threads;
    for (auto& file : files) {
        threads.emplace_back([&watchdog, &failed, f = file.get()] {
            RequestWatchdog::Watch watch(&watchdog, f);
            if (!Request(*f)) ++failed;
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failed.load(), kThreads / 2);
    EXPECT_EQ(watchdog.Cancelled(), uint64_t(kThreads / 2));
}

TEST(RequestWatchdog, ANullWatchdogWatchesNothingAndAnUnusedOneEndsAtOnce) {
    HangingFile file(false);
    {
        RequestWatchdog::Watch watch(nullptr, &file);
        EXPECT_TRUE(Request(file));
    }
    RequestWatchdog unused(10ms);
    EXPECT_EQ(unused.Cancelled(), 0u);
}

}  // namespace
}  // namespace tavlin::device
