#include "window/host_surface_window.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>

namespace tavlin::platform {

namespace {

// Headless desktop metrics: a sizing frame of 4, a caption bar of 19, a menu bar of 19.
constexpr int32_t kSizingFrame = 4;
constexpr int32_t kDialogFrame = 3;
constexpr int32_t kCaption = 19;
constexpr int32_t kMenuBar = 19;
constexpr uint32_t kWsExClientEdge = 0x00000200;

// What a headless process reports as its screen.
constexpr ClientSize kHeadlessScreen{1920, 1080};

std::mutex gScreenMutex;
ClientSize gScreen = kHeadlessScreen;

std::mutex gClassMutex;
std::set<std::string>& Classes() {
    static std::set<std::string> classes;
    return classes;
}

int32_t FrameWidth(uint32_t style) {
    if (style & kWsThickFrame) return kSizingFrame;
    if (style & kWsDlgFrame) return kDialogFrame;
    return (style & kWsBorder) ? 1 : 0;
}

int32_t ClampExtent(int32_t extent) {
    return std::clamp(extent, 0, kMaxWindowExtent);
}

}  // namespace

bool AdjustWindowRectEx(WindowRect* rect, uint32_t style, bool hasMenu, uint32_t exStyle) {
    if (rect == nullptr) return false;
    const int32_t frame = FrameWidth(style) + ((exStyle & kWsExClientEdge) ? 2 : 0);
    const int32_t top =
        frame + ((style & kWsCaption) == kWsCaption ? kCaption : 0) + (hasMenu ? kMenuBar : 0);
    // Saturating: a rectangle near the limits of int32_t stays at them instead of wrapping.
    const auto add = [](int32_t value, int32_t delta) {
        return static_cast<int32_t>(
            std::clamp<int64_t>(int64_t{value} + delta, INT32_MIN, INT32_MAX));
    };
    rect->left = add(rect->left, -frame);
    rect->right = add(rect->right, frame);
    rect->top = add(rect->top, -top);
    rect->bottom = add(rect->bottom, frame);
    return true;
}

ClientSize ScreenSize() {
    // A display, once connected, gives its real size; SetScreenSize may still override it.
    static const bool kScreenFromDisplay = [] {
        ClientSize size;
        if (PresenterScreenSize(&size)) SetScreenSize(size);
        return true;
    }();
    (void)kScreenFromDisplay;
    std::lock_guard<std::mutex> guard(gScreenMutex);
    return gScreen;
}

void SetScreenSize(ClientSize size) {
    std::lock_guard<std::mutex> guard(gScreenMutex);
    gScreen = size;
}

bool WindowClassTable::Register(const std::string& name) {
    std::lock_guard<std::mutex> guard(gClassMutex);
    return !name.empty() && Classes().insert(name).second;
}

bool WindowClassTable::Unregister(const std::string& name) {
    std::lock_guard<std::mutex> guard(gClassMutex);
    return Classes().erase(name) == 1;
}

bool WindowClassTable::IsRegistered(const std::string& name) {
    std::lock_guard<std::mutex> guard(gClassMutex);
    return Classes().count(name) == 1;
}

SurfaceWindow::SurfaceWindow(Key, const WindowCreation& creation)
    : HostWindow(WindowIdentity{creation.className, creation.title, creation.parent, true}),
      style_(creation.style),
      exStyle_(creation.exStyle),
      controlId_((creation.style & kWsChild) ? creation.controlId : 0),
      rect_{creation.x, creation.y, creation.x + ClampExtent(creation.width),
            creation.y + ClampExtent(creation.height)} {}

std::shared_ptr<SurfaceWindow> SurfaceWindow::Create(const WindowCreation& creation) {
    if (!WindowClassTable::IsRegistered(creation.className)) return nullptr;
    if (creation.parent != 0 && WindowRegistry::Instance().Find(creation.parent) == nullptr) {
        return nullptr;
    }
    auto window = std::make_shared<SurfaceWindow>(Key{}, creation);
    window->dc_ = gdi::CreateCompatibleDC(nullptr);
    if (window->dc_ == nullptr) return nullptr;
    auto presenter = CreateWindowPresenter(PresenterRequestFor(*window), ListenerFor(window));
    {
        std::lock_guard<std::mutex> guard(window->presenterMutex_);
        window->presenter_ = std::move(presenter);
    }
    WindowRegistry::Instance().Add(window);
    return window;
}

std::shared_ptr<SurfaceWindow> SurfaceWindow::Wrap(uint64_t nativeId) {
    WindowCreation creation;
    creation.style = kWsVisible;
    auto window = std::make_shared<SurfaceWindow>(Key{}, creation);
    window->wrapped_ = true;  // before the presenter, whose notices read it at once
    window->dc_ = gdi::CreateCompatibleDC(nullptr);
    if (window->dc_ == nullptr) return nullptr;
    ClientSize size;
    auto presenter = WrapNativeWindow(nativeId, &size, ListenerFor(window));
    if (presenter == nullptr) return nullptr;
    {
        std::lock_guard<std::mutex> guard(window->mutex_);
        window->rect_ = {0, 0, ClampExtent(size.width), ClampExtent(size.height)};
    }
    {
        std::lock_guard<std::mutex> guard(window->presenterMutex_);
        window->presenter_ = std::move(presenter);
    }
    WindowRegistry::Instance().Add(window);
    return window;
}

PresenterRequest SurfaceWindow::PresenterRequestFor(const SurfaceWindow& window) {
    PresenterRequest request;
    request.title = window.Identity().title;
    request.className = window.Identity().className;
    request.x = window.rect_.left;
    request.y = window.rect_.top;
    request.client = window.Client();
    request.visible = (window.style_ & kWsVisible) != 0;
    const auto parent =
        std::dynamic_pointer_cast<SurfaceWindow>(WindowRegistry::Instance().Find(window.Parent()));
    // A child of a window that is not on screen (a message window) is shown on its own.
    request.nativeParent = parent != nullptr ? parent->NativeWindow() : 0;
    request.child = (window.style_ & kWsChild) && request.nativeParent != 0;
    return request;
}

PresenterListener SurfaceWindow::ListenerFor(const std::shared_ptr<SurfaceWindow>& window) {
    return [weak = std::weak_ptr<SurfaceWindow>(window)](const PresenterNotice& notice) {
        if (const auto alive = weak.lock()) alive->OnPresenterNotice(notice);
    };
}

void SurfaceWindow::OnPresenterNotice(const PresenterNotice& notice) {
    switch (notice.event) {
        case PresenterEvent::kResized:
            Resize({notice.width, notice.height});
            return;
        case PresenterEvent::kMinimised:
        case PresenterEvent::kRestored: {
            std::lock_guard<std::mutex> guard(mutex_);
            minimised_ = notice.event == PresenterEvent::kMinimised;
            return;
        }
        case PresenterEvent::kCloseRequested:
            PostMessageTo(Handle(), kWmClose, 0, 0);
            return;
        case PresenterEvent::kKey:
            PostMessageTo(Handle(), kWmChar, notice.key, 0);
            return;
        case PresenterEvent::kGone:
            // Our own windows go only through Destroy; an application's window can vanish.
            if (wrapped_) Destroy();
            return;
    }
}

void SurfaceWindow::Resize(ClientSize client) {
    std::lock_guard<std::mutex> guard(mutex_);
    WindowRect frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, style_, false, exStyle_);
    rect_.right = rect_.left + ClampExtent(client.width + frame.Width());
    rect_.bottom = rect_.top + ClampExtent(client.height + frame.Height());
}

