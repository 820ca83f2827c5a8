/*
 * Tavlin 410QZ-VKE camera SDK - public C interface: the catalogue exports.
 *
 * A camera handle from Tavlin_Initialize names one camera object; Tavlin_Release ends it. Every
 * export returns its result as a value: 1 on success, or the value asked for; failures are 0
 * (or -1 where noted) and the reason is kept in the camera's error history (Tavlin_GetLastError)
 * and posted to the notification window as TAVLIN_MSG_ERROR (see the error codes below).
 *
 * Any thread may call any export, also while the camera streams. A handle must not be released
 * while another thread is inside a call on it (see Tavlin_Release).
 */
#ifndef TAVLIN_TAVLIN_H
#define TAVLIN_TAVLIN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(TAVLIN_BUILDING_LIBRARY)
#define TAVLIN_API __attribute__((visibility("default")))
#else
#define TAVLIN_API
#endif

/* Opaque window handle: message windows and preview parents come from tavlin_host.h. */
typedef struct TavlinWindowTag* TAVLIN_HWND;

/* UTF-16 code unit of the wide ("W") exports. */
#ifdef __cplusplus
typedef char16_t TavlinWChar;
#else
typedef uint16_t TavlinWChar;
#endif

/*
 * Application messages (posted, never sent).
 *
 * TAVLIN_MSG_FRAME goes to the frame window given to Tavlin_CallBackPreview or Tavlin_Trigger,
 * from the camera's acquisition thread: wParam the address of the frame's TavlinFrameInfo and
 * lParam 0 for each frame delivered; or wParam 0 and lParam 8 (a frame failed or did not fit the
 * buffers; the acquisition goes on), 13 (the acquisition ended on its own) or 5 (the frame did not
 * fit the application buffer and was not copied). A snapshot posts its 8 and 5 there as well.
 *
 * TAVLIN_MSG_ERROR goes to the notification window: wParam 0, lParam the error code.
 */
enum { TAVLIN_MSG_FRAME = 0x8002, TAVLIN_MSG_ERROR = 0x8003 };

/*
 * Error codes. A failure is recorded as the newest entry of the camera's error history (20
 * entries; Tavlin_GetLastError removes and returns the newest) and then posted as
 * TAVLIN_MSG_ERROR to the notification window given to Tavlin_Initialize, if one was given.
 * Failures marked "posted only" below are posted without being recorded; without a notification
 * window such a post lands in the calling thread's own queue (TavlinHost_GetThreadMessage).
 * Code 10 is never reported.
 */
enum {
    /* Nothing recorded: Tavlin_GetLastError with an empty history. */
    TAVLIN_ERR_NONE = 0,
    /* Not possible now: the camera has no device object (its initialisation failed), another
     * acquisition mode runs, no image has been taken yet, a recording or a property dialog is
     * already open, a SROM access, I/O port read or clock read failed (posted only), or a
     * Tavlin_SaveImageW name could not be converted to UTF-8. */
    TAVLIN_ERR_NO_DEVICE = 1,
    /* The selected device is absent (as last looked for) or claimed by another camera object or
     * process; for Tavlin_SetDeviceNumber also an index outside 0..31. */
    TAVLIN_ERR_DEVICE_BUSY = 2,
    /* A worker thread (acquisition, recording) could not be started. */
    TAVLIN_ERR_THREAD = 3,
    /* The preview window could not be created, or no stored size preset has the size asked. */
    TAVLIN_ERR_WINDOW = 4,
    /* Memory: image buffers could not be made, an application buffer or record is too small,
     * there is no image to copy, a stored colour mode is not one of the six, or the
     * initialisation failed (claim table not opened, device object not made). */
    TAVLIN_ERR_MEMORY = 5,
    /* A sensor register access failed, or the frame transfer could not be started. */
    TAVLIN_ERR_IO = 6,
    /* The capture window does not lie inside the sensor, or the stored sub-sampling code is not
     * one the sensor knows. */
    TAVLIN_ERR_CAPTURE_WINDOW = 7,
    /* A frame could not be read or does not fit the buffers; a preview could not be started. */
    TAVLIN_ERR_TRANSFER = 8,
    /* A value out of range, an unknown id, or a null pointer or short buffer where a record,
     * name or file name is needed. */
    TAVLIN_ERR_INVALID_ARGUMENT = 9,
    /* The operation is not supported by this camera model. */
    TAVLIN_ERR_NOT_SUPPORTED = 11,
    /* A recording's file could not be created or its preview not started, or the wide name of a
     * recording or configuration file could not be converted to UTF-8. */
    TAVLIN_ERR_FILE = 12,
    /* The acquisition ended on its own: the frame transfer failed or the device could not be
     * opened (TavlinExt_WaitFrame: no acquisition runs). */
    TAVLIN_ERR_STREAM_STOPPED = 13
};

