/*
 * Extensions beyond the catalogue: frame accounting and waiting for processed frames, devices and
 * transports, error texts, the filter catalogue and diagnostic logging.
 *
 * These functions sit beside the catalogue exports and take the same camera handles. Like them
 * they return 1 on success and 0 on failure, keep the reason in the camera's error history
 * (Tavlin_GetLastError) and post it to the notification window. Any thread may call them at any
 * time, also while the camera streams.
 *
 * Frame accounting. Each acquisition start (Tavlin_StartPreview, Tavlin_Preview,
 * Tavlin_CallBackPreview, Tavlin_Trigger or Tavlin_Capture from idle, or a Tavlin_SnapShot from
 * idle) sets the counts to 0. From then on every frame transfer the device completes is counted
 * once as delivered and, in the same step, once as exactly one of processed, skipped or failed,
 * so every snapshot satisfies
 *
 *     delivered == processed + skipped + failed.
 *
 * A frame still in transit or waiting in the transfer ring is counted when the camera takes or
 * passes over it, at the latest when the acquisition stops or ends.
 */
#ifndef TAVLIN_TAVLIN_EXT_H
#define TAVLIN_TAVLIN_EXT_H

#include "tavlin/tavlin.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A consistent snapshot of one camera's frame accounting. The caller sets size to
 * sizeof(TavlinExtFrameStats); later versions only append fields, and the library fills the
 * fields that fit and sets size to the bytes it filled. */
typedef struct TavlinExtFrameStats {
    uint32_t size;
    int32_t acquiring;   /* 1 while preview, trigger or capture mode runs, else 0 */
    uint64_t delivered;  /* frame transfers the device completed, whole or failed */
    uint64_t processed;  /* frames that went through the image pipeline into the current image */
    uint64_t skipped;    /* whole frames never processed: overtaken by a newer frame (only the
                            newest waiting frame is taken), still waiting when the acquisition
                            stopped, or the first frame after a trigger-mode start */
    uint64_t failed;     /* failed transfers: reads that failed or came back short, and frames of
                            a size that no longer fits the buffers (a trigger-mode read that waits
                            out the driver's time-out without a pulse also counts here) */
    uint64_t sequence;   /* the current image's frame: its place among the delivered frames of
                            this acquisition, from 1; 0 when none was processed since the start */
    int64_t timestampNs; /* CLOCK_MONOTONIC nanoseconds at which the current image's raw frame
                            arrived from the device; 0 when sequence is 0 */
} TavlinExtFrameStats;

/* Fills *stats (see above). Fails with 9 when stats is null or its size does not reach past the
 * four counts (40 bytes). */
TAVLIN_API int32_t TavlinExt_GetFrameStats(int32_t camera, TavlinExtFrameStats* stats);

/* What TavlinExt_WaitFrame copied. The caller sets size to sizeof(TavlinExtFrameInfo). */
typedef struct TavlinExtFrameInfo {
    uint32_t size;
    int32_t width;        /* pixels */
    int32_t height;       /* rows */
    int32_t bitsPerPixel; /* 8, 16, 24, 32, 48 or 64 */
    int32_t stride;       /* bytes per row, rows padded to 4 bytes */
    int32_t imageBytes;   /* stride * height: the buffer length the image needs */
    uint64_t sequence;    /* as TavlinExtFrameStats.sequence, for this image */
    int64_t timestampNs;  /* as TavlinExtFrameStats.timestampNs, for this image */
} TavlinExtFrameInfo;

/* Waits until the current image is a frame of the running acquisition with a sequence number
 * above afterSequence, then copies it into buffer (rows top first when rowOrder is non-zero,
 * bottom first otherwise) and describes it in *info, both taken under the camera's frame lock so
 * image and description belong together. The image copied may be newer than the first one that
 * qualified. Needs no message window and no application buffer registered with the camera:
 * after Tavlin_StartPreview, call it in a loop passing the sequence it last returned.
 *
 * timeoutMs: 0 answers at once, a negative value waits without limit.
 * Returns 1 with a frame. Fails with
 *   9  info is null, its size is below sizeof(TavlinExtFrameInfo), or buffer is null;
 *   5  length is below the image's size (info is filled, so the caller can size its buffer);
 *   13 no acquisition runs (never started, stopped, or ended after a transfer failure) and no
 *      qualifying image is left;
 *   8  the time-out passed without a qualifying frame.
 * In capture mode each Tavlin_SnapShot makes the next frame. */
TAVLIN_API int32_t TavlinExt_WaitFrame(int32_t camera, uint64_t afterSequence, int32_t timeoutMs,
                                       uint8_t* buffer, int32_t length, int32_t rowOrder,
                                       TavlinExtFrameInfo* info);