uint64_t SurfaceWindow::NativeWindow() const {
    std::lock_guard<std::mutex> guard(presenterMutex_);
    return presenter_ != nullptr ? presenter_->NativeId() : 0;
}

void SurfaceWindow::OnRemoved() {
    std::lock_guard<std::mutex> guard(presenterMutex_);
    presenter_.reset();
}

void SurfaceWindow::Present() {
    std::lock_guard<std::mutex> guard(presenterMutex_);
    gdi::DibDescription dib;
    if (presenter_ == nullptr || surface_ == nullptr || !gdi::DescribeDib(surface_, &dib)) return;
    presenter_->Present(dib.bits, dib.width, dib.height, dib.stride);
}

SurfaceWindow::~SurfaceWindow() {
    std::lock_guard<std::mutex> surfaceGuard(surfaceMutex_);
    DropSurface();
    if (dc_ != nullptr) gdi::DeleteDC(dc_);
}

std::string SurfaceWindow::ClassName() const {
    return Identity().className;
}

std::string SurfaceWindow::Title() const {
    return Identity().title;
}

uint32_t SurfaceWindow::Style() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return style_;
}

uint32_t SurfaceWindow::ExStyle() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return exStyle_;
}

int32_t SurfaceWindow::ControlId() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return controlId_;
}

WindowHandle SurfaceWindow::Parent() const {
    return Identity().parent;
}

WindowRect SurfaceWindow::Rect() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return rect_;
}

ClientSize SurfaceWindow::Client() const {
    std::lock_guard<std::mutex> guard(mutex_);
    if (minimised_) return {};
    WindowRect frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, style_, false, exStyle_);
    return {std::max(0, rect_.Width() - frame.Width()),
            std::max(0, rect_.Height() - frame.Height())};
}

