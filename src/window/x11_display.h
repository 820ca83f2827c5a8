// The process's one connection to the X server, owned by one thread. Other threads hand it jobs;
// only that thread calls Xlib on this connection, so frames never wait on the server and a server
// that goes away strands only that thread: its I/O error handler parks it for good instead of
// letting Xlib end the process, and every later job is dropped.
#pragma once

#include <X11/Xlib.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <unordered_map>

#include "window/window_presenter.h"

namespace tavlin::platform {

class X11Display {
  public:
    using Job = std::function<void(Display*)>;
    using EventHandler = std::function<void(const XEvent&)>;

    // The connected display, or null when there is none ($DISPLAY unset, refused, gone).
    // The first call connects; the object lives until the process ends.
    static X11Display* Instance();

    bool Alive() const { return alive_.load(); }
    ClientSize Screen() const { return screen_; }
    Visual* ScreenVisual() const { return visual_; }
    int Depth() const { return depth_; }
    bool ShmUsable() const { return shmUsable_.load(); }
    void DisableShm() { shmUsable_.store(false); }

    // Queues a job for the display thread. Dropped once the display is gone.
    void Post(Job job);
    // Runs a job on the display thread and waits for it, up to timeoutMs. False when it did not
    // run (display gone, time-out).
    bool Call(const Job& job, int32_t timeoutMs);

    // Display thread only: events of a window go to its handler.
    void Watch(Window window, EventHandler handler);
    void Unwatch(Window window);

    // Display thread only: runs `request` and reports whether the server refused it.
    bool Refused(Display* display, const std::function<void()>& request);

    Atom DeleteWindowAtom() const { return deleteWindow_; }

  private:
    X11Display() = default;
    bool Start();
    void Run();
    bool Connect();
    void RunJobs();
    void Dispatch(const XEvent& event);
    void WaitForWork();
    void MarkGone();
    // At process exit: waits for the job or event in hand, then lets the thread go idle for good,
    // so it never touches objects that exit is destroying.
    void StopForExit();

    static int OnError(Display* display, XErrorEvent* error);
    static int OnIoError(Display* display);

    Display* display_ = nullptr;
    Visual* visual_ = nullptr;
    int depth_ = 0;
    ClientSize screen_;
    Atom deleteWindow_ = 0;
    int wakeFd_ = -1;
    std::atomic<bool> alive_{false};
    std::atomic<bool> shmUsable_{false};
    std::atomic<unsigned long> refusedSerial_{0};

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    bool connectDone_ = false;

    std::unordered_map<Window, EventHandler> handlers_;  // display thread only

    // Held by the display thread while it runs jobs and handlers.
    std::mutex workMutex_;
    std::unique_lock<std::mutex> workLock_{workMutex_, std::defer_lock};
    bool stopping_ = false;  // guarded by workMutex_
};

}  // namespace tavlin::platform