/* Readout timing of the camera's next acquisition, computed from its stored capture window,
 * sub-sampling, clock selection and exposure, as the sensor will be programmed with them when
 * an acquisition next starts from idle. A free-running preview delivers one frame per
 * framePeriodNs; in trigger mode it is the shortest time between two triggered frames. The
 * caller sets size to sizeof(TavlinExtFrameTiming). */
typedef struct TavlinExtFrameTiming {
    uint32_t size;
    int32_t lineClocks;    /* pixel clocks per sensor line, blanking included */
    int32_t pixelClockHz;  /* the selected sensor clock */
    int32_t reserved;      /* 0 */
    int64_t frameLines;    /* lines per frame: the window's rows and the vertical blanking, or
                              the exposure in lines when it is longer */
    int64_t framePeriodNs; /* frameLines * lineClocks / pixelClockHz, rounded */
} TavlinExtFrameTiming;

/* Fills *timing (see above). Returns 1. Fails with 9 when timing is null or its size is below
 * sizeof(TavlinExtFrameTiming). Needs no device object and talks to no device. */
TAVLIN_API int32_t TavlinExt_GetFrameTiming(int32_t camera, TavlinExtFrameTiming* timing);

/* Devices and transports. What answers a device index now: a virtual camera attached in this
 * process, one served by the virtual-camera daemon, or a USB camera. USB cameras take, in the
 * order of their bus and port path, the indices no virtual camera holds. These functions take
 * a device index, not a camera handle, record no error and may be called from any thread. */
enum {
    TAVLIN_EXT_REACH_NONE = 0,
    TAVLIN_EXT_REACH_IN_PROCESS = 1,
    TAVLIN_EXT_REACH_DAEMON = 2,
    TAVLIN_EXT_REACH_USB = 3
};

/* Whether this process can open a USB camera now. */
enum {
    TAVLIN_EXT_ACCESS_OK = 0,
    TAVLIN_EXT_ACCESS_GONE = 1,              /* unplugged since it was found */
    TAVLIN_EXT_ACCESS_PERMISSION_DENIED = 2, /* the device node is not readable and writable */
    TAVLIN_EXT_ACCESS_BUSY = 3,              /* another program has claimed the camera */
    TAVLIN_EXT_ACCESS_FAILED = 4
};

/* The caller sets size to sizeof(TavlinExtDeviceInfo). Texts are NUL-terminated UTF-8. */
typedef struct TavlinExtDeviceInfo {
    uint32_t size;
    int32_t reach;      /* TAVLIN_EXT_REACH_* */
    int32_t access;     /* TAVLIN_EXT_ACCESS_*: USB only (opened briefly to find out), else 0 */
    int32_t usbBus;     /* USB only: bus number */
    uint16_t usbVendor; /* USB only: vendor and product id */
    uint16_t usbProduct;
    char usbPortPath[32]; /* USB only: "1-2.3", as sysfs names the device */
    char usbNode[32];     /* USB only: "/dev/bus/usb/001/004" */
    char usbSerial[128];  /* USB only: the serial number, empty when unreadable */
    char advice[256];     /* what to do when access is not OK */
} TavlinExtDeviceInfo;

/* Describes device index 0..31 in *info. Returns 1; 0 for another index, a null info or a size
 * below sizeof(TavlinExtDeviceInfo). */
TAVLIN_API int32_t TavlinExt_GetDeviceInfo(int32_t index, TavlinExtDeviceInfo* info);

/* Problems met while looking for USB cameras, one line each: id-list entries that do not parse,
 * listed devices whose endpoints are not the camera's, libusb not starting. Copies what fits of
 * the text, NUL-terminated, into buffer (none when buffer is null or length is 0) and returns
 * the length of the whole text without its terminator; 0 when there is nothing to report. */
TAVLIN_API int32_t TavlinExt_GetUsbReport(char* buffer, int32_t length);

/* The udev rules that give the logged-in user, and group plugdev, access to the devices on the
 * id list (the "60-tavlin.rules" file). Copies and returns as TavlinExt_GetUsbReport. */
TAVLIN_API int32_t TavlinExt_GetUdevRules(char* buffer, int32_t length);

/* Error codes in words. The text of an error code (TAVLIN_ERR_*, as Tavlin_GetLastError and
 * TAVLIN_MSG_ERROR give it): a static NUL-terminated UTF-8 string in English, lower case without
 * a final stop, e.g. "invalid argument" for 9. Never null: a code the SDK does not use gives
 * "unknown error". Any thread may call them at any time; they record no error. */
