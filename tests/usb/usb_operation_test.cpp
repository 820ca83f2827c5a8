#include "usb/usb_operation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <vector>

namespace tavlin::usb {
namespace {

constexpr uint16_t kPacket = 512;

// Records what the operation asks of the device; the test completes pieces itself.
class RecordingIo : public PieceIo {
  public:
    SubmitResult Submit(size_t piece) override {
        std::lock_guard guard(mutex_);
        if (inFlightLimit_ > 0 && InFlightLocked() >= inFlightLimit_) return refusal_;
        submitted_.push_back(piece);
        maxInFlight_ = std::max(maxInFlight_, InFlightLocked());
        return SubmitResult::kOk;
    }
    void Cancel(size_t piece) override {
        std::lock_guard guard(mutex_);
        cancelled_.insert(piece);
        changed_.notify_all();
    }

    // The test completes piece i: it is no longer in flight.
    void Done(size_t piece) {
        std::lock_guard guard(mutex_);
        done_.insert(piece);
    }
    void LimitInFlight(size_t limit, SubmitResult refusal) {
        std::lock_guard guard(mutex_);
        inFlightLimit_ = limit;
        refusal_ = refusal;
    }
    std::vector<size_t> Submitted() {
        std::lock_guard guard(mutex_);
        return submitted_;
    }
    std::set<size_t> Cancelled() {
        std::lock_guard guard(mutex_);
        return cancelled_;
    }
    size_t MaxInFlight() {
        std::lock_guard guard(mutex_);
        return maxInFlight_;
    }
    void WaitForCancel(size_t piece) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return cancelled_.count(piece) > 0; });
    }

  private:
    size_t InFlightLocked() const { return submitted_.size() - done_.size(); }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<size_t> submitted_;
    std::set<size_t> cancelled_;
    std::set<size_t> done_;
    size_t inFlightLimit_ = 0;
    SubmitResult refusal_ = SubmitResult::kNoMemory;
    size_t maxInFlight_ = 0;
};

// Wait() on its own thread, as IoControl's caller.
class Waiter {
  public:
    explicit Waiter(Operation& operation, uint32_t inactivityMs = 0, uint32_t quietEndMs = 0)
        : thread_([this, &operation, inactivityMs, quietEndMs] {
              outcome_ = operation.Wait(inactivityMs, &moved_, quietEndMs);
          }) {}
    ~Waiter() {
        if (thread_.joinable()) thread_.join();
    }
    Outcome Join(uint32_t* moved) {
        thread_.join();
        *moved = moved_;
        return outcome_;
    }

  private:
    Outcome outcome_ = Outcome::kFailed;
    uint32_t moved_ = 0xDEAD;
    std::thread thread_;
};

struct Fixture {
    explicit Fixture(std::vector<uint32_t> lengths) : operation(&file, lengths, kPacket) {}
    void Complete(size_t piece, PieceStatus status, uint32_t actual) {
        io.Done(piece);
        operation.Complete(piece, status, actual);
    }
    int file = 0;
    RecordingIo io;
    Operation operation;
};

TEST(UsbOperation, AFullFrameCompletesEveryPieceWithoutCancelling) {
    Fixture f({4 * kPacket, 4 * kPacket, 100});
    f.operation.Start(f.io);
    EXPECT_EQ(f.io.Submitted(), (std::vector<size_t>{0, 1, 2}));  // all in flight at once
    Waiter waiter(f.operation);
    f.Complete(0, PieceStatus::kCompleted, 4 * kPacket);
    f.Complete(1, PieceStatus::kCompleted, 4 * kPacket);
    f.Complete(2, PieceStatus::kCompleted, 100);
    uint32_t moved = 0;
    EXPECT_EQ(waiter.Join(&moved), Outcome::kComplete);
    EXPECT_EQ(moved, 8u * kPacket + 100u);
    EXPECT_TRUE(f.io.Cancelled().empty());
}

TEST(UsbOperation, AShortPieceEndsTheReadAndCancelsWhatIsQueuedBehind) {
    Fixture f({4 * kPacket, 4 * kPacket, 4 * kPacket});
    f.operation.Start(f.io);
    Waiter waiter(f.operation);
    f.Complete(0, PieceStatus::kCompleted, 4 * kPacket);
    f.Complete(1, PieceStatus::kCompleted, 300);
    EXPECT_EQ(f.io.Cancelled(), (std::set<size_t>{2}));
    // Whatever the cancelled piece caught belongs to no frame.
    f.Complete(2, PieceStatus::kCompleted, 4 * kPacket);
    uint32_t moved = 0;
    EXPECT_EQ(waiter.Join(&moved), Outcome::kShort);
    EXPECT_EQ(moved, 4u * kPacket + 300u);
}

