// The host interface's window lookup: FindWindowEx, GetWindow and EnumChildWindows over the
// window registry, each answered from one consistent view of it.
#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "api/export_frame.h"
#include "tavlin/tavlin_host.h"
#include "window/window_tree.h"

using tavlin::api::ToHandle;
using tavlin::api::ToHwnd;
namespace platform = tavlin::platform;
namespace window_tree = tavlin::platform::window_tree;

namespace {

template <class Read>
auto InspectWindows(Read&& read) {
    return platform::WindowRegistry::Instance().Inspect(std::forward<Read>(read));
}

}  // namespace

extern "C" {

TAVLIN_HWND TavlinHost_FindWindowEx(TAVLIN_HWND parent, TAVLIN_HWND childAfter,
                                    const char* className, const char* title) {
    try {
        return ToHwnd(InspectWindows([&](const platform::WindowTable& table) {
            return window_tree::Find(table, ToHandle(parent), ToHandle(childAfter), className,
                                     title);
        }));
    } catch (...) {  // nothing unwinds into a C caller
        return nullptr;
    }
}

TAVLIN_HWND TavlinHost_FindWindow(const char* className, const char* title) {
    return TavlinHost_FindWindowEx(nullptr, nullptr, className, title);
}

TAVLIN_HWND TavlinHost_GetWindow(TAVLIN_HWND window, int32_t command) {
    try {
        return ToHwnd(InspectWindows([&](const platform::WindowTable& table) {
            return window_tree::Related(table, ToHandle(window), command);
        }));
    } catch (...) {
        return nullptr;
    }
}

int32_t TavlinHost_EnumChildWindows(TAVLIN_HWND parent, TAVLIN_HWND* windows, int32_t capacity) {
    try {
        std::vector<platform::WindowHandle> found;
        const bool known = InspectWindows([&](const platform::WindowTable& table) {
            return window_tree::Descendants(table, ToHandle(parent), &found);
        });
        if (!known) return -1;
        if (windows != nullptr && capacity > 0) {
            const size_t copied = std::min(found.size(), static_cast<size_t>(capacity));
            std::transform(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(copied),
                           windows, ToHwnd);
        }
        return static_cast<int32_t>(found.size());
    } catch (...) {
        return -1;
    }
}

}  // extern "C"
