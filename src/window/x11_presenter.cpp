#if TAVLIN_HAVE_X11

#include <X11/Xutil.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "window/host_surface_window.h"
#include "window/x11_display.h"
#include "window/x11_image.h"

namespace tavlin::platform {

namespace {

constexpr int32_t kCallTimeoutMs = 3000;
constexpr char kResourceClass[] = "Tavlin";

struct Frame {
    std::vector<uint8_t> pixels;  // packed B, G, R, x rows
    int32_t width = 0;
    int32_t height = 0;
};

// One on-screen window. The display thread owns everything but the frame hand-off.
struct X11Window {
    X11Display* display = nullptr;
    Window id = 0;
    bool owned = true;  // false for an application's window we only wrap
    bool child = false;
    PresenterListener listener;
    GC gc = nullptr;
    bool destroyed = false;
    bool hiddenByUs = false;
    bool minimised = false;
    ClientSize size;
    Frame shown;  // the last frame drawn, redrawn on exposure
    ShmImage shm;

    std::mutex frameMutex;  // guards the two below
    Frame pending;
    bool drawQueued = false;
};

void Notify(X11Window& window, PresenterNotice notice) {
    if (window.listener) window.listener(notice);
}

void DrawShown(X11Window& window, Display* display) {
    const Frame& frame = window.shown;
    if (window.destroyed || window.hiddenByUs || window.minimised || frame.width <= 0 ||
        frame.height <= 0) {
        return;
    }
    const ClientSize size{frame.width, frame.height};
    if (window.display->ShmUsable()) {
        if (!window.shm.Fits(size) && !window.shm.Create(*window.display, display, size)) {
            window.display->DisableShm();  // refused once: plain images from now on
        }
    }
    if (window.display->ShmUsable() && window.shm.Fits(size)) {
        FillImage(window.shm.Image(), frame.pixels.data(), frame.width, frame.height,
                  frame.width * 4);
        window.shm.Put(display, window.id, window.gc);
        return;
    }
    PutPlainImage(*window.display, display, window.id, window.gc, frame.pixels.data(), frame.width,
                  frame.height, frame.width * 4);
}

void OnEvent(X11Window& window, Display* display, const XEvent& event) {
    switch (event.type) {
        case ConfigureNotify: {
            const ClientSize size{event.xconfigure.width, event.xconfigure.height};
            if (size.width == window.size.width && size.height == window.size.height) return;
            window.size = size;
            if (!window.child) Notify(window, {PresenterEvent::kResized, size.width, size.height});
            return;
        }
        case UnmapNotify:
            if (window.child || window.hiddenByUs || window.minimised) return;
            window.minimised = true;
            Notify(window, {PresenterEvent::kMinimised});
            return;
        case MapNotify:
            if (!window.minimised) return;
            window.minimised = false;
            Notify(window, {PresenterEvent::kRestored});
            return;
        case DestroyNotify:
            if (event.xdestroywindow.window != window.id) return;
            window.destroyed = true;
            window.shm.Release();
            Notify(window, {PresenterEvent::kGone});
            return;
        case ClientMessage:
            if (static_cast<Atom>(event.xclient.data.l[0]) == window.display->DeleteWindowAtom()) {
                Notify(window, {PresenterEvent::kCloseRequested});
            }
            return;
        case KeyPress: {
            XKeyEvent key = event.xkey;
            char text[8] = {};
            KeySym symbol = 0;
            const int length = XLookupString(&key, text, sizeof(text), &symbol, nullptr);
            const uint32_t code =
                length == 1 ? static_cast<uint8_t>(text[0]) : static_cast<uint32_t>(symbol);
            Notify(window, {PresenterEvent::kKey, 0, 0, code});
            return;
        }
        case Expose:
            if (event.xexpose.count == 0) DrawShown(window, display);
            return;
        default:
            return;
    }
}

void Decorate(Display* display, const X11Window& window, const PresenterRequest& request) {
    XStoreName(display, window.id, request.title.c_str());
    std::vector<char> name(request.className.begin(), request.className.end());
    name.push_back('\0');
    std::vector<char> resourceClass(kResourceClass, kResourceClass + sizeof(kResourceClass));
    XClassHint hint{name.data(), resourceClass.data()};
    XSetClassHint(display, window.id, &hint);
    Atom deleteWindow = window.display->DeleteWindowAtom();
    XSetWMProtocols(display, window.id, &deleteWindow, 1);
    // The position is ours (centred on the screen), not the window manager's choice.
    XSizeHints hints{};
    hints.flags = USPosition | USSize;
    hints.x = request.x;
    hints.y = request.y;
    hints.width = request.client.width;
    hints.height = request.client.height;
    XSetWMNormalHints(display, window.id, &hints);
}

bool CreateOnScreen(X11Window& window, Display* display, const PresenterRequest& request) {
    const int screen = DefaultScreen(display);
    const Window parent =
        request.nativeParent != 0 ? request.nativeParent : RootWindow(display, screen);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display, screen);
    attributes.bit_gravity = NorthWestGravity;
    attributes.event_mask =
        StructureNotifyMask | ExposureMask | (request.child ? NoEventMask : KeyPressMask);
    const auto width = static_cast<unsigned>(std::max(1, request.client.width));
    const auto height = static_cast<unsigned>(std::max(1, request.client.height));
    Window id = 0;
    const bool refused = window.display->Refused(display, [&] {
        id = XCreateWindow(display, parent, request.x, request.y, width, height, 0, CopyFromParent,
                           InputOutput, CopyFromParent, CWBackPixel | CWBitGravity | CWEventMask,
                           &attributes);
    });
    if (refused || id == 0) return false;
    window.id = id;
    window.size = request.client;
    if (!request.child) Decorate(display, window, request);
    window.gc = XCreateGC(display, id, 0, nullptr);
    window.hiddenByUs = !request.visible;
    if (request.visible) XMapWindow(display, id);
    XFlush(display);
    return true;
}

void DestroyOnScreen(X11Window& window, Display* display) {
    window.listener = nullptr;
    window.display->Unwatch(window.id);
    window.shm.Release();
    if (window.gc != nullptr) XFreeGC(display, window.gc);
    window.gc = nullptr;
    if (window.destroyed) return;
    if (window.owned) {
        XDestroyWindow(display, window.id);
    } else {
        XSelectInput(display, window.id, NoEventMask);
    }
    window.destroyed = true;
    XFlush(display);
}

class X11Presenter : public WindowPresenter {
  public:
    explicit X11Presenter(std::shared_ptr<X11Window> window) : window_(std::move(window)) {}

