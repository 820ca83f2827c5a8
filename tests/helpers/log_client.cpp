// Test helper: an application's open, snapshot and close of an in-process virtual camera through
// the C ABI, for the tests that watch what the SDK prints. With the argument "fail" it also makes
// one call fail. Prints nothing itself; exits 0 when the snapshot came.
#include <cstring>
#include <vector>

#include "tavlin/tavlin.h"
#include "tavlin/tavlin_host.h"
#include "tavlin/tavlin_vcam.h"

int main(int argc, char** argv) {
    if (TavlinVcam_Attach(0) != 1) return 2;
    TavlinVcam_SetPacing(0, TAVLIN_VCAM_PACING_FAST);
    TAVLIN_HWND window = TavlinHost_CreateMessageWindow();
    const int32_t camera = Tavlin_Initialize(window);
    if (camera == 0) return 2;
    std::vector<uint8_t> image(1280 * 1024 * 8);
    const int32_t snapped =
        Tavlin_SnapShot(camera, image.data(), static_cast<int32_t>(image.size()), 1);
    if (argc > 1 && std::strcmp(argv[1], "fail") == 0) (void)Tavlin_SetColorMode(camera, 99);
    Tavlin_Release(camera);
    TavlinHost_DestroyWindow(window);
    TavlinVcam_DetachAll();
    return snapped == 1 ? 0 : 1;
}
