// One modal dialog from creation to its end, run on the thread that opened it. The thread
// dispatches the dialog's messages and the work other threads hand it: posts (fire and forget,
// e.g. refreshes from the acquisition thread) and sends (run, then report back, e.g. automation).
//
// Without a presenter that shows the dialog to a user, a run that hears from no automation client
// for the idle time-out is closed as with the close box (Cancel), so a caller without a display
// is never blocked for good.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>

#include "dialogs/dialog.h"

namespace tavlin::dialogs {

inline constexpr int32_t kDefaultIdleTimeoutMs = 60000;

// Process-wide idle time-out for runs without an interactive presenter; negative: none. Open runs
// follow a change at once. Returns the previous value.
int32_t SetIdleTimeout(int32_t milliseconds);
int32_t IdleTimeout();

struct ModalOptions {
    int32_t ownerKey = 0;                    // the camera handle the dialog was opened for
    platform::WindowHandle ownerWindow = 0;  // the parent window the caller named
};

class Presenter;

class ModalRun : public std::enable_shared_from_this<ModalRun> {
  public:
    static std::shared_ptr<ModalRun> Create(const ModalOptions& options);

    // Creates the dialog, initialises it and serves it on the calling thread until it ends.
    // Returns the EndDialog result.
    int32_t Execute(const DialogTemplate& source, DialogProcedure& procedure);

    // Queues work for the dialog's thread. False once the run has ended.
    bool Post(std::function<void()> job);
    // Runs the work on the dialog's thread (at once when called there) and waits for it. False
    // when the run ended before the work ran. Counts as activity for the idle time-out.
    bool Send(std::function<void()> job);

    // The idle time-out counts again from now, and the run looks again at whether it applies
    // (a presenter lost its screen). Any thread.
    void RestartIdleTime();

    // Dialog's thread: marks the run ended; the loop returns after the current work.
    void End(int32_t result);
    bool Ended() const { return ended_.load(); }

    // Dialog's thread: the top-level dialog (null before Execute) and any dialog of the run.
    Dialog* Top() { return top_.get(); }
    Dialog* FindDialog(platform::WindowHandle window);

    int32_t OwnerKey() const { return options_.ownerKey; }
    int64_t ThreadId() const { return threadId_.load(); }
    platform::WindowHandle TopHandle() const { return topHandle_.load(); }

    explicit ModalRun(const ModalOptions& options) : options_(options) {}

  private:
    struct Job {
        std::function<void()> work;
        std::shared_ptr<std::promise<bool>> done;  // set by sends only
    };

    void Serve(Presenter* presenter);
    // The next piece of work; false when idleMs (negative: no limit) passed without activity.
    bool NextJob(Job& job, int32_t idleMs);
    void RunJob(Job& job);
    void CloseQueue();

    const ModalOptions options_;
    std::unique_ptr<Dialog> top_;
    std::atomic<bool> ended_{false};
    int32_t result_ = kIdCancel;
    std::atomic<int64_t> threadId_{0};
    std::atomic<platform::WindowHandle> topHandle_{0};

    std::mutex mutex_;  // guards the queue below
    std::condition_variable arrived_;
    std::deque<Job> jobs_;
    bool closed_ = false;
    std::chrono::steady_clock::time_point lastActivity_;
};

}  // namespace tavlin::dialogs
