// The host interface: message windows an application creates and reads, and windows with a
// client area (parents and previews) it can query and read back.
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "api/export_frame.h"
#include "tavlin/tavlin_host.h"
#include "window/host_surface_window.h"

using tavlin::api::ToHandle;
using tavlin::api::ToHwnd;
namespace platform = tavlin::platform;

namespace {

void Fill(TavlinMessage* out, const platform::Message& m) {
    out->window = ToHwnd(m.window);
    out->message = m.message;
    out->wParam = m.wParam;
    out->lParam = m.lParam;
}

std::shared_ptr<platform::HostWindow> Lookup(TAVLIN_HWND window) {
    return platform::WindowRegistry::Instance().Find(ToHandle(window));
}

std::shared_ptr<platform::SurfaceWindow> LookupSurface(TAVLIN_HWND window) {
    return std::dynamic_pointer_cast<platform::SurfaceWindow>(Lookup(window));
}

// A window with a class and title (a surface window or a dialog); null for message windows.
std::shared_ptr<platform::HostWindow> LookupListed(TAVLIN_HWND window) {
    auto found = Lookup(window);
    return found != nullptr && found->Identity().listed ? found : nullptr;
}

constexpr char kParentWindowClass[] = "TavlinHostWindow";
constexpr uint32_t kParentWindowStyle = platform::kWsOverlappedWindow | platform::kWsVisible;

// Copies text zero-terminated and truncated; returns its full length.
int32_t CopyText(const std::string& value, char* text, int32_t capacity) {
    if (text != nullptr && capacity > 0) {
        const size_t n = std::min(value.size(), static_cast<size_t>(capacity) - 1);
        std::memcpy(text, value.data(), n);
        text[n] = '\0';
    }
    return static_cast<int32_t>(value.size());
}

}  // namespace