TEST(UsbOperation, AnEmptyFrameIsShortWithNoBytes) {
    Fixture f({4 * kPacket, 4 * kPacket});
    f.operation.Start(f.io);
    Waiter waiter(f.operation);
    f.Complete(0, PieceStatus::kCompleted, 0);
    f.Complete(1, PieceStatus::kCancelled, 0);
    uint32_t moved = 1;
    EXPECT_EQ(waiter.Join(&moved), Outcome::kShort);
    EXPECT_EQ(moved, 0u);
}

TEST(UsbOperation, OverflowReportsMoreThanRequested) {
    Fixture f({4 * kPacket, 1000});
    f.operation.Start(f.io);
    Waiter waiter(f.operation);
    f.Complete(0, PieceStatus::kCompleted, 4 * kPacket);
    f.Complete(1, PieceStatus::kOverflow, 1000);
    uint32_t moved = 0;
    EXPECT_EQ(waiter.Join(&moved), Outcome::kLong);
    EXPECT_EQ(moved, f.operation.Requested() + kPacket);
}

TEST(UsbOperation, ErrorsOfAPieceEndTheRequest) {
    const std::pair<PieceStatus, Outcome> cases[] = {
        {PieceStatus::kNoDevice, Outcome::kGone},
        {PieceStatus::kTimedOut, Outcome::kTimedOut},
        {PieceStatus::kError, Outcome::kFailed},
        {PieceStatus::kCancelled, Outcome::kCancelled}};
    for (const auto& [status, outcome] : cases) {
        Fixture f({4 * kPacket, 4 * kPacket});
        f.operation.Start(f.io);
        Waiter waiter(f.operation);
        f.Complete(0, status, 0);
        EXPECT_EQ(f.io.Cancelled(), (std::set<size_t>{1}));
        f.Complete(1, PieceStatus::kCancelled, 0);
        uint32_t moved = 0;
        EXPECT_EQ(waiter.Join(&moved), outcome);
    }
}

