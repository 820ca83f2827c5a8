#if TAVLIN_HAVE_X11

#include "window/x11_display.h"

#include "window/host_window.h"
#include "window/x11_error_handlers.h"

#include <X11/extensions/XShm.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

namespace tavlin::platform {

namespace {

constexpr int32_t kConnectTimeoutMs = 5000;

std::atomic<X11Display*> gDisplayObject{nullptr};

}  // namespace

X11Display* X11Display::Instance() {
    // Leaked on purpose: a thread parked after the server died may still reference it at exit.
    static X11Display* const instance = [] {
        const char* name = std::getenv("DISPLAY");
        if (name == nullptr || *name == '\0') return static_cast<X11Display*>(nullptr);
        // Built first, so it is destroyed after the exit guard below has stopped the thread.
        WindowRegistry::Instance();
        auto* display = new X11Display();
        if (!display->Start()) return static_cast<X11Display*>(nullptr);
        return display;
    }();
    struct ExitGuard {
        ~ExitGuard() {
            if (instance != nullptr) instance->StopForExit();
        }
    };
    static ExitGuard exitGuard;
    return instance != nullptr && instance->Alive() ? instance : nullptr;
}

bool X11Display::Start() {
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) return false;
    gDisplayObject.store(this);
    std::thread(&X11Display::Run, this).detach();
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(kConnectTimeoutMs),
                      [this] { return connectDone_; });
    // A server that never answers leaves the thread connecting; it is treated as no display.
    return connectDone_ && alive_.load();
}

bool X11Display::Connect() {
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) return false;
    X11ErrorHandlers::Route(display_, &X11Display::OnError, &X11Display::OnIoError);
    const int screen = DefaultScreen(display_);
    visual_ = DefaultVisual(display_, screen);
    depth_ = DefaultDepth(display_, screen);
    screen_ = {DisplayWidth(display_, screen), DisplayHeight(display_, screen)};
    deleteWindow_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    shmUsable_.store(XShmQueryExtension(display_) == True);
    return true;
}

void X11Display::Run() {
    const bool connected = Connect();
    {
        std::lock_guard<std::mutex> guard(mutex_);
        alive_.store(connected);
        connectDone_ = true;
    }
    changed_.notify_all();
    if (!connected) return;
    for (;;) {
        workLock_.lock();
        if (stopping_) {
            workLock_.unlock();
            return;
        }
        RunJobs();
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            Dispatch(event);
        }
        XFlush(display_);
        workLock_.unlock();
        WaitForWork();
    }
}

void X11Display::StopForExit() {
    std::lock_guard<std::mutex> guard(workMutex_);
    stopping_ = true;
}

void X11Display::RunJobs() {
    for (;;) {
        Job job;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            if (jobs_.empty()) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job(display_);
    }
}

void X11Display::WaitForWork() {
    pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) return;
    uint64_t count = 0;
    if (fds[1].revents & POLLIN) {
        [[maybe_unused]] const ssize_t n = read(wakeFd_, &count, sizeof(count));
    }
}

void X11Display::Dispatch(const XEvent& event) {
    const auto found = handlers_.find(event.xany.window);
    if (found != handlers_.end()) found->second(event);
}

void X11Display::Post(Job job) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!alive_.load()) return;
        jobs_.push_back(std::move(job));
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(wakeFd_, &one, sizeof(one));
}

bool X11Display::Call(const Job& job, int32_t timeoutMs) {
    struct Outcome {
        std::mutex mutex;
        std::condition_variable done;
        bool ran = false;
    };
    // Shared, so a job that runs after the caller gave up still has somewhere to report.
    auto outcome = std::make_shared<Outcome>();
    Post([job, outcome](Display* display) {
        job(display);
        std::lock_guard<std::mutex> guard(outcome->mutex);
        outcome->ran = true;
        outcome->done.notify_all();
    });
    std::unique_lock<std::mutex> lock(outcome->mutex);
    return outcome->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return outcome->ran || !alive_.load();
    }) && outcome->ran;
}

void X11Display::Watch(Window window, EventHandler handler) {
    handlers_[window] = std::move(handler);
}

void X11Display::Unwatch(Window window) {
    handlers_.erase(window);
}

bool X11Display::Refused(Display* display, const std::function<void()>& request) {
    const unsigned long first = NextRequest(display);
    request();
    XSync(display, False);
    return refusedSerial_.load() >= first;
}

void X11Display::MarkGone() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        alive_.store(false);
        jobs_.clear();
    }
    changed_.notify_all();
}

int X11Display::OnError(Display* display, XErrorEvent* error) {
    X11Display* self = gDisplayObject.load();
    if (self == nullptr) return 0;
    // Windows an application destroys under us and refused requests are expected; the request
    // that asked checks refusedSerial_.
    self->refusedSerial_.store(error->serial);
    return 0;
}

int X11Display::OnIoError(Display* display) {
    X11Display* self = gDisplayObject.load();
    if (self == nullptr) return 0;
    // Returning would let Xlib exit the process; this thread owns nothing else, so it stops here.
    self->MarkGone();
    if (self->workLock_.owns_lock()) self->workLock_.unlock();
    for (;;) pause();
}

}  // namespace tavlin::platform

#endif  // TAVLIN_HAVE_X11