TAVLIN_API const char* TavlinExt_GetErrorText(int32_t code);

/* The code's enumerator without its TAVLIN_ERR_ prefix, e.g. "INVALID_ARGUMENT" for 9;
 * "UNKNOWN" for a code the SDK does not use. Static, never null. */
TAVLIN_API const char* TavlinExt_GetErrorName(int32_t code);

/* The filter ids of Tavlin_SetFilterValue / Tavlin_GetFilterValue, described by the library:
 * the catalogue tools and bindings read instead of keeping copies. Any thread may call these at
 * any time; they record no error. */
enum {
    TAVLIN_EXT_FILTER_SENSOR = 1,   /* written to and read back from the sensor; the limits are
                                       the sensor's */
    TAVLIN_EXT_FILTER_ANY_VALUE = 2 /* every value is accepted (id 6 keeps bits 0-23, id 10
                                       stores non-zero as 1); minimum and maximum are the
                                       int32_t limits */
};

/* The caller sets size to sizeof(TavlinExtFilterInfo). Texts are NUL-terminated ASCII. */
typedef struct TavlinExtFilterInfo {
    uint32_t size;
    int32_t id;      /* TAVLIN_FILTER_* */
    int32_t minimum; /* the setter accepts minimum..maximum, both included */
    int32_t maximum;
    int32_t defaultValue; /* the value of a camera without stored settings */
    int32_t flags;        /* TAVLIN_EXT_FILTER_* */
    char name[32];        /* "gamma", "global_gain", ... */
    char unit[16];        /* "percent", "lines", ...; empty when the value has none */
} TavlinExtFilterInfo;

/* The number of filter ids (28); they are 1..count. */
TAVLIN_API int32_t TavlinExt_GetFilterCount(void);

/* Describes the filter at index 0..count-1 (id index + 1) in *info. Returns 1; 0 for another
 * index, a null info or a size below sizeof(TavlinExtFilterInfo). */
TAVLIN_API int32_t TavlinExt_GetFilterInfo(int32_t index, TavlinExtFilterInfo* info);

/* Diagnostic logging (docs/logging.md). Off unless asked for: by the environment
 * (TAVLIN_LOG_LEVELS, TAVLIN_LOG_FILE), by TavlinExt_SetLogLevels, or by a callback. Levels: */
enum {
    TAVLIN_EXT_LOG_OFF = 0,
    TAVLIN_EXT_LOG_ERROR = 1,
    TAVLIN_EXT_LOG_WARN = 2,
    TAVLIN_EXT_LOG_INFO = 3,
    TAVLIN_EXT_LOG_DEBUG = 4,
    TAVLIN_EXT_LOG_TRACE = 5
};

/* One message: its TAVLIN_EXT_LOG_* level, its category ("device", "transfer", "usb", "vcam",
 * "daemon", "camera", "imaging", "output", "settings", "dialogs"; static), the camera handle it
 * concerns (0: none), its CLOCK_MONOTONIC time in nanoseconds and its text (one line of UTF-8,
 * valid during the call only). Called on the thread that logs, SDK worker threads included,
 * possibly on several threads at once. Messages that SDK calls made from inside the callback
 * log are not passed to it again. */
typedef void (*TavlinExtLogCallback)(void* context, int32_t level, const char* category,
                                     int32_t camera, int64_t timestampNs, const char* message);

/* Passes every message of level maxLevel and below (TAVLIN_EXT_LOG_ERROR..TRACE), of every
 * category, to callback with context; independent of the file or stderr output. Replaces a
 * callback set before; a null callback removes it. Once this returns, the callback it replaced
 * is not called again (the call waits for calls of it in progress on other threads). Returns
 * 1; 0 for a level outside 0..5 or when called from inside the callback. */
TAVLIN_API int32_t TavlinExt_SetLogCallback(TavlinExtLogCallback callback, void* context,
                                            int32_t maxLevel);

/* Sets the levels of the file or stderr output, in TAVLIN_LOG_LEVELS's form ("*:warn,
 * transfer:debug"; docs/logging.md), replacing the environment's; the output stays the file
 * TAVLIN_LOG_FILE names, else stderr. Null or "" turns that output off. Returns 1; 0 when the
 * text does not parse, changing nothing. Any thread, any time; call it before the first SDK
 * call to see the first messages. */
TAVLIN_API int32_t TavlinExt_SetLogLevels(const char* levels);

#ifdef __cplusplus
}
#endif

#endif /* TAVLIN_TAVLIN_EXT_H */
