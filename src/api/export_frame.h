// What every export that takes a camera handle does first: find the camera, answer with the
// export's not-found value when there is none, else run the operation with the registry unlocked.
#pragma once

#include <cstdint>
#include <exception>

#include "api/sdk_chain.h"
#include "diag/log.h"
#include "tavlin/tavlin.h"
#include "window/host_window.h"

namespace tavlin::api {

template <typename Result, typename Operation>
Result WithCamera(int32_t handle, Result notFound, Operation&& operation) noexcept {
    try {
        const auto camera = CSdkChain::Instance().LookUp(handle);
        if (!camera) return notFound;
        // What the operation logs, and the threads it starts, name the handle.
        const diag::CameraScope scope(handle);
        return operation(*camera);
    } catch (...) {
        // Nothing may unwind into a C caller; the operations report their own failures.
        return notFound;
    }
}

inline platform::WindowHandle ToHandle(TAVLIN_HWND window) {
    return reinterpret_cast<platform::WindowHandle>(window);
}

inline TAVLIN_HWND ToHwnd(platform::WindowHandle window) {
    return reinterpret_cast<TAVLIN_HWND>(window);
}

}  // namespace tavlin::api