/* File format codes of Tavlin_SaveImage. */
enum {
    TAVLIN_FILE_BMP = 0,
    TAVLIN_FILE_RAW = 1,
    TAVLIN_FILE_JPEG_100 = 2,
    TAVLIN_FILE_JPEG_70 = 3,
    TAVLIN_FILE_JPEG_20 = 4,
    TAVLIN_FILE_PNG = 5,
    TAVLIN_FILE_TIFF = 6
};

/*
 * Filter value ids of Tavlin_SetFilterValue / Tavlin_GetFilterValue and of the named exports.
 * Each line gives the range the setter accepts (a value outside it fails with 9 and changes
 * nothing) and the value of a camera without stored settings. Stored settings are loaded
 * unchecked, so a getter may return a value outside the range.
 *
 * Ids 1..12 and 19..28 are software settings of the image pipeline: stored at once, used from
 * the next processed frame. Ids 13..18 are sensor values: a setter writes the sensor at once; the
 * getter reads the sensor register back (a failed read gives 0 with ok set to 1).
 */
enum {
    TAVLIN_FILTER_BRIGHTNESS = 1, /* -255..255, default 0 */
    TAVLIN_FILTER_CONTRAST = 2,   /* -127..127, default 0 */
    TAVLIN_FILTER_HUE = 3,        /* -360..360, default 0 */
    TAVLIN_FILTER_SATURATION = 4, /* -255..255, default 0 */
    TAVLIN_FILTER_SHARPNESS = 5,  /* 0..30, default 0 */
    /* Ids 7, 8 and 9 packed as one value: red in bits 0..7, green in 8..15, blue in 16..23; any
     * value is accepted and higher bits are ignored. Default 0x646464. */
    TAVLIN_FILTER_BAYER_GAIN_RGB = 6,
    TAVLIN_FILTER_BAYER_GAIN_RED = 7,   /* 0..400, default 100: colour conversion gains */
    TAVLIN_FILTER_BAYER_GAIN_GREEN = 8, /* 0..400, default 100 */
    TAVLIN_FILTER_BAYER_GAIN_BLUE = 9,  /* 0..400, default 100 */
    /* Automatic white balance: any non-zero value stores 1, which measures every converted frame
     * and replaces ids 7..9 with the result. Default 0. */
    TAVLIN_FILTER_BAYER_GAIN_AUTO = 10,
    TAVLIN_FILTER_GAMMA = 11,      /* 0..200, default 100 */
    TAVLIN_FILTER_BAYER_MODE = 12, /* 0..3, default 3: phase of the sensor's Bayer pattern */
    /* Sensor gains 0..63, default 14 (registers: 13 global 53; 14..17 colour 45, 43, 46, 44).
     * Setting the global gain also stores it as the four colour gains but writes only its own
     * register. */
    TAVLIN_FILTER_GLOBAL_GAIN = 13,
    TAVLIN_FILTER_COLOR_GAIN_RED = 14,
    TAVLIN_FILTER_COLOR_GAIN_GREEN1 = 15,
    TAVLIN_FILTER_COLOR_GAIN_GREEN2 = 16,
    TAVLIN_FILTER_COLOR_GAIN_BLUE = 17,
    /* Exposure in sensor lines, 1..16383 (register 9), default 1049. */
    TAVLIN_FILTER_EXPOSURE_TIME = 18,
    /* Gray filter of the 8- and 16-bit gray formats, 0..2, default 0: 0 off, 1 a gain and an
     * offset per position of the 2 x 2 sensor cell (ids 20..27), 2 luminance through the colour
     * conversion. */
    TAVLIN_FILTER_GRAY_MODE = 19,
    TAVLIN_FILTER_GRAY_GAIN_R = 20,    /* 0..255 in 1/128 units, default 128 */
    TAVLIN_FILTER_GRAY_GAIN_G1 = 21,   /* 0..255, default 128 */
    TAVLIN_FILTER_GRAY_GAIN_G2 = 22,   /* 0..255, default 128 */
    TAVLIN_FILTER_GRAY_GAIN_B = 23,    /* 0..255, default 128 */
    TAVLIN_FILTER_GRAY_OFFSET_R = 24,  /* -255..255, default 0 */
    TAVLIN_FILTER_GRAY_OFFSET_G1 = 25, /* -255..255, default 0 */
    TAVLIN_FILTER_GRAY_OFFSET_G2 = 26, /* -255..255, default 0 */
    TAVLIN_FILTER_GRAY_OFFSET_B = 27,  /* -255..255, default 0 */
    /* Automatic gray gains, 0..1, default 0 (never stored). 1 asks for one measurement: the next
     * frame processed in gray mode 1 measures the gains that make the four cell positions match
     * and stores them as ids 20..23 (a frame with a cell position all black or all saturated
     * leaves them), then the value returns to 0. The image dialog's "every frame" box sets -1
     * (measure every frame in gray mode 1), which the getter returns. No named export. */
    TAVLIN_FILTER_GRAY_GAIN_AUTO = 28,
    TAVLIN_FILTER_28 = TAVLIN_FILTER_GRAY_GAIN_AUTO /* earlier name */
};

