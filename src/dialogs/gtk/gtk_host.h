// The SDK's one GTK thread. GTK is single-threaded: this thread initialises it, owns the default
// main context and is the only one that calls GTK; other threads hand it work. It is started by
// the first call when $DISPLAY names a server GTK can open, and never when the application
// already uses GTK or runs the default main context itself.
//
// A server that goes away strands only this thread: its I/O error handler marks the host gone and
// parks the thread for good (Xlib would otherwise end the process), and later work is dropped.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

namespace tavlin::dialogs::gtk {

class GtkHost {
  public:
    using Job = std::function<void()>;

    // The running host, or null (no display, GTK could not start, the display is gone).
    static GtkHost* Instance();

    bool Alive() const { return alive_.load(); }

    // Queues work for the GTK thread; dropped once the display is gone.
    void Post(Job job);
    // Runs work on the GTK thread (at once when called there) and waits up to timeoutMs. False
    // when it did not run.
    bool Call(const Job& job, int32_t timeoutMs);
    bool OnGtkThread() const;

    // Called once, on the GTK thread, when the display goes away (before the thread parks).
    void SetLostListener(std::function<void()> listener);

  private:
    GtkHost() = default;
    bool Start();
    void Run();
    bool Initialise();
    void MarkGone();
    void RunJobs();
    friend struct HostCallbacks;

    std::atomic<bool> alive_{false};
    std::atomic<unsigned long> threadId_{0};

    std::mutex mutex_;  // guards the start-up handshake, the queue and the listener
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    bool startDone_ = false;
    std::function<void()> lostListener_;

    // Held by the GTK thread except while it waits in poll; process exit takes it so the thread
    // never dispatches while static objects are destroyed.
    std::mutex workMutex_;
    bool stopping_ = false;     // guarded by workMutex_
    bool holdingWork_ = false;  // GTK thread only
};

}  // namespace tavlin::dialogs::gtk
