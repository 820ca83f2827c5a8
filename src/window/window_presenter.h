// On-screen presentation of a surface window. A window always keeps its in-memory client surface;
// when a display is available a presenter also shows that surface in a real window after every
// Paint. Without a display the factories return null and the window stays headless, unchanged.
//
// Presenters never block the caller on the display: frames are copied and handed to the thread
// that owns the display connection, and a display that goes away only stops the presentation.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tavlin::platform {

struct ClientSize {
    int32_t width = 0;
    int32_t height = 0;
};

enum class PresenterEvent {
    kResized,         // the user or window manager changed the client size (width, height)
    kMinimised,       // iconified by the user or window manager
    kRestored,        // back from iconified
    kCloseRequested,  // the window manager's close box
    kKey,             // a key press (key: the character, or the X keysym when it has none)
    kGone,            // the on-screen window no longer exists (its owner destroyed it)
};

struct PresenterNotice {
    PresenterEvent event = PresenterEvent::kResized;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t key = 0;
};

// Called on the display thread; must not wait for anything the display thread does.
using PresenterListener = std::function<void(const PresenterNotice&)>;

struct PresenterRequest {
    std::string title;
    std::string className;
    bool child = false;  // child: placed in nativeParent's client area, no frame
    uint64_t nativeParent = 0;
    int32_t x = 0;
    int32_t y = 0;
    ClientSize client;
    bool visible = true;
};

class WindowPresenter {
  public:
    // Destroys the on-screen window (a wrapped window is only let go).
    virtual ~WindowPresenter() = default;
    virtual uint64_t NativeId() const = 0;
    // Shows 32-bit B, G, R, x rows, top row first. Copies and returns at once.
    virtual void Present(const uint8_t* bgrx, int32_t width, int32_t height, int32_t stride) = 0;
    // kSwHide, kSwShow, kSwMinimize, kSwRestore.
    virtual void Show(int32_t command) = 0;
    virtual void Move(int32_t x, int32_t y, ClientSize client) = 0;
};

// A presenter for a new window, or null when there is no display.
std::unique_ptr<WindowPresenter> CreateWindowPresenter(const PresenterRequest& request,
                                                       PresenterListener listener);

// A presenter for an existing native window the application owns (usable as a parent), with its
// client size in *size. Null without a display or when the window does not exist.
std::unique_ptr<WindowPresenter> WrapNativeWindow(uint64_t nativeId, ClientSize* size,
                                                  PresenterListener listener);

// Connects to the display on first use; the display's screen size when connected.
bool PresenterScreenSize(ClientSize* size);

}  // namespace tavlin::platform