/* Record whose address is the wParam of a frame notice. Eight records are used in turn: one
 * stays as posted until eight more frames have been delivered. */
typedef struct TavlinFrameInfo {
    int32_t size;         /* 32 */
    int32_t width;        /* raw buffer width after sub-sampling */
    int32_t height;       /* raw buffer height after sub-sampling */
    int32_t bitsPerPixel; /* 8, 16, 24, 32, 48 or 64 */
    int32_t frameRate;    /* tenths of frames per second (preview); 0 in trigger mode */
    int32_t reserved;     /* not written */
    uint8_t* buffer;      /* the application buffer given to the acquisition call */
} TavlinFrameInfo;

/* Filled by Tavlin_GetCameraInfo; the application sets size to at least 36. Sensor 1280 x 1024,
 * global and colour gains 0..63, exposure 1..16383 lines. */
typedef struct TavlinCameraInfo {
    uint32_t size;
    int32_t sensorWidth;
    int32_t sensorHeight;
    int32_t globalGainMin;
    int32_t globalGainMax;
    int32_t colorGainMin;
    int32_t colorGainMax;
    int32_t exposureMin;
    int32_t exposureMax;
} TavlinCameraInfo;

#if defined(__cplusplus)
static_assert(sizeof(TavlinFrameInfo) == 32, "frame record is 32 bytes");
static_assert(sizeof(TavlinCameraInfo) == 36, "camera information record is 36 bytes");
#else
_Static_assert(sizeof(TavlinFrameInfo) == 32, "frame record is 32 bytes");
_Static_assert(sizeof(TavlinCameraInfo) == 36, "camera information record is 36 bytes");
#endif

/* Slot width of the narrow and wide device lists of Tavlin_EnumDevice(W), in characters. */
#define TAVLIN_DEVICE_NAME_SLOT 256
#define TAVLIN_DLL_VERSION 26281247

/*
 * The exports, grouped by job. The header's order is free; the version script
 * (cmake/exports.map) and cmake/catalogue.txt keep the catalogue order, which fixes the export
 * ordinals, and are not to be reordered after this header.
 *
 * Conventions of every group below:
 * - h is a camera handle from Tavlin_Initialize. For a handle that is not (or no longer)
 *   registered an export returns its not-found value (0, or -1 where noted), writes through no
 *   pointer and records and posts nothing.
 * - "Fails with n" means: returns 0 (or the value noted) and reports error n as described at the
 *   error codes; "posted only" failures are not recorded. Every export that uses the device
 *   fails with 1 when the camera has no device object (its initialisation failed); posted
 *   only where the export's other failures are.
 * - An ok out-flag is set to 1 when the returned value is valid and to 0 when the call failed;
 *   it may be null.
 * - Acquisition modes: idle, preview (Tavlin_StartPreview, Tavlin_Preview,
 *   Tavlin_CallBackPreview, Tavlin_Record), capture (Tavlin_Capture) and trigger
 *   (Tavlin_Trigger); a recording rides on a preview. An export whose comment names no mode
 *   works in every mode.
 * - Threads: any thread may call any export, also while the camera streams; calls on different
 *   cameras run concurrently. Frame notices and stream failures come from the camera's own
 *   acquisition thread. What a call waits for is noted where it is more than a short step.
 */

/* ---- Lifecycle, error history and device selection ---- */

/* Makes a camera object for device index 0, loads its stored settings and programs the sensor.
 * notifyWindow (may be null) receives TAVLIN_MSG_ERROR. Returns the new non-zero handle, 0 only
 * when no object could be made. The handle is returned even when the initialisation failed:
 * its history then holds 5 (claim table not opened, device object not made), the camera answers
 * most calls with error 1, and it must still be released. A stored capture window outside the
 * sensor is reported as 7 and replaced by the whole sensor. Reads the settings file and talks to
 * the device. */
TAVLIN_API int32_t Tavlin_Initialize(TAVLIN_HWND notifyWindow);

/* Stops every acquisition and recording of the camera (a recording is closed unfinalised),
 * waits for its threads, saves its settings and frees it. Returns 1, 0 for an unknown handle (a
 * second release included). Allowed in every mode; returns promptly whatever the wait time.
 * Calls that start after it see an unknown handle. It must not be called while another thread
 * is inside a call on the same handle (a property dialog or TavlinExt_WaitFrame included): the
 * camera object's memory stays valid until that call returns, but the destroy sequence does not
 * wait for it and frees the device object and buffers it may be using. */
TAVLIN_API int32_t Tavlin_Release(int32_t h);

/* TAVLIN_DLL_VERSION; needs no handle. */
TAVLIN_API int32_t Tavlin_GetDllVersion(void);

