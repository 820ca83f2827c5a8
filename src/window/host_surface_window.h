// Windows with a client area: a host window (handle and message queue) plus the geometry, styles,
// title and class a window manager keeps, and a client-area surface that GDI blits land in.
// With a display, a presenter also shows the window on screen: each Paint's result is handed to
// it, and what the user does there (resize, minimise, close box, keys) comes back as the same
// state changes and posted messages (WM_CLOSE and WM_CHAR are posted to the window's queue).
//
// Headless, the surface is an in-memory 32-bit top-down DIB of the client size, made on first use
// and re-made when the client size changes; its memory DC stays the same for the window's life,
// so a DC handed out by GetDc keeps working across resizes. Every drawing goes through Paint,
// the one place where pixels land, so an on-screen presenter can take the surface from there.
//
// Thread-safe: geometry and state under one lock, the surface under another (taken first).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gdi/gdi.h"
#include "window/host_window.h"
#include "window/window_presenter.h"

namespace tavlin::platform {

inline constexpr uint32_t kWsChild = 0x40000000;
inline constexpr uint32_t kWsVisible = 0x10000000;
inline constexpr uint32_t kWsClipSiblings = 0x04000000;
inline constexpr uint32_t kWsClipChildren = 0x02000000;
inline constexpr uint32_t kWsCaption = 0x00C00000;  // border and dialog frame
inline constexpr uint32_t kWsBorder = 0x00800000;
inline constexpr uint32_t kWsDlgFrame = 0x00400000;
inline constexpr uint32_t kWsThickFrame = 0x00040000;
inline constexpr uint32_t kWsOverlappedWindow = 0x00CF0000;

inline constexpr int32_t kSwHide = 0;
inline constexpr int32_t kSwShow = 5;
inline constexpr int32_t kSwMinimize = 6;
inline constexpr int32_t kSwRestore = 9;

// Windows are never larger than this on either side, as window managers cap them.
inline constexpr int32_t kMaxWindowExtent = 32767;

inline constexpr uint32_t kWmClose = 0x0010;
inline constexpr uint32_t kWmChar = 0x0102;

struct WindowRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
};

// Grows a client rectangle to the window rectangle of a window with these styles (frame, caption,
// menu bar) under the headless desktop's fixed metrics. False for a null rectangle.
bool AdjustWindowRectEx(WindowRect* rect, uint32_t style, bool hasMenu, uint32_t exStyle);

// The desktop's size (GetSystemMetrics SM_CXSCREEN / SM_CYSCREEN): 1920 x 1080 when headless;
// an on-screen presenter sets the real one.
ClientSize ScreenSize();
void SetScreenSize(ClientSize size);

// Process-wide table of registered window class names (RegisterClassEx / UnregisterClass).
class WindowClassTable {
  public:
    // False when the name is empty or already registered.
    static bool Register(const std::string& name);
    // False when the name is not registered.
    static bool Unregister(const std::string& name);
    static bool IsRegistered(const std::string& name);
};

struct WindowCreation {
    std::string className;
    std::string title;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int32_t x = 0;  // in the parent's client area, or on the screen for a top-level window
    int32_t y = 0;
    int32_t width = 0;  // of the whole window, frame included; clamped to 0..kMaxWindowExtent
    int32_t height = 0;
    WindowHandle parent = 0;
    int32_t controlId = 0;  // child windows only
};

class SurfaceWindow : public HostWindow {
  public:
    // CreateWindowEx: the class must be registered and a parent, when given, a live window.
    // The new window is filed in the WindowRegistry. Null on failure.
    static std::shared_ptr<SurfaceWindow> Create(const WindowCreation& creation);
    // A visible, frameless parent standing for an on-screen window the application owns (an X11
    // window id). Null without a display or for an id that names no window. When the application
    // destroys that window, this one is destroyed too.
    static std::shared_ptr<SurfaceWindow> Wrap(uint64_t nativeId);
    ~SurfaceWindow() override;

    // The on-screen window's id (an X11 window), or 0 when headless.
    uint64_t NativeWindow() const;

    std::string ClassName() const;
    std::string Title() const;
    uint32_t Style() const;
    uint32_t ExStyle() const;
    int32_t ControlId() const;
    WindowHandle Parent() const;
    // Position and size of the whole window.
    WindowRect Rect() const;
    // The client area: the window less its frame; 0 x 0 while minimised.
    ClientSize Client() const;

    // True while the window exists, has WS_VISIBLE and every ancestor is visible too.
    bool IsVisible() const;
    // Still filed in the registry (not destroyed).
    bool IsAlive() const;
    // ShowWindow: kSwHide, kSwShow, kSwMinimize, kSwRestore. False for other commands.
    bool Show(int32_t command);
    void Move(int32_t x, int32_t y, int32_t width, int32_t height);
    // DestroyWindow: leaves the registry; the object lives on while someone holds it.
    bool Destroy();

    // GetDC: the memory DC onto the client surface; null once the window is destroyed.
    gdi::HDC GetDc();
    bool ReleaseDc(gdi::HDC dc) const;

    // Runs draw(dc, client) with the surface made to the current client size, under the surface
    // lock. Returns draw's result, or 0 without calling it when there is no client area.
    template <class Draw>
    int Paint(Draw&& draw) {
        std::lock_guard<std::mutex> surfaceGuard(surfaceMutex_);
        const ClientSize client = Client();
        if (!EnsureSurface(client)) return 0;
        const int result = draw(dc_, client);
        Present();
        return result;
    }

    // Copies the client area as top-down rows of `bitsPerPixel` (24: B, G, R; 32: B, G, R, 0),
    // packed without padding. False for other depths or when there is no client area.
    bool ReadPixels(int bitsPerPixel, std::vector<uint8_t>* pixels, ClientSize* size);

    // Only Create makes windows.
    class Key {
        friend class SurfaceWindow;
        Key() = default;
    };
    SurfaceWindow(Key, const WindowCreation& creation);

  private:
    bool EnsureSurface(ClientSize client);  // surfaceMutex_ held
    void DropSurface();                     // surfaceMutex_ held
    void Present();                         // surfaceMutex_ held
    void OnRemoved() override;
    void OnPresenterNotice(const PresenterNotice& notice);
    void Resize(ClientSize client);
    static PresenterRequest PresenterRequestFor(const SurfaceWindow& window);
    static PresenterListener ListenerFor(const std::shared_ptr<SurfaceWindow>& window);

    mutable std::mutex mutex_;  // guards the fields below up to the surface
    uint32_t style_;
    uint32_t exStyle_;
    int32_t controlId_;
    WindowRect rect_;
    bool minimised_ = false;

    std::mutex surfaceMutex_;  // guards the surface; taken before mutex_
    gdi::HDC dc_ = nullptr;
    gdi::HBITMAP surface_ = nullptr;
    gdi::HGDIOBJ stockBitmap_ = nullptr;
    ClientSize surfaceSize_;

    mutable std::mutex presenterMutex_;  // taken last
    std::unique_ptr<WindowPresenter> presenter_;
    bool wrapped_ = false;
};

}  // namespace tavlin::platform