    ~X11Presenter() override {
        auto window = window_;
        window->display->Post([window](Display* display) { DestroyOnScreen(*window, display); });
    }

    uint64_t NativeId() const override { return window_->id; }

    void Present(const uint8_t* bgrx, int32_t width, int32_t height, int32_t stride) override {
        if (!window_->owned || width <= 0 || height <= 0) return;
        std::lock_guard<std::mutex> guard(window_->frameMutex);
        Frame& frame = window_->pending;
        frame.pixels.resize(static_cast<size_t>(width) * height * 4);
        for (int32_t y = 0; y < height; ++y) {
            std::memcpy(frame.pixels.data() + static_cast<size_t>(y) * width * 4,
                        bgrx + static_cast<size_t>(y) * stride, static_cast<size_t>(width) * 4);
        }
        frame.width = width;
        frame.height = height;
        // One draw job at a time: a slow server sees the newest frame, never a backlog.
        if (window_->drawQueued) return;
        window_->drawQueued = true;
        auto window = window_;
        window_->display->Post([window](Display* display) {
            {
                std::lock_guard<std::mutex> frameGuard(window->frameMutex);
                std::swap(window->shown, window->pending);
                window->drawQueued = false;
            }
            DrawShown(*window, display);
        });
    }

    void Show(int32_t command) override {
        auto window = window_;
        window_->display->Post([window, command](Display* display) {
            if (window->destroyed || !window->owned) return;
            if (command == kSwHide || (command == kSwMinimize && window->child)) {
                window->hiddenByUs = true;
                XUnmapWindow(display, window->id);
            } else if (command == kSwMinimize) {
                window->minimised = true;
                XIconifyWindow(display, window->id, DefaultScreen(display));
            } else {
                window->hiddenByUs = false;
                window->minimised = false;
                XMapWindow(display, window->id);
            }
        });
    }