bool SurfaceWindow::IsAlive() const {
    return WindowRegistry::Instance().Find(Handle()).get() == this;
}

bool SurfaceWindow::IsVisible() const {
    const WindowHandle parent = Parent();
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!(style_ & kWsVisible)) return false;
    }
    if (!IsAlive()) return false;
    if (parent == 0) return true;
    const auto found = WindowRegistry::Instance().Find(parent);
    const auto* surfaceParent = dynamic_cast<const SurfaceWindow*>(found.get());
    // A plain message window as parent has no visibility of its own.
    return found != nullptr && (surfaceParent == nullptr || surfaceParent->IsVisible());
}

bool SurfaceWindow::Show(int32_t command) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (command != kSwHide && command != kSwShow && command != kSwMinimize &&
        command != kSwRestore) {
        return false;
    }
    {
        std::lock_guard<std::mutex> presenterGuard(presenterMutex_);
        if (presenter_ != nullptr) presenter_->Show(command);
    }
    switch (command) {
        case kSwHide:
            style_ &= ~kWsVisible;
            return true;
        case kSwShow:
            style_ |= kWsVisible;
            return true;
        case kSwMinimize:
            style_ |= kWsVisible;
            minimised_ = true;
            return true;
        case kSwRestore:
            style_ |= kWsVisible;
            minimised_ = false;
            return true;
        default:
            return false;
    }
}

void SurfaceWindow::Move(int32_t x, int32_t y, int32_t width, int32_t height) {
    std::lock_guard<std::mutex> guard(mutex_);
    rect_ = {x, y, x + ClampExtent(width), y + ClampExtent(height)};
    WindowRect frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, style_, false, exStyle_);
    std::lock_guard<std::mutex> presenterGuard(presenterMutex_);
    if (presenter_ != nullptr) {
        presenter_->Move(x, y,
                         {std::max(0, rect_.Width() - frame.Width()),
                          std::max(0, rect_.Height() - frame.Height())});
    }
}

bool SurfaceWindow::Destroy() {
    return WindowRegistry::Instance().Remove(Handle());
}

gdi::HDC SurfaceWindow::GetDc() {
    return IsAlive() ? dc_ : nullptr;
}

bool SurfaceWindow::ReleaseDc(gdi::HDC dc) const {
    return dc != nullptr && dc == dc_;
}

bool SurfaceWindow::EnsureSurface(ClientSize client) {
    if (client.width <= 0 || client.height <= 0) return false;
    if (surface_ != nullptr && surfaceSize_.width == client.width &&
        surfaceSize_.height == client.height) {
        return true;
    }
    DropSurface();
    gdi::BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(gdi::BITMAPINFOHEADER);
    info.bmiHeader.biWidth = client.width;
    info.bmiHeader.biHeight = -client.height;  // top-down, as screens are read
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = gdi::BI_RGB;
    void* bits = nullptr;
    surface_ = gdi::CreateDIBSection(nullptr, &info, gdi::DIB_RGB_COLORS, &bits, nullptr, 0);
    if (surface_ == nullptr) return false;
    stockBitmap_ = gdi::SelectObject(dc_, surface_);
    if (stockBitmap_ == nullptr) {
        gdi::DeleteObject(surface_);
        surface_ = nullptr;
        return false;
    }
    surfaceSize_ = client;
    return true;
}

void SurfaceWindow::DropSurface() {
    if (surface_ == nullptr) return;
    gdi::SelectObject(dc_, stockBitmap_);
    gdi::DeleteObject(surface_);
    surface_ = nullptr;
    stockBitmap_ = nullptr;
    surfaceSize_ = {};
}

bool SurfaceWindow::ReadPixels(int bitsPerPixel, std::vector<uint8_t>* pixels, ClientSize* size) {
    if ((bitsPerPixel != 24 && bitsPerPixel != 32) || pixels == nullptr) return false;
    std::lock_guard<std::mutex> surfaceGuard(surfaceMutex_);
    const ClientSize client = Client();
    gdi::DibDescription dib;
    if (!EnsureSurface(client) || !gdi::DescribeDib(surface_, &dib)) return false;
    const size_t outBytes = static_cast<size_t>(bitsPerPixel / 8);
    pixels->resize(static_cast<size_t>(dib.width) * dib.height * outBytes);
    uint8_t* out = pixels->data();
    for (int32_t y = 0; y < dib.height; ++y) {
        const uint8_t* row = dib.bits + static_cast<size_t>(y) * dib.stride;
        for (int32_t x = 0; x < dib.width; ++x, out += outBytes) {
            std::memcpy(out, row + 4 * x, 3);
            if (outBytes == 4) out[3] = 0;
        }
    }
    if (size != nullptr) *size = client;
    return true;
}

}  // namespace tavlin::platform