/* Removes the newest entry of the camera's error history and returns it; 0 when the history is
 * empty or the handle unknown. */
TAVLIN_API int32_t Tavlin_GetLastError(int32_t h);

/* Selects device index 0..31 (see tavlin_ext.h for what answers an index): saves the settings of
 * the current device, loads and applies those of the new one. Returns 1. Idle only. Fails with
 * 1 while an acquisition mode runs, 2 when the index is outside 0..31, no camera was present
 * there at the last look (Tavlin_Initialize or Tavlin_EnumDevice), or it cannot be selected;
 * the camera then keeps its device. */
TAVLIN_API int32_t Tavlin_SetDeviceNumber(int32_t h, int32_t deviceNumber);

/* Looks for cameras afresh and returns how many are present (0..32). With names non-null, writes
 * "Tavlin410QZ-VKE_NN" for each into consecutive slots of TAVLIN_DEVICE_NAME_SLOT bytes, NN
 * counting the cameras found from 01 (not their device indices), and empties the slots after
 * them up to the tenth: names must hold max(count, 10) slots. */
TAVLIN_API int32_t Tavlin_EnumDevice(int32_t h, char* names);
/* As Tavlin_EnumDevice with slots of TAVLIN_DEVICE_NAME_SLOT UTF-16 units, but over the cameras
 * present at the last look, without looking again. */
TAVLIN_API int32_t Tavlin_EnumDeviceW(int32_t h, TavlinWChar* names);

/* Writes the name "Tavlin410QZ-VKE_NN" of device index 0..31 (NN = index + 1) with its
 * terminator: 19 characters. Returns 1. Fails with 9 for a null buffer, a length below 19 or an
 * index outside 0..31, 2 when no camera was present at that index at the last look. */
TAVLIN_API int32_t Tavlin_GetDeviceName(int32_t h, int32_t index, char* buffer, int32_t length);
/* As Tavlin_GetDeviceName in UTF-16; length counts units. */
TAVLIN_API int32_t Tavlin_GetDeviceNameW(int32_t h, int32_t index, TavlinWChar* buffer,
                                         int32_t length);

/* ---- Output format, capture window, mirrors, preview placement ----
 * Colour mode, sub-sampling, wait time, clock and capture window start from the stored settings
 * at initialisation; these exports change the camera object only (Tavlin_SetCameraDlg stores
 * them). The mirror flags are saved with the analog settings at release and device change.
 * Colour mode and sub-sampling take effect when an acquisition next starts from idle. */

/* Output format by bits per pixel: 8 or 16 (gray, the sensor's raw samples; 16 holds 10
 * significant bits), 24, 32, 48 or 64 (colour). Returns 1; fails with 9 for another value. */
TAVLIN_API int32_t Tavlin_SetColorMode(int32_t h, int32_t bitsPerPixel);
/* The format as 8, 10, 24, 32, 42 or 58 (for 8, 16, 24, 32, 48, 64); -1 for an unknown handle or
 * a stored format outside the six. */
TAVLIN_API int32_t Tavlin_GetColorMode(int32_t h);

/* Sub-sampling 0..3: full size, 1/2, 1/4, 1/8 in each direction. Returns 1; 0 without a report
 * for another value. */
TAVLIN_API int32_t Tavlin_SetSubSample(int32_t h, int32_t subSample);
/* The sub-sampling code; -1 for an unknown handle. */
TAVLIN_API int32_t Tavlin_GetSubSample(int32_t h);

/* Pause in milliseconds (>= 0) of the preview loop between polls for a frame; applies at once,
 * also to a running preview, and a stop never waits it out. Returns 1; 0 without a report for
 * a negative value. */
TAVLIN_API int32_t Tavlin_SetWaitTime(int32_t h, int32_t milliseconds);
/* The wait time; -1 for an unknown handle. */
TAVLIN_API int32_t Tavlin_GetWaitTime(int32_t h);

/* Chooses the stored size preset of this width and height (before sub-sampling) for the current
 * device and programs the sensor with it. Returns 1, also when the preset lies outside the
 * sensor: then 7 is reported and the whole sensor is used. Fails with 4 when no preset has that
 * size. */
TAVLIN_API int32_t Tavlin_SetCaptureWindow(int32_t h, int32_t width, int32_t height);
/* Sets the capture window (start and size in sensor pixels before sub-sampling; the totals are
 * stored only) and programs the sensor with it. Returns 1. Fails with 7 when the window does not
 * lie inside the 1280 x 1024 sensor; the window stays stored all the same, and acquisition
 * refuses it (7, then 1) until a valid one is set. Reprogrammed while streaming, the sensor
 * delivers frames of another size, which are refused (frame notice 8) until a restart. */
TAVLIN_API int32_t Tavlin_SetCaptureWindowEx(int32_t h, int32_t totalWidth, int32_t startX,
                                             int32_t width, int32_t totalHeight, int32_t startY,
                                             int32_t height);