TEST(UsbOperation, WhenTheKernelIsShortOfBuffersTheRestFollowAsPiecesComplete) {
    Fixture f({kPacket, kPacket, kPacket, kPacket, 10});
    f.io.LimitInFlight(2, SubmitResult::kNoMemory);
    f.operation.Start(f.io);
    EXPECT_EQ(f.io.Submitted(), (std::vector<size_t>{0, 1}));
    Waiter waiter(f.operation);
    f.Complete(0, PieceStatus::kCompleted, kPacket);
    f.Complete(1, PieceStatus::kCompleted, kPacket);
    f.Complete(2, PieceStatus::kCompleted, kPacket);
    f.Complete(3, PieceStatus::kCompleted, kPacket);
    f.Complete(4, PieceStatus::kCompleted, 10);
    uint32_t moved = 0;
    EXPECT_EQ(waiter.Join(&moved), Outcome::kComplete);
    EXPECT_EQ(moved, 4u * kPacket + 10u);
    EXPECT_EQ(f.io.Submitted(), (std::vector<size_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(f.io.MaxInFlight(), 2u);
}

TEST(UsbOperation, ARefusedFirstSubmissionFailsAtOnce) {
    for (auto [refusal, outcome] : {std::pair{SubmitResult::kNoMemory, Outcome::kFailed},
                                    std::pair{SubmitResult::kFailed, Outcome::kFailed},
                                    std::pair{SubmitResult::kNoDevice, Outcome::kGone}}) {
        Fixture f({kPacket, kPacket});
        struct Refuse : PieceIo {
            SubmitResult result;
            SubmitResult Submit(size_t) override { return result; }
            void Cancel(size_t) override { ADD_FAILURE() << "nothing was in flight"; }
        } io;
        io.result = refusal;
        f.operation.Start(io);
        uint32_t moved = 1;
        EXPECT_EQ(f.operation.Wait(0, &moved), outcome);
        EXPECT_EQ(moved, 0u);
    }
}

TEST(UsbOperation, AbortCancelsThePiecesInFlight) {
    Fixture f({4 * kPacket, 4 * kPacket});
    f.operation.Start(f.io);
    Waiter waiter(f.operation);
    std::thread canceller([&] { f.operation.Abort(Outcome::kCancelled); });
    f.io.WaitForCancel(0);
    f.io.WaitForCancel(1);
    canceller.join();
    f.Complete(0, PieceStatus::kCancelled, 0);
    f.Complete(1, PieceStatus::kCancelled, 0);
    uint32_t moved = 1;
    EXPECT_EQ(waiter.Join(&moved), Outcome::kCancelled);
    EXPECT_EQ(moved, 0u);
}

TEST(UsbOperation, AbortBeforeStartSubmitsNothing) {
    Fixture f({kPacket});
    f.operation.Abort(Outcome::kCancelled);
    f.operation.Start(f.io);
    EXPECT_TRUE(f.io.Submitted().empty());
    uint32_t moved = 1;
    EXPECT_EQ(f.operation.Wait(0, &moved), Outcome::kCancelled);
}

TEST(UsbOperation, NothingArrivingWithinTheInactivityLimitTimesOut) {
    Fixture f({4 * kPacket, 4 * kPacket});
    f.operation.Start(f.io);
    Waiter waiter(f.operation, 5);
    f.io.WaitForCancel(0);
    f.io.WaitForCancel(1);
    f.Complete(0, PieceStatus::kCancelled, 0);
    f.Complete(1, PieceStatus::kCancelled, 0);
    uint32_t moved = 1;
    EXPECT_EQ(waiter.Join(&moved), Outcome::kTimedOut);
}

TEST(UsbOperation, AFrameThatEndsOnAPieceBoundaryEndsShortAfterTheQuietTime) {
    Fixture f({4 * kPacket, 4 * kPacket});
    f.operation.Start(f.io);
    Waiter waiter(f.operation, 0, 5);
    f.Complete(0, PieceStatus::kCompleted, 4 * kPacket);
    f.io.WaitForCancel(1);
    f.Complete(1, PieceStatus::kCancelled, 0);
    uint32_t moved = 0;
    EXPECT_EQ(waiter.Join(&moved), Outcome::kShort);
    EXPECT_EQ(moved, 4 * kPacket);
}

TEST(UsbOperation, TheQuietTimeNeverEndsARequestBeforeItsFirstBytes) {
    Fixture f({4 * kPacket, 4 * kPacket});
    f.operation.Start(f.io);
    Waiter waiter(f.operation, 0, 100);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));  // past the quiet time
    EXPECT_TRUE(f.io.Cancelled().empty());
    f.Complete(0, PieceStatus::kCompleted, 4 * kPacket);
    f.Complete(1, PieceStatus::kCompleted, 4 * kPacket);
    uint32_t moved = 0;
    EXPECT_EQ(waiter.Join(&moved), Outcome::kComplete);
    EXPECT_EQ(moved, 8 * kPacket);
}

TEST(UsbCameraRequests, CancelReachesOnlyThatFileAndStays) {
    std::atomic<bool> gone{false};
    CameraRequests requests(gone);
    int fileA = 0;
    int fileB = 0;
    Operation a(&fileA, {kPacket}, kPacket);
    Operation b(&fileB, {kPacket}, kPacket);
    RecordingIo ioA;
    RecordingIo ioB;
    ASSERT_TRUE(requests.Begin(a));
    ASSERT_TRUE(requests.Begin(b));
    a.Start(ioA);
    b.Start(ioB);
    requests.CancelFile(&fileA);
    EXPECT_EQ(ioA.Cancelled(), (std::set<size_t>{0}));
    EXPECT_TRUE(ioB.Cancelled().empty());
    a.Complete(0, PieceStatus::kCancelled, 0);
    b.Complete(0, PieceStatus::kCompleted, kPacket);
    uint32_t moved = 0;
    EXPECT_EQ(a.Wait(0, &moved), Outcome::kCancelled);
    EXPECT_EQ(b.Wait(0, &moved), Outcome::kComplete);
    requests.End(a);
    requests.End(b);

    // Every later request of the cancelled file fails; the other file goes on.
    Operation later(&fileA, {kPacket}, kPacket);
    EXPECT_FALSE(requests.Begin(later));
    EXPECT_FALSE(requests.Usable(&fileA));
    EXPECT_TRUE(requests.Usable(&fileB));
    // A new file at the closed one's address starts afresh.
    requests.ForgetFile(&fileA);
    EXPECT_TRUE(requests.Usable(&fileA));
}