extern "C" {

TAVLIN_HWND TavlinHost_CreateMessageWindow(void) {
    try {
        auto window = std::make_shared<platform::HostWindow>();
        return ToHwnd(platform::WindowRegistry::Instance().Add(std::move(window)));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

int32_t TavlinHost_DestroyWindow(TAVLIN_HWND window) {
    return platform::WindowRegistry::Instance().Remove(ToHandle(window)) ? 1 : 0;
}

int32_t TavlinHost_IsWindow(TAVLIN_HWND window) {
    return Lookup(window) != nullptr ? 1 : 0;
}

int32_t TavlinHost_GetMessage(TAVLIN_HWND window, TavlinMessage* out, int32_t timeoutMs) {
    const auto target = Lookup(window);
    platform::Message message;
    if (target == nullptr || out == nullptr || !target->Queue().Get(message, timeoutMs)) return 0;
    Fill(out, message);
    return 1;
}

int32_t TavlinHost_PeekMessage(TAVLIN_HWND window, TavlinMessage* out) {
    return TavlinHost_GetMessage(window, out, 0);
}

int32_t TavlinHost_PendingMessages(TAVLIN_HWND window) {
    const auto target = Lookup(window);
    return target == nullptr ? 0 : static_cast<int32_t>(target->Queue().Pending());
}

int32_t TavlinHost_PostMessage(TAVLIN_HWND window, uint32_t message, uintptr_t wParam,
                               intptr_t lParam) {
    return platform::PostMessageTo(ToHandle(window), message, wParam, lParam) ? 1 : 0;
}

int32_t TavlinHost_GetThreadMessage(TavlinMessage* out, int32_t timeoutMs) {
    platform::Message message;
    if (out == nullptr || !platform::ThreadQueue().Get(message, timeoutMs)) return 0;
    Fill(out, message);
    return 1;
}

TAVLIN_HWND TavlinHost_CreateParentWindow(int32_t width, int32_t height) {
    if (width < 0 || height < 0 || width > platform::kMaxWindowExtent ||
        height > platform::kMaxWindowExtent) {
        return nullptr;
    }
    try {
        static std::once_flag registered;
        std::call_once(registered,
                       [] { platform::WindowClassTable::Register(kParentWindowClass); });
        platform::WindowRect rect{0, 0, width, height};
        platform::AdjustWindowRectEx(&rect, kParentWindowStyle, false, 0);
        platform::WindowCreation creation;
        creation.className = kParentWindowClass;
        creation.style = kParentWindowStyle;
        creation.width = rect.Width();
        creation.height = rect.Height();
        const auto window = platform::SurfaceWindow::Create(creation);
        return window != nullptr ? ToHwnd(window->Handle()) : nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

int32_t TavlinHost_ReadWindowPixels(TAVLIN_HWND window, void* pixels, size_t capacity,
                                    int32_t bitsPerPixel, int32_t* width, int32_t* height) {
    const auto target = LookupSurface(window);
    if (target == nullptr || (bitsPerPixel != 24 && bitsPerPixel != 32)) return 0;
    try {
        std::vector<uint8_t> copy;
        platform::ClientSize size;
        if (!target->ReadPixels(bitsPerPixel, &copy, &size)) return 0;
        if (width != nullptr) *width = size.width;
        if (height != nullptr) *height = size.height;
        if (pixels == nullptr || capacity < copy.size()) return 0;
        std::memcpy(pixels, copy.data(), copy.size());
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int32_t TavlinHost_GetWindowText(TAVLIN_HWND window, char* text, int32_t capacity) {
    const auto target = LookupListed(window);
    return target == nullptr ? -1 : CopyText(target->Identity().title, text, capacity);
}

int32_t TavlinHost_GetClassName(TAVLIN_HWND window, char* text, int32_t capacity) {
    const auto target = LookupListed(window);
    return target == nullptr ? -1 : CopyText(target->Identity().className, text, capacity);
}

int32_t TavlinHost_GetClientSize(TAVLIN_HWND window, int32_t* width, int32_t* height) {
    const auto target = LookupSurface(window);
    if (target == nullptr) return 0;
    const platform::ClientSize client = target->Client();
    if (width != nullptr) *width = client.width;
    if (height != nullptr) *height = client.height;
    return 1;
}

int32_t TavlinHost_GetWindowRect(TAVLIN_HWND window, int32_t* x, int32_t* y, int32_t* width,
                                 int32_t* height) {
    const auto target = LookupSurface(window);
    if (target == nullptr) return 0;
    const platform::WindowRect rect = target->Rect();
    if (x != nullptr) *x = rect.left;
    if (y != nullptr) *y = rect.top;
    if (width != nullptr) *width = rect.Width();
    if (height != nullptr) *height = rect.Height();
    return 1;
}

int32_t TavlinHost_GetWindowStyle(TAVLIN_HWND window, uint32_t* style, uint32_t* exStyle,
                                  int32_t* controlId) {
    const auto target = LookupSurface(window);
    if (target == nullptr) return 0;
    if (style != nullptr) *style = target->Style();
    if (exStyle != nullptr) *exStyle = target->ExStyle();
    if (controlId != nullptr) *controlId = target->ControlId();
    return 1;
}

TAVLIN_HWND TavlinHost_GetParent(TAVLIN_HWND window) {
    const auto target = LookupListed(window);
    return target == nullptr ? nullptr : ToHwnd(target->Identity().parent);
}

int32_t TavlinHost_IsWindowVisible(TAVLIN_HWND window) {
    const auto target = LookupSurface(window);
    return target != nullptr && target->IsVisible() ? 1 : 0;
}

int32_t TavlinHost_ShowWindow(TAVLIN_HWND window, int32_t command) {
    const auto target = LookupSurface(window);
    return target != nullptr && target->Show(command) ? 1 : 0;
}

int32_t TavlinHost_MoveWindow(TAVLIN_HWND window, int32_t x, int32_t y, int32_t width,
                              int32_t height) {
    const auto target = LookupSurface(window);
    if (target == nullptr) return 0;
    target->Move(x, y, width, height);
    return 1;
}

TAVLIN_HWND TavlinHost_WrapX11Window(unsigned long xid) {
    try {
        const auto window = platform::SurfaceWindow::Wrap(xid);
        return window != nullptr ? ToHwnd(window->Handle()) : nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

unsigned long TavlinHost_GetX11Window(TAVLIN_HWND window) {
    const auto target = LookupSurface(window);
    return target == nullptr ? 0 : static_cast<unsigned long>(target->NativeWindow());
}

}  // extern "C"
