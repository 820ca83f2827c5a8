#if TAVLIN_HAVE_X11

#include "window/x11_error_handlers.h"

#include <array>
#include <atomic>
#include <mutex>

namespace tavlin::platform {

namespace {

// The library opens at most a preview connection and a dialog connection.
constexpr size_t kMaxRoutes = 4;

struct ConnectionRoute {
    std::atomic<Display*> connection{nullptr};
    std::atomic<X11ErrorHandlers::ErrorHandler> onError{nullptr};
    std::atomic<X11ErrorHandlers::IoErrorHandler> onIoError{nullptr};
};

std::array<ConnectionRoute, kMaxRoutes> gRoutes;
std::mutex gInstallMutex;
bool gInstalled = false;
// The handlers in place before the first install (the application's, or Xlib's own).
std::atomic<X11ErrorHandlers::ErrorHandler> gEarlierError{nullptr};
std::atomic<X11ErrorHandlers::IoErrorHandler> gEarlierIoError{nullptr};

const ConnectionRoute* RouteOf(Display* display) {
    for (const ConnectionRoute& route : gRoutes) {
        if (route.connection.load() == display) return &route;
    }
    return nullptr;
}

int OnError(Display* display, XErrorEvent* error) {
    if (const ConnectionRoute* route = RouteOf(display); route != nullptr) {
        const X11ErrorHandlers::ErrorHandler handler = route->onError.load();
        return handler != nullptr ? handler(display, error) : 0;
    }
    const X11ErrorHandlers::ErrorHandler earlier = gEarlierError.load();
    return earlier != nullptr ? earlier(display, error) : 0;
}

int OnIoError(Display* display) {
    if (const ConnectionRoute* route = RouteOf(display); route != nullptr) {
        const X11ErrorHandlers::IoErrorHandler handler = route->onIoError.load();
        if (handler != nullptr) return handler(display);
    }
    const X11ErrorHandlers::IoErrorHandler earlier = gEarlierIoError.load();
    return earlier != nullptr ? earlier(display) : 0;
}

// Called with gInstallMutex held.
X11ErrorHandlers::ErrorHandler InstallLocked() {
    const X11ErrorHandlers::ErrorHandler replacedError = XSetErrorHandler(&OnError);
    const X11ErrorHandlers::IoErrorHandler replacedIoError = XSetIOErrorHandler(&OnIoError);
    if (!gInstalled) {
        gInstalled = true;
        gEarlierError.store(replacedError);
        gEarlierIoError.store(replacedIoError);
        return nullptr;
    }
    return replacedError == &OnError ? nullptr : replacedError;
}

}  // namespace

void X11ErrorHandlers::Route(Display* connection, ErrorHandler onError, IoErrorHandler onIoError) {
    std::lock_guard<std::mutex> guard(gInstallMutex);
    if (!gInstalled) InstallLocked();
    for (ConnectionRoute& route : gRoutes) {
        Display* current = route.connection.load();
        if (current != nullptr && current != connection) continue;
        // Handlers first, so an error racing the registration never finds the connection
        // without them.
        route.onError.store(onError);
        route.onIoError.store(onIoError);
        route.connection.store(connection);
        return;
    }
}

X11ErrorHandlers::ErrorHandler X11ErrorHandlers::Reinstall() {
    std::lock_guard<std::mutex> guard(gInstallMutex);
    return InstallLocked();
}

}  // namespace tavlin::platform

#endif  // TAVLIN_HAVE_X11
