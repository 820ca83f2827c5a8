// The host interface: message windows an application creates and reads.
#include <memory>
#include <new>

#include "api/export_frame.h"
#include "tavlin/tavlin_host.h"

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

}  // extern "C"
