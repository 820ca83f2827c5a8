/* Compiles as plain C11 against the public headers and links the shared library. */
#include <stdio.h>

#include "tavlin/tavlin.h"
#include "tavlin/tavlin_ext.h"
#include "tavlin/tavlin_host.h"

int main(void) {
    if (Tavlin_GetDllVersion() != TAVLIN_DLL_VERSION) {
        fprintf(stderr, "unexpected version %d\n", (int)Tavlin_GetDllVersion());
        return 1;
    }
    /* An unknown handle answers with the not-found values and writes nothing. */
    int32_t ok = 12345;
    if (Tavlin_GetColorMode(987654) != -1 || Tavlin_GetWaitTime(987654) != -1 ||
        Tavlin_GetSubSample(987654) != -1 || Tavlin_Release(987654) != 0 ||
        Tavlin_GetLastError(987654) != 0) {
        fprintf(stderr, "unknown handle not refused\n");
        return 1;
    }
    TAVLIN_HWND window = TavlinHost_CreateMessageWindow();
    if (window == NULL) return 1;
    int32_t h = Tavlin_Initialize(window);
    if (h == 0) return 1;
    (void)ok;
    TavlinExtFrameStats stats = {0};
    stats.size = sizeof stats;
    if (TavlinExt_GetFrameStats(h, &stats) != 1 || stats.delivered != 0 ||
        TavlinExt_GetFrameStats(987654, &stats) != 0) {
        fprintf(stderr, "frame statistics\n");
        return 1;
    }
    if (Tavlin_Release(h) != 1 || Tavlin_Release(h) != 0) return 1;
    /* Window lookup: a parent's child found by class and title, walked, listed; message windows
     * are not in the tree. */
    TAVLIN_HWND parent = TavlinHost_CreateParentWindow(64, 48);
    TAVLIN_HWND found[4] = {NULL, NULL, NULL, NULL};
    if (parent == NULL || TavlinHost_FindWindow("tavlinhostwindow", NULL) != parent ||
        TavlinHost_FindWindowEx(NULL, parent, "TavlinHostWindow", "") == parent ||
        TavlinHost_FindWindowEx(window, NULL, NULL, NULL) != NULL ||
        TavlinHost_GetWindow(parent, TAVLIN_GW_CHILD) != NULL ||
        TavlinHost_GetWindow(parent, TAVLIN_GW_HWNDFIRST) != parent ||
        TavlinHost_EnumChildWindows(parent, found, 4) != 0 ||
        TavlinHost_EnumChildWindows(window, NULL, 0) != -1 ||
        TavlinHost_EnumChildWindows(NULL, found, 4) < 1) {
        fprintf(stderr, "window lookup\n");
        return 1;
    }
    TavlinHost_DestroyWindow(parent);
    TavlinHost_DestroyWindow(window);
    printf("c abi ok\n");
    return 0;
}