TEST(UsbCameraRequests, LossOfTheDeviceFailsEveryFileNowAndLater) {
    std::atomic<bool> gone{false};
    CameraRequests requests(gone);
    int fileA = 0;
    int fileB = 0;
    Operation a(&fileA, {kPacket, kPacket}, kPacket);
    RecordingIo io;
    ASSERT_TRUE(requests.Begin(a));
    a.Start(io);
    requests.MarkGone();
    EXPECT_TRUE(gone);
    EXPECT_EQ(io.Cancelled(), (std::set<size_t>{0, 1}));
    a.Complete(0, PieceStatus::kNoDevice, 0);
    a.Complete(1, PieceStatus::kCancelled, 0);
    uint32_t moved = 0;
    EXPECT_EQ(a.Wait(0, &moved), Outcome::kGone);
    requests.End(a);
    Operation b(&fileB, {kPacket}, kPacket);
    EXPECT_FALSE(requests.Begin(b));
    EXPECT_FALSE(requests.Usable(&fileB));
}

TEST(UsbCameraRequests, GoneSetElsewhereStopsNewRequests) {
    std::atomic<bool> gone{false};
    CameraRequests requests(gone);
    int file = 0;
    gone = true;  // hotplug saw the device leave
    Operation operation(&file, {kPacket}, kPacket);
    EXPECT_FALSE(requests.Begin(operation));
    EXPECT_TRUE(requests.Gone());
}

// A device that completes submitted pieces in order on its own thread, as the event thread
// does, honouring cancels that reach it first.
class ThreadedDevice : public PieceIo {
  public:
    explicit ThreadedDevice(std::vector<uint32_t> lengths) : lengths_(std::move(lengths)) {}
    ~ThreadedDevice() override { Stop(); }

    void Attach(Operation& operation) {
        operation_ = &operation;
        thread_ = std::thread([this] { Run(); });
    }
    void Stop() {
        {
            std::lock_guard guard(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    SubmitResult Submit(size_t piece) override {
        std::lock_guard guard(mutex_);
        queue_.push_back(piece);
        ++submissions_;
        changed_.notify_all();
        return SubmitResult::kOk;
    }
    void Cancel(size_t piece) override {
        std::lock_guard guard(mutex_);
        cancelled_.insert(piece);
    }
    int Completions() const { return completions_; }
    int Submissions() const { return submissions_; }

  private:
    void Run() {
        for (;;) {
            size_t piece = 0;
            bool cancelled = false;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return stop_ || !queue_.empty(); });
                if (queue_.empty()) return;
                piece = queue_.front();
                queue_.pop_front();
                cancelled = cancelled_.count(piece) > 0;
            }
            ++completions_;
            operation_->Complete(piece,
                                 cancelled ? PieceStatus::kCancelled : PieceStatus::kCompleted,
                                 cancelled ? 0 : lengths_[piece]);
        }
    }

    const std::vector<uint32_t> lengths_;
    Operation* operation_ = nullptr;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<size_t> queue_;
    std::set<size_t> cancelled_;
    bool stop_ = false;
    std::atomic<int> completions_{0};
    std::atomic<int> submissions_{0};
    std::thread thread_;
};

TEST(UsbOperation, CancelRacingCompletionAlwaysEndsWithEveryPieceBack) {
    std::mt19937 random(7);
    const std::vector<uint32_t> lengths(6, kPacket);
    std::atomic<bool> gone{false};
    CameraRequests requests(gone);
    int file = 0;
    for (int round = 0; round < 300; ++round) {
        requests.ForgetFile(&file);
        Operation operation(&file, lengths, kPacket);
        ThreadedDevice device(lengths);
        ASSERT_TRUE(requests.Begin(operation));
        device.Attach(operation);
        const int spin = static_cast<int>(random() % 200);
        std::thread canceller([&] {
            for (int i = 0; i < spin; ++i) std::this_thread::yield();
            requests.CancelFile(&file);
        });
        operation.Start(device);
        uint32_t moved = 0;
        const Outcome outcome = operation.Wait(0, &moved);
        canceller.join();
        requests.End(operation);
        device.Stop();
        // Wait() returned only when every piece submitted had come back.
        EXPECT_EQ(device.Completions(), device.Submissions()) << "round " << round;
        if (outcome == Outcome::kComplete) {
            EXPECT_EQ(moved, 6u * kPacket);
        } else {
            ASSERT_EQ(outcome, Outcome::kCancelled) << "round " << round;
        }
        EXPECT_FALSE(requests.Usable(&file));
    }
}

}  // namespace
}  // namespace tavlin::usb
