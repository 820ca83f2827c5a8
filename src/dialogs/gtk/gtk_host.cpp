#include "dialogs/gtk/gtk_host.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <thread>

#if TAVLIN_HAVE_X11
#include "window/x11_display.h"
#include "window/x11_error_handlers.h"
#endif

namespace tavlin::dialogs::gtk {

namespace {

constexpr int32_t kStartTimeoutMs = 5000;

std::atomic<GtkHost*> gHost{nullptr};
// GDK's own error handler, which errors on GTK's connection still go to.
std::atomic<XErrorHandler> gGdkError{nullptr};

unsigned long CurrentThread() {
    return static_cast<unsigned long>(::gettid());
}

}  // namespace

struct HostCallbacks {
    // The GTK thread waits here without the work lock, so exit can take it between dispatches.
    static gint Poll(GPollFD* fds, guint count, gint timeout) {
        GtkHost* host = gHost.load();
        host->holdingWork_ = false;
        host->workMutex_.unlock();
        const gint result = g_poll(fds, count, timeout);
        host->workMutex_.lock();
        host->holdingWork_ = true;
        if (host->stopping_) {
            host->workMutex_.unlock();
            for (;;) pause();
        }
        return result;
    }

    // Errors of GTK's connection only; the shared handlers send the others elsewhere.
    static int OnError(Display* display, XErrorEvent* error) {
        const XErrorHandler gdk = gGdkError.load();
        return gdk != nullptr ? gdk(display, error) : 0;
    }

    static int OnIoError(Display* display) {
        GtkHost* host = gHost.load();
        if (host == nullptr) return 0;
        // Returning would let Xlib (or GDK) end the process; this thread owns nothing else.
        host->MarkGone();
        // Xlib calls this handler with the display locked for the thread; left locked, the
        // first library that touches the display at process exit (libGLX does) would wait
        // for good.
        XUnlockDisplay(display);
        if (host->holdingWork_) host->workMutex_.unlock();
        for (;;) pause();
    }
};

GtkHost* GtkHost::Instance() {
    // Leaked on purpose: a thread parked after the server died still references it at exit.
    static GtkHost* const instance = [] {
        const char* name = std::getenv("DISPLAY");
        if (name == nullptr || *name == '\0') return static_cast<GtkHost*>(nullptr);
#if TAVLIN_HAVE_X11
        // The preview connection installs its X error handlers first, so ours chain to them
        // whatever opens first later.
        platform::X11Display::Instance();
#endif
        auto* host = new GtkHost();
        if (!host->Start()) return static_cast<GtkHost*>(nullptr);
        return host;
    }();
    struct ExitGuard {
        ~ExitGuard() {
            if (instance == nullptr) return;
            std::lock_guard<std::mutex> guard(instance->workMutex_);
            instance->stopping_ = true;
        }
    };
    static ExitGuard exitGuard;
    return instance != nullptr && instance->Alive() ? instance : nullptr;
}

bool GtkHost::Start() {
    gHost.store(this);
    std::thread(&GtkHost::Run, this).detach();
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(kStartTimeoutMs),
                      [this] { return startDone_; });
    return startDone_ && alive_.load();
}

bool GtkHost::Initialise() {
    // An application that uses GTK or the default main context itself keeps them to itself.
    if (gdk_display_get_default() != nullptr) return false;
    if (!g_main_context_acquire(g_main_context_default())) return false;
    // GTK would otherwise switch the whole process to the environment's locale.
    gtk_disable_setlocale();
    gdk_set_allowed_backends("x11");
    // GDK sets its own handlers while it opens its display; the shared ones go back in front
    // afterwards and keep GDK's error handler for GTK's connection only.
    platform::X11ErrorHandlers::Reinstall();
    GdkDisplay* display = gtk_init_check(nullptr, nullptr) ? gdk_display_get_default() : nullptr;
    if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) {
        platform::X11ErrorHandlers::Reinstall();
        return false;
    }
    Display* connection = gdk_x11_display_get_xdisplay(display);
    gGdkError.store(platform::X11ErrorHandlers::Reinstall());
    platform::X11ErrorHandlers::Route(connection, &HostCallbacks::OnError,
                                      &HostCallbacks::OnIoError);
    return true;
}

void GtkHost::Run() {
    threadId_.store(CurrentThread());
    const bool started = Initialise();
    {
        std::lock_guard<std::mutex> guard(mutex_);
        alive_.store(started);
        startDone_ = true;
    }
    changed_.notify_all();
    if (!started) return;
    workMutex_.lock();
    holdingWork_ = true;
    g_main_context_set_poll_func(g_main_context_default(), &HostCallbacks::Poll);
    for (;;) g_main_context_iteration(g_main_context_default(), TRUE);
}

void GtkHost::Post(Job job) {
    {
        // Handed over under our own lock (GLib's own synchronisation is invisible to
        // ThreadSanitizer); the main context is only woken to run the queue.
        std::lock_guard<std::mutex> guard(mutex_);
        if (!alive_.load()) return;
        jobs_.push_back(std::move(job));
    }
    g_main_context_invoke(
        g_main_context_default(),
        [](gpointer) -> gboolean {
            if (GtkHost* host = gHost.load()) host->RunJobs();
            return G_SOURCE_REMOVE;
        },
        nullptr);
}

void GtkHost::RunJobs() {
    for (;;) {
        Job job;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            if (jobs_.empty() || !alive_.load()) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

bool GtkHost::OnGtkThread() const {
    return threadId_.load() == CurrentThread();
}

bool GtkHost::Call(const Job& job, int32_t timeoutMs) {
    if (OnGtkThread()) {
        job();
        return true;
    }
    struct Outcome {
        std::mutex mutex;
        std::condition_variable done;
        bool ran = false;
    };
    // Shared, so work that runs after the caller gave up still has somewhere to report.
    auto outcome = std::make_shared<Outcome>();
    Post([job, outcome] {
        job();
        std::lock_guard<std::mutex> guard(outcome->mutex);
        outcome->ran = true;
        outcome->done.notify_all();
    });
    std::unique_lock<std::mutex> lock(outcome->mutex);
    return outcome->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return outcome->ran || !alive_.load();
    }) && outcome->ran;
}

void GtkHost::SetLostListener(std::function<void()> listener) {
    std::lock_guard<std::mutex> guard(mutex_);
    lostListener_ = std::move(listener);
}

void GtkHost::MarkGone() {
    std::function<void()> listener;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        alive_.store(false);
        jobs_.clear();
        listener = lostListener_;
    }
    changed_.notify_all();
    if (listener) listener();
}

}  // namespace tavlin::dialogs::gtk
