/* The smallest complete SDK application: attach a virtual camera in this process, open it,
 * take one snapshot into our own memory and release everything. Plain C against the installed
 * headers and library. */
#include <stdio.h>
#include <stdlib.h>

#include "tavlin/tavlin.h"
#include "tavlin/tavlin_host.h"
#include "tavlin/tavlin_vcam.h"

enum { kWidth = 1280, kHeight = 1024, kBytesPerPixel = 3 };

int main(void) {
    int status = 1;
    if (!TavlinVcam_Attach(0)) {
        fprintf(stderr, "no virtual camera\n");
        return 1;
    }
    TAVLIN_HWND events = TavlinHost_CreateMessageWindow();
    int32_t camera = Tavlin_Initialize(events);
    unsigned char* image = malloc((size_t)kWidth * kHeight * kBytesPerPixel);
    if (camera != 0 && image != NULL && Tavlin_SetColorMode(camera, 24) == 1 &&
        Tavlin_SnapShot(camera, image, kWidth * kHeight * kBytesPerPixel, 1) == 1) {
        unsigned long sum = 0;
        for (size_t i = 0; i < (size_t)kWidth * kHeight * kBytesPerPixel; ++i) sum += image[i];
        printf("SDK version %d: one %dx%d snapshot, mean level %lu\n", (int)Tavlin_GetDllVersion(),
               kWidth, kHeight, sum / ((unsigned long)kWidth * kHeight * kBytesPerPixel));
        status = 0;
    } else {
        fprintf(stderr, "snapshot failed, error %d\n",
                camera ? (int)Tavlin_GetLastError(camera) : 0);
    }
    free(image);
    if (camera != 0) Tavlin_Release(camera);
    TavlinHost_DestroyWindow(events);
    TavlinVcam_DetachAll();
    return status;
}
