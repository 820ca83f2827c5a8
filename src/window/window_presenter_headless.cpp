// Builds without a window system library: every window stays headless.
#if !TAVLIN_HAVE_X11

#include "window/window_presenter.h"

namespace tavlin::platform {

std::unique_ptr<WindowPresenter> CreateWindowPresenter(const PresenterRequest&, PresenterListener) {
    return nullptr;
}

std::unique_ptr<WindowPresenter> WrapNativeWindow(uint64_t, ClientSize*, PresenterListener) {
    return nullptr;
}

bool PresenterScreenSize(ClientSize*) {
    return false;
}

}  // namespace tavlin::platform

#endif  // !TAVLIN_HAVE_X11