/* The stored window; each pointer may be null. Returns 1, also without a device object. */
TAVLIN_API int32_t Tavlin_GetCaptureWindowEx(int32_t h, int32_t* totalWidth, int32_t* startX,
                                             int32_t* width, int32_t* totalHeight, int32_t* startY,
                                             int32_t* height);
/* The stored window's width / height before sub-sampling (0 for an unknown handle). */
TAVLIN_API int32_t Tavlin_Width(int32_t h);
TAVLIN_API int32_t Tavlin_Height(int32_t h);

/* Horizontal / vertical mirroring: flag reduced to 0 or 1, written to the device at once and
 * stored. Return 1. Without a device object they fail with 1, posted only for the vertical pair. */
TAVLIN_API int32_t Tavlin_SetMirrorH(int32_t h, int32_t flag);
TAVLIN_API int32_t Tavlin_SetMirrorV(int32_t h, int32_t flag);
/* The stored flag. */
TAVLIN_API int32_t Tavlin_GetMirrorH(int32_t h);
TAVLIN_API int32_t Tavlin_GetMirrorV(int32_t h);

/* Places the preview window that Tavlin_Preview, Tavlin_CallBackPreview, Tavlin_Trigger and
 * Tavlin_Record (with showWindow) create: a child at left, top, right, bottom in parent's client
 * area, or a top-level window for a null parent. A null parent with all four 0 means no preview
 * window; until this is called, a top-level one of the stored window's size is made. Stored only
 * (returns 1); a placement that cannot be made fails the start with 4. */
TAVLIN_API int32_t Tavlin_SetPreviewWindow(int32_t h, TAVLIN_HWND parent, int32_t left, int32_t top,
                                           int32_t right, int32_t bottom);

/* Fills *info (not its size field) with the sensor's size and the ranges of the gains and the
 * exposure in lines. Returns 1. Fails with 9 for a null info, 5 when info->size is below 36. */
TAVLIN_API int32_t Tavlin_GetCameraInfo(int32_t h, TavlinCameraInfo* info);

/* ---- Automatic iris, clock and exposure time ---- */

/* 0 off, 1 automatic exposure, 2 automatic gain: corrected from the frames while streaming.
 * Returns 1; fails with 9 (posted only) for another value. */
TAVLIN_API int32_t Tavlin_SetAutoIris(int32_t h, int32_t value);
/* The stored mode; sets *ok to 1. */
TAVLIN_API int32_t Tavlin_GetAutoIris(int32_t h, int32_t* ok);

/* Stores the sensor clock selection (any value) for the exposure conversion and the next start
 * from idle, which reprograms the clock and pauses 100 ms when it differs. Returns 1. */
TAVLIN_API int32_t Tavlin_SetHalfClock(int32_t h, int32_t clock);
/* The clock selection the device holds. Fails with 1 (posted only) when it cannot be read. */
TAVLIN_API int32_t Tavlin_GetHalfClock(int32_t h, int32_t* ok);

/* Sets the exposure in microseconds, converted to sensor lines with the clock and the window's
 * line length, and writes it to the sensor. Returns 1; fails with 9 when the lines fall outside
 * 1..16383. */
TAVLIN_API int32_t Tavlin_SetRealExposureTime(int32_t h, int32_t microseconds);
/* The stored exposure converted to microseconds. */
TAVLIN_API int32_t Tavlin_GetRealExposureTime(int32_t h, int32_t* ok);

/* ---- Filter values ----
 * By id (TAVLIN_FILTER_*, with ranges and defaults) or through the named pairs below, which are
 * the same calls with a fixed id. A setter returns 1 and fails with 9 for a value outside the
 * id's range or an unknown id; a getter returns the value and fails with 9 (ok 0) for an unknown
 * id. */
TAVLIN_API int32_t Tavlin_SetFilterValue(int32_t h, int32_t id, int32_t value);
TAVLIN_API int32_t Tavlin_GetFilterValue(int32_t h, int32_t id, int32_t* ok);

