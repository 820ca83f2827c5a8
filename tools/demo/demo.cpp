// The calling order of a typical application, on the in-process virtual camera: initialise a
// camera with a notification window, report what it can, release it.
#include <cstdio>

#include "tavlin/tavlin.h"
#include "tavlin/tavlin_host.h"

namespace {

// Prints every error notification the SDK posted to the window so far.
void DrainNotifications(TAVLIN_HWND window) {
    TavlinMessage message;
    while (TavlinHost_PeekMessage(window, &message) != 0) {
        if (message.message == TAVLIN_MSG_ERROR) {
            std::printf("  notification: error %ld\n", static_cast<long>(message.lParam));
        }
    }
}

}  // namespace

int main() {
    std::printf("Tavlin 410QZ-VKE SDK demo (library version 0x%08X)\n",
                static_cast<unsigned>(Tavlin_GetDllVersion()));

    TAVLIN_HWND window = TavlinHost_CreateMessageWindow();
    const int32_t camera = Tavlin_Initialize(window);
    if (camera == 0) {
        std::printf("Tavlin_Initialize failed\n");
        return 1;
    }
    std::printf("camera handle %d\n", camera);
    DrainNotifications(window);

    std::printf("colour mode %d, sub-sample %d, wait time %d ms\n", Tavlin_GetColorMode(camera),
                Tavlin_GetSubSample(camera), Tavlin_GetWaitTime(camera));
    if (Tavlin_SetColorMode(camera, 24) == 1) std::printf("colour mode set to 24-bit BGR\n");

    for (int32_t code = Tavlin_GetLastError(camera); code != 0; code = Tavlin_GetLastError(camera)) {
        std::printf("  recorded error %d\n", code);
    }
    std::printf("release: %d\n", Tavlin_Release(camera));
    TavlinHost_DestroyWindow(window);
    return 0;
}
