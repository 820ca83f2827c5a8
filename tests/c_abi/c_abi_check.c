/* Compiles as plain C11 against the public headers and links the shared library. */
#include <stdio.h>
#include <string.h>

#include "tavlin/tavlin.h"
#include "tavlin/tavlin_ext.h"
#include "tavlin/tavlin_host.h"

static int logCalls = 0;
static void CountLog(void* context, int32_t level, const char* category, int32_t camera,
                     int64_t timestampNs, const char* message) {
    (void)context;
    (void)camera;
    (void)timestampNs;
    if (level >= TAVLIN_EXT_LOG_ERROR && level <= TAVLIN_EXT_LOG_INFO && category != NULL &&
        message != NULL) {
        ++logCalls;
    }
}

int main(void) {
    if (Tavlin_GetDllVersion() != TAVLIN_DLL_VERSION) {
        fprintf(stderr, "unexpected version %d\n", (int)Tavlin_GetDllVersion());
        return 1;
    }
    /* Every code has its own text and name; unknown codes share a fixed one, never null. */
    static const int32_t codes[] = {TAVLIN_ERR_NONE,
                                    TAVLIN_ERR_NO_DEVICE,
                                    TAVLIN_ERR_DEVICE_BUSY,
                                    TAVLIN_ERR_THREAD,
                                    TAVLIN_ERR_WINDOW,
                                    TAVLIN_ERR_MEMORY,
                                    TAVLIN_ERR_IO,
                                    TAVLIN_ERR_CAPTURE_WINDOW,
                                    TAVLIN_ERR_TRANSFER,
                                    TAVLIN_ERR_INVALID_ARGUMENT,
                                    TAVLIN_ERR_NOT_SUPPORTED,
                                    TAVLIN_ERR_FILE,
                                    TAVLIN_ERR_STREAM_STOPPED};
    const char* unknown = TavlinExt_GetErrorText(10);
    if (unknown == NULL || strcmp(unknown, "unknown error") != 0 ||
        TavlinExt_GetErrorText(-1) != unknown || TavlinExt_GetErrorText(INT32_MAX) != unknown ||
        strcmp(TavlinExt_GetErrorName(14), "UNKNOWN") != 0) {
        fprintf(stderr, "unknown error code text\n");
        return 1;
    }
    for (size_t i = 0; i < sizeof codes / sizeof codes[0]; ++i) {
        const char* text = TavlinExt_GetErrorText(codes[i]);
        const char* name = TavlinExt_GetErrorName(codes[i]);
        if (text == NULL || name == NULL || text[0] == '\0' || strcmp(text, unknown) == 0 ||
            strcmp(name, "UNKNOWN") == 0) {
            fprintf(stderr, "error %d has no text of its own\n", (int)codes[i]);
            return 1;
        }
        for (size_t j = 0; j < i; ++j) {
            if (strcmp(text, TavlinExt_GetErrorText(codes[j])) == 0 ||
                strcmp(name, TavlinExt_GetErrorName(codes[j])) == 0) {
                fprintf(stderr, "errors %d and %d read alike\n", (int)codes[j], (int)codes[i]);
                return 1;
            }
        }
    }
    if (strcmp(TavlinExt_GetErrorText(TAVLIN_ERR_INVALID_ARGUMENT), "invalid argument") != 0 ||
        strcmp(TavlinExt_GetErrorName(TAVLIN_ERR_INVALID_ARGUMENT), "INVALID_ARGUMENT") != 0) {
        fprintf(stderr, "error 9 text\n");
        return 1;
    }
    /* The filter catalogue: ids 1..count in order, named, refused past its end. */
    TavlinExtFilterInfo filter;
    memset(&filter, 0, sizeof filter);
    filter.size = sizeof filter;
    if (TavlinExt_GetFilterCount() != TAVLIN_FILTER_28 ||
        TavlinExt_GetFilterInfo(TAVLIN_FILTER_GAMMA - 1, &filter) != 1 ||
        filter.id != TAVLIN_FILTER_GAMMA || strcmp(filter.name, "gamma") != 0 ||
        filter.maximum != 200 || TavlinExt_GetFilterInfo(TAVLIN_FILTER_28, &filter) != 0 ||
        TavlinExt_GetFilterInfo(0, NULL) != 0) {
        fprintf(stderr, "filter catalogue\n");
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
    /* The log callback hears the release; once removed, nothing more. */
    if (TavlinExt_SetLogCallback(CountLog, NULL, TAVLIN_EXT_LOG_INFO) != 1 ||
        TavlinExt_SetLogLevels("*:warn, transfer:debug") != 1 ||
        TavlinExt_SetLogLevels("nowhere:debug") != 0 || TavlinExt_SetLogLevels(NULL) != 1) {
        fprintf(stderr, "log settings\n");
        return 1;
    }
    if (Tavlin_Release(h) != 1 || Tavlin_Release(h) != 0) return 1;
    if (logCalls == 0 || TavlinExt_SetLogCallback(NULL, NULL, 0) != 1) {
        fprintf(stderr, "log callback\n");
        return 1;
    }
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