    void Move(int32_t x, int32_t y, ClientSize client) override {
        auto window = window_;
        window_->display->Post([window, x, y, client](Display* display) {
            if (window->destroyed || !window->owned) return;
            window->size = client;
            XMoveResizeWindow(display, window->id, x, y,
                              static_cast<unsigned>(std::max(1, client.width)),
                              static_cast<unsigned>(std::max(1, client.height)));
        });
    }

  private:
    std::shared_ptr<X11Window> window_;
};

void WatchWindow(const std::shared_ptr<X11Window>& window) {
    window->display->Watch(
        window->id, [window](const XEvent& event) { OnEvent(*window, event.xany.display, event); });
}

}  // namespace

std::unique_ptr<WindowPresenter> CreateWindowPresenter(const PresenterRequest& request,
                                                       PresenterListener listener) {
    X11Display* display = X11Display::Instance();
    if (display == nullptr) return nullptr;
    auto window = std::make_shared<X11Window>();
    window->display = display;
    window->child = request.child;
    window->listener = std::move(listener);
    auto created = std::make_shared<std::atomic<int>>(0);  // 0 pending, 1 made, -1 abandoned
    const bool ran = display->Call(
        [window, request, created](Display* connection) {
            if (!CreateOnScreen(*window, connection, request)) return;
            int expected = 0;
            if (created->compare_exchange_strong(expected, 1)) {
                WatchWindow(window);
            } else {
                DestroyOnScreen(*window, connection);  // the caller gave up waiting
            }
        },
        kCallTimeoutMs);
    int expected = 0;
    // Whatever did not finish in time is abandoned; the late job then destroys its window.
    if (created->compare_exchange_strong(expected, -1) || !ran) return nullptr;
    return std::make_unique<X11Presenter>(window);
}

std::unique_ptr<WindowPresenter> WrapNativeWindow(uint64_t nativeId, ClientSize* size,
                                                  PresenterListener listener) {
    X11Display* display = X11Display::Instance();
    if (display == nullptr || nativeId == 0) return nullptr;
    auto window = std::make_shared<X11Window>();
    window->display = display;
    window->owned = false;
    window->id = static_cast<Window>(nativeId);
    window->listener = std::move(listener);
    auto found = std::make_shared<std::atomic<int>>(0);
    const bool ran = display->Call(
        [window, found](Display* connection) {
            XWindowAttributes attributes{};
            Status status = 0;
            const bool refused = window->display->Refused(connection, [&] {
                status = XGetWindowAttributes(connection, window->id, &attributes);
            });
            if (refused || status == 0) return;
            window->size = {attributes.width, attributes.height};
            int expected = 0;
            if (!found->compare_exchange_strong(expected, 1)) return;
            XSelectInput(connection, window->id, StructureNotifyMask);
            WatchWindow(window);
        },
        kCallTimeoutMs);
    int expected = 0;
    if (found->compare_exchange_strong(expected, -1) || !ran) return nullptr;
    if (size != nullptr) *size = window->size;
    return std::make_unique<X11Presenter>(window);
}

bool PresenterScreenSize(ClientSize* size) {
    X11Display* display = X11Display::Instance();
    if (display == nullptr) return false;
    if (size != nullptr) *size = display->Screen();
    return true;
}

}  // namespace tavlin::platform

#endif  // TAVLIN_HAVE_X11