TAVLIN_API int32_t Tavlin_SetBrightness(int32_t h, int32_t value); /* id 1 */
TAVLIN_API int32_t Tavlin_GetBrightness(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetContrast(int32_t h, int32_t value); /* id 2 */
TAVLIN_API int32_t Tavlin_GetContrast(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetHue(int32_t h, int32_t value); /* id 3 */
TAVLIN_API int32_t Tavlin_GetHue(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetSaturation(int32_t h, int32_t value); /* id 4 */
TAVLIN_API int32_t Tavlin_GetSaturation(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetSharpness(int32_t h, int32_t value); /* id 5 */
TAVLIN_API int32_t Tavlin_GetSharpness(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetBayerGainRGB(int32_t h, int32_t packed); /* id 6 */
TAVLIN_API int32_t Tavlin_GetBayerGainRGB(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetBayerGainRed(int32_t h, int32_t value); /* id 7 */
TAVLIN_API int32_t Tavlin_GetBayerGainRed(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetBayerGainGreen(int32_t h, int32_t value); /* id 8 */
TAVLIN_API int32_t Tavlin_GetBayerGainGreen(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetBayerGainBlue(int32_t h, int32_t value); /* id 9 */
TAVLIN_API int32_t Tavlin_GetBayerGainBlue(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetBayerGainAuto(int32_t h, int32_t value); /* id 10 */
TAVLIN_API int32_t Tavlin_GetBayerGainAuto(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetGamma(int32_t h, int32_t value); /* id 11 */
TAVLIN_API int32_t Tavlin_GetGamma(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetBayerMode(int32_t h, int32_t value); /* id 12 */
TAVLIN_API int32_t Tavlin_GetBayerMode(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetGlobalGain(int32_t h, int32_t value); /* id 13 */
TAVLIN_API int32_t Tavlin_GetGlobalGain(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetColorGainRed(int32_t h, int32_t value); /* id 14 */
TAVLIN_API int32_t Tavlin_GetColorGainRed(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetColorGainGreen1(int32_t h, int32_t value); /* id 15 */
TAVLIN_API int32_t Tavlin_GetColorGainGreen1(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetColorGainGreen2(int32_t h, int32_t value); /* id 16 */
TAVLIN_API int32_t Tavlin_GetColorGainGreen2(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetColorGainBlue(int32_t h, int32_t value); /* id 17 */
TAVLIN_API int32_t Tavlin_GetColorGainBlue(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetExposureTime(int32_t h, int32_t lines); /* id 18 */
TAVLIN_API int32_t Tavlin_GetExposureTime(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetGrayMode(int32_t h, int32_t value); /* id 19 */
TAVLIN_API int32_t Tavlin_GetGrayMode(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetGrayGainR(int32_t h, int32_t value); /* id 20 */
TAVLIN_API int32_t Tavlin_GetGrayGainR(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetGrayGainG1(int32_t h, int32_t value); /* id 21 */
TAVLIN_API int32_t Tavlin_GetGrayGainG1(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetGrayGainG2(int32_t h, int32_t value); /* id 22 */
TAVLIN_API int32_t Tavlin_GetGrayGainG2(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetGrayGainB(int32_t h, int32_t value); /* id 23 */
TAVLIN_API int32_t Tavlin_GetGrayGainB(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetGrayOffsetR(int32_t h, int32_t value); /* id 24 */
TAVLIN_API int32_t Tavlin_GetGrayOffsetR(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetGrayOffsetG1(int32_t h, int32_t value); /* id 25 */
TAVLIN_API int32_t Tavlin_GetGrayOffsetG1(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetGrayOffsetG2(int32_t h, int32_t value); /* id 26 */
TAVLIN_API int32_t Tavlin_GetGrayOffsetG2(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_SetGrayOffsetB(int32_t h, int32_t value); /* id 27 */
TAVLIN_API int32_t Tavlin_GetGrayOffsetB(int32_t h, int32_t* ok);

/* ---- Sensor registers, SROM, I/O port ----
 * Each is one request to the device, made on the calling thread. */

/* Reads sensor register address & 0xFF and returns its 16-bit value. Fails with 6. The Ex form
 * is the same call. */
TAVLIN_API int32_t Tavlin_ReadRegister(int32_t h, int32_t address, int32_t* ok);
TAVLIN_API int32_t Tavlin_ReadRegisterEx(int32_t h, int32_t address, int32_t* ok);
/* Writes value & 0xFFFF to sensor register address & 0xFF. Returns 1; fails with 6. The Ex form
 * is the same call. */
TAVLIN_API int32_t Tavlin_WriteRegister(int32_t h, int32_t address, int32_t value);
TAVLIN_API int32_t Tavlin_WriteRegisterEx(int32_t h, int32_t address, int32_t value);

/* Reads identification byte index & 0xFF of the camera's SROM. Fails with 1 (posted only). */
TAVLIN_API int32_t Tavlin_ReadSromID(int32_t h, int32_t index, int32_t* ok);
/* Writes value & 0xFF to SROM identification byte index & 0xFF. Returns 1; fails with 1 (posted
 * only). */
TAVLIN_API int32_t Tavlin_WriteSromID(int32_t h, int32_t index, int32_t value);

/* Reads the I/O port into *value (the last two arguments are ignored). Returns 1. Fails with 9
 * (posted only) for a null value, 1 (posted only, *value set to 0) when the read fails. */
TAVLIN_API int32_t Tavlin_GetIOPort(int32_t h, uint8_t* value, int32_t unused1, int32_t unused2);
/* Writes the I/O port. Returns 1, or 0 without a report when the write fails. */
TAVLIN_API int32_t Tavlin_SetIOPort(int32_t h, uint8_t value);

/* ---- Configuration files ---- */

/* Reads a file of pairs of little-endian 32-bit integers into the camera's configuration list,
 * replacing it (docs/settings.md). Returns 1; 0 without a report when the file cannot be read
 * (the list is then unchanged). Needs no device object. The wide form fails with 12 for a null
 * name or one that is not valid UTF-16 or longer than 1022 bytes in UTF-8. */
TAVLIN_API int32_t Tavlin_LoadConfigFileA(int32_t h, const char* fileName);
TAVLIN_API int32_t Tavlin_LoadConfigFileW(int32_t h, const TavlinWChar* fileName);

/* ---- Acquisition ----
 * Starting from idle prepares the acquisition: fails with 2 (device absent or claimed), 7
 * (capture window or sub-sampling), 5 (buffers, colour mode), each followed by the start's own
 * report; it programs the sensor and pauses 100 ms when the clock selection changed. Frames go
 * through the image pipeline into the current image (Tavlin_GetImage, Tavlin_SaveImage,
 * TavlinExt_WaitFrame). Tavlin_CallBackPreview and Tavlin_Trigger also copy each frame into the
 * application buffer (rows top first when rowOrder is non-zero, bottom first otherwise; buffer
 * null or length 0: no copy) and then announce it to the frame window with TAVLIN_MSG_FRAME; a
 * frame that does not fit the buffer is not copied and is announced with lParam 5 (and 5
 * reported). The buffer must stay valid until the acquisition stops, and as long as a later
 * Tavlin_StartPreview may use it again. */

/* Starts a preview (idle -> preview) with no frame window changes: the frame window and buffer
 * of an earlier Tavlin_CallBackPreview or Tavlin_Trigger are used again; no preview window is
 * made. Returns 1, also when a preview already runs. Fails with 1 in capture or trigger mode,
 * 1 after a failed preparation, 2 then 1 when another process claimed the device meanwhile, 3,
 * 6 (transfer not started). */
TAVLIN_API int32_t Tavlin_StartPreview(int32_t h);
/* Clears the frame window and buffer, creates the preview window (fails with 4) and starts a
 * preview; over a callback preview it goes on without frame notices. Returns 1. When the
 * preview cannot start (in capture or trigger mode, or Tavlin_StartPreview's failures) the
 * camera is closed (Tavlin_Close) and 8 reported. */
TAVLIN_API int32_t Tavlin_Preview(int32_t h);
/* As Tavlin_Preview, delivering every frame into buffer and announcing it to frameWindow (see
 * above); over a running preview it switches to the new window and buffer. */
TAVLIN_API int32_t Tavlin_CallBackPreview(int32_t h, TAVLIN_HWND frameWindow, uint8_t* buffer,
                                          int32_t length, int32_t rowOrder);

/* Enters capture mode (idle -> capture): the acquisition is prepared and each Tavlin_SnapShot
 * reads one frame. Returns 1, also in capture mode. Fails with 1 in preview or trigger mode or
 * after a failed preparation. */
TAVLIN_API int32_t Tavlin_Capture(int32_t h);
/* Reads one frame on the calling thread, processes it into the current image and copies it
 * into buffer (rowOrder as above; null buffer or length 0: no copy). From idle it is an
 * acquisition of one frame and the camera stays idle. Returns 1. Idle and capture mode only:
 * fails with 1 in preview or trigger mode or after a failed preparation, 8 when the read fails
 * (Tavlin_StopPreview from another thread makes a pending read fail at once), 5 when buffer is
 * too small (nothing written). Other mode changes of the camera wait for it. */
TAVLIN_API int32_t Tavlin_SnapShot(int32_t h, uint8_t* buffer, int32_t length, int32_t rowOrder);

/* Enters trigger mode (idle -> trigger) and returns: a thread reads a frame for each trigger
 * pulse and delivers it as a callback preview does (frame rate 0 in the record). The first frame
 * after the start is skipped; a read that waits out the driver's time-out without a pulse is not
 * announced. Creates the preview window (fails with 4). Returns 1; in trigger mode 1 at once,
 * keeping the running thread and its window and buffer. Fails with 1 in preview or capture mode;
 * with the camera closed (Tavlin_Close), 1 after a failed preparation and 3. */
TAVLIN_API int32_t Tavlin_Trigger(int32_t h, TAVLIN_HWND frameWindow, uint8_t* buffer,
                                  int32_t length, int32_t rowOrder);

/* Ends any mode (-> idle): cancels a pending snapshot or trigger read, stops the transfer, waits
 * for the acquisition thread and ends a recording (closed unfinalised). The preview window
 * stays. Returns 1, also when idle. */
TAVLIN_API int32_t Tavlin_StopPreview(int32_t h);
/* Destroys the preview window, then as Tavlin_StopPreview; afterwards Tavlin_SaveImage needs a
 * new frame. Returns 1, also without a device object. */
TAVLIN_API int32_t Tavlin_Close(int32_t h);

/* Copies the current image of the colour mode set now into buffer (rowOrder as above); it stays
 * after the acquisition stops. Returns 1. Fails with 5 for a null buffer, when no image was
 * taken yet, or when length is too small (nothing written). Waits for a frame being processed. */
TAVLIN_API int32_t Tavlin_GetImage(int32_t h, uint8_t* buffer, int32_t length, int32_t rowOrder);

/* ---- Image files and recording ---- */

/* Saves the current image in format TAVLIN_FILE_* (docs/output.md), encoding on the calling
 * thread after copying the image; a running preview goes on meanwhile. Returns 1. Fails with 1
 * when no frame was processed since Tavlin_Initialize or the last Tavlin_Close; returns 0 without
 * a report for a null or empty name, a format outside 0..6 or a file that cannot be written. */
TAVLIN_API int32_t Tavlin_SaveImage(int32_t h, const char* fileName, int32_t format);
/* As Tavlin_SaveImage with a UTF-16 name, but saves whatever image the buffers hold, without
 * waiting for a frame: fails with 1 only when there is none. A null name, one that is not valid
 * UTF-16 or one longer than 1023 bytes in UTF-8 fails with 1. */
TAVLIN_API int32_t Tavlin_SaveImageW(int32_t h, const TavlinWChar* fileName, int32_t format);

/* Records the processed preview frames into an AVI file on a thread of its own and returns.
 * Clears the frame window and buffer as Tavlin_Preview does and starts a preview (idle ->
 * preview, with the preview window when showWindow is non-zero) unless one runs. The recording
 * ends after the first frame past durationMs (negative: after the first frame) and the file is
 * finalised; the preview goes on. Returns 1. Fails with 9 for a null or empty name, 1 while a
 * recording runs. When the preview window (4), the preview (12; in capture or trigger mode 1
 * then 12), the file (12) or the thread (3) cannot be made, the camera is closed (Tavlin_Close).
 * Tavlin_StopPreview, Tavlin_Close and Tavlin_Release end a recording unfinalised. */
TAVLIN_API int32_t Tavlin_Record(int32_t h, const char* fileName, int32_t durationMs,
                                 int32_t showWindow);
/* As Tavlin_Record with a UTF-16 name; fails with 12 for a null name, one that is not valid
 * UTF-16 or one longer than 1023 bytes in UTF-8. */
TAVLIN_API int32_t Tavlin_RecordW(int32_t h, const TavlinWChar* fileName, int32_t durationMs,
                                  int32_t showWindow);

/* ---- Property dialogs ----
 * Each runs modally on the calling thread and returns 1 once it has closed, by OK or by Cancel
 * (Cancel puts the values back). parent may be any value; one that is no window opens the dialog
 * on its own. One dialog per camera: fails with 1 while another is open for it. Other threads
 * may call the camera's exports meanwhile and drive the dialog (tavlin_host.h); without a display
 * a dialog nobody drives is cancelled after the idle time-out. */

/* Gains, exposure, automatic iris and mirrors. */
TAVLIN_API int32_t Tavlin_SetAnalogDlg(int32_t h, TAVLIN_HWND parent);
/* Picture adjustments, white balance and (in the gray formats) the gray filter. */
TAVLIN_API int32_t Tavlin_SetImageDlg(int32_t h, TAVLIN_HWND parent);
/* Colour mode, size preset, sub-sampling, wait time and clock; a running acquisition is stopped
 * meanwhile and restarted afterwards, with the new format after OK. */
TAVLIN_API int32_t Tavlin_SetCameraDlg(int32_t h, TAVLIN_HWND parent);

/* ---- Not supported by this camera model ----
 * Arguments after the handle are ignored. */

/* Return 0 and post 11 (posted only). */
TAVLIN_API int32_t Tavlin_Fpga_ReadRegister(int32_t h, ...);
TAVLIN_API int32_t Tavlin_Fpga_WriteRegister(int32_t h, ...);
TAVLIN_API int32_t Tavlin_Fps(int32_t h, ...);
TAVLIN_API int32_t Tavlin_SetCrossbar(int32_t h, ...);
TAVLIN_API int32_t Tavlin_SetSamplingRate(int32_t h, ...);
/* Set *value (when non-null) to 0 and return 0; nothing is reported. */
TAVLIN_API int32_t Tavlin_GetSamplingRate(int32_t h, int32_t* value);
TAVLIN_API int32_t Tavlin_GetVideoFormat(int32_t h, int32_t* value);
/* Returns 0 for any handle; nothing is reported. */
TAVLIN_API int32_t Tavlin_GetStatus(int32_t h, int32_t unused);
/* Return -1 and report 11 (0 for an unknown handle). */
TAVLIN_API int32_t Tavlin_GetConfigFilter(int32_t h, ...);
TAVLIN_API int32_t Tavlin_SetConfigFilter(int32_t h, ...);

#ifdef __cplusplus
}
#endif

#endif /* TAVLIN_TAVLIN_H */
