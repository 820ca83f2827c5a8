/*
 * Tavlin 410QZ-VKE camera SDK - public C interface.
 *
 * Every export returns its result as a value; failures are 0 (or -1 where noted) and the reason
 * is kept in the camera's error history (Tavlin_GetLastError) and posted to the notification
 * window as TAVLIN_MSG_ERROR. Any thread may call any export. A handle must not be released
 * while another call on it is still running.
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

/* Application messages (posted, never sent). */
enum {
    TAVLIN_MSG_FRAME = 0x8002, /* wParam: TavlinFrameInfo*, lParam 0; or wParam 0, lParam 8/13/5 */
    TAVLIN_MSG_ERROR = 0x8003  /* wParam 0, lParam: error code */
};

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
     * already open, or a SROM access, I/O port read or clock read failed (posted only). */
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
    /* A recording's file could not be created or its preview not started, or a wide file name
     * could not be converted to UTF-8. */
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

/* Filled by Tavlin_GetCameraInfo; the application sets size to at least 36. */
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

/* Slot width of the narrow and wide device lists of Tavlin_EnumDevice(W). */
#define TAVLIN_DEVICE_NAME_SLOT 256
#define TAVLIN_DLL_VERSION 26281247

/* The exports, in catalogue order. */
TAVLIN_API int32_t Tavlin_CallBackPreview(int32_t h, TAVLIN_HWND frameWindow, uint8_t* buffer,
                                          int32_t length, int32_t rowOrder);
TAVLIN_API int32_t Tavlin_Capture(int32_t h);
TAVLIN_API int32_t Tavlin_Close(int32_t h);
TAVLIN_API int32_t Tavlin_EnumDevice(int32_t h, char* names);
TAVLIN_API int32_t Tavlin_EnumDeviceW(int32_t h, TavlinWChar* names);
TAVLIN_API int32_t Tavlin_Fpga_ReadRegister(int32_t h, ...);
TAVLIN_API int32_t Tavlin_Fpga_WriteRegister(int32_t h, ...);
TAVLIN_API int32_t Tavlin_Fps(int32_t h, ...);
TAVLIN_API int32_t Tavlin_GetAutoIris(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetBayerGainAuto(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetBayerGainBlue(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetBayerGainGreen(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetBayerGainRGB(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetBayerGainRed(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetBayerMode(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetBrightness(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetCameraInfo(int32_t h, TavlinCameraInfo* info);
TAVLIN_API int32_t Tavlin_GetCaptureWindowEx(int32_t h, int32_t* totalWidth, int32_t* startX,
                                             int32_t* width, int32_t* totalHeight, int32_t* startY,
                                             int32_t* height);
TAVLIN_API int32_t Tavlin_GetColorGainBlue(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetColorGainGreen1(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetColorGainGreen2(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetColorGainRed(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetColorMode(int32_t h);
TAVLIN_API int32_t Tavlin_GetConfigFilter(int32_t h, ...);
TAVLIN_API int32_t Tavlin_GetContrast(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetDeviceName(int32_t h, int32_t index, char* buffer, int32_t length);
TAVLIN_API int32_t Tavlin_GetDeviceNameW(int32_t h, int32_t index, TavlinWChar* buffer,
                                         int32_t length);
TAVLIN_API int32_t Tavlin_GetDllVersion(void);
TAVLIN_API int32_t Tavlin_GetExposureTime(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetFilterValue(int32_t h, int32_t id, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetGamma(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetGlobalGain(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetGrayGainB(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetGrayGainG1(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetGrayGainG2(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetGrayGainR(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetGrayMode(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetGrayOffsetB(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetGrayOffsetG1(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetGrayOffsetG2(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetGrayOffsetR(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetHalfClock(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetHue(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetIOPort(int32_t h, uint8_t* value, int32_t unused1, int32_t unused2);
TAVLIN_API int32_t Tavlin_GetImage(int32_t h, uint8_t* buffer, int32_t length, int32_t rowOrder);
TAVLIN_API int32_t Tavlin_GetLastError(int32_t h);
TAVLIN_API int32_t Tavlin_GetMirrorH(int32_t h);
TAVLIN_API int32_t Tavlin_GetMirrorV(int32_t h);
TAVLIN_API int32_t Tavlin_GetRealExposureTime(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetSamplingRate(int32_t h, int32_t* value);
TAVLIN_API int32_t Tavlin_GetSaturation(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetSharpness(int32_t h, int32_t* ok);
TAVLIN_API int32_t Tavlin_GetStatus(int32_t h, int32_t unused);
TAVLIN_API int32_t Tavlin_GetSubSample(int32_t h);
TAVLIN_API int32_t Tavlin_GetVideoFormat(int32_t h, int32_t* value);
TAVLIN_API int32_t Tavlin_GetWaitTime(int32_t h);
TAVLIN_API int32_t Tavlin_Height(int32_t h);
TAVLIN_API int32_t Tavlin_Initialize(TAVLIN_HWND notifyWindow);
TAVLIN_API int32_t Tavlin_LoadConfigFileA(int32_t h, const char* fileName);
TAVLIN_API int32_t Tavlin_LoadConfigFileW(int32_t h, const TavlinWChar* fileName);
TAVLIN_API int32_t Tavlin_Preview(int32_t h);
TAVLIN_API int32_t Tavlin_ReadRegister(int32_t h, int32_t address, int32_t* ok);
TAVLIN_API int32_t Tavlin_ReadRegisterEx(int32_t h, int32_t address, int32_t* ok);
TAVLIN_API int32_t Tavlin_ReadSromID(int32_t h, int32_t index, int32_t* ok);
TAVLIN_API int32_t Tavlin_Record(int32_t h, const char* fileName, int32_t durationMs,
                                 int32_t showWindow);
TAVLIN_API int32_t Tavlin_RecordW(int32_t h, const TavlinWChar* fileName, int32_t durationMs,
                                  int32_t showWindow);
TAVLIN_API int32_t Tavlin_Release(int32_t h);
TAVLIN_API int32_t Tavlin_SaveImage(int32_t h, const char* fileName, int32_t format);
TAVLIN_API int32_t Tavlin_SaveImageW(int32_t h, const TavlinWChar* fileName, int32_t format);
TAVLIN_API int32_t Tavlin_SetAnalogDlg(int32_t h, TAVLIN_HWND parent);
TAVLIN_API int32_t Tavlin_SetAutoIris(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetBayerGainAuto(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetBayerGainBlue(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetBayerGainGreen(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetBayerGainRGB(int32_t h, int32_t packed);
TAVLIN_API int32_t Tavlin_SetBayerGainRed(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetBayerMode(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetBrightness(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetCameraDlg(int32_t h, TAVLIN_HWND parent);
TAVLIN_API int32_t Tavlin_SetCaptureWindow(int32_t h, int32_t width, int32_t height);
TAVLIN_API int32_t Tavlin_SetCaptureWindowEx(int32_t h, int32_t totalWidth, int32_t startX,
                                             int32_t width, int32_t totalHeight, int32_t startY,
                                             int32_t height);
TAVLIN_API int32_t Tavlin_SetColorGainBlue(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetColorGainGreen1(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetColorGainGreen2(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetColorGainRed(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetColorMode(int32_t h, int32_t bitsPerPixel);
TAVLIN_API int32_t Tavlin_SetConfigFilter(int32_t h, ...);
TAVLIN_API int32_t Tavlin_SetContrast(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetCrossbar(int32_t h, ...);
TAVLIN_API int32_t Tavlin_SetDeviceNumber(int32_t h, int32_t deviceNumber);
TAVLIN_API int32_t Tavlin_SetExposureTime(int32_t h, int32_t lines);
TAVLIN_API int32_t Tavlin_SetFilterValue(int32_t h, int32_t id, int32_t value);
TAVLIN_API int32_t Tavlin_SetGamma(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetGlobalGain(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetGrayGainB(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetGrayGainG1(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetGrayGainG2(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetGrayGainR(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetGrayMode(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetGrayOffsetB(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetGrayOffsetG1(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetGrayOffsetG2(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetGrayOffsetR(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetHalfClock(int32_t h, int32_t clock);
TAVLIN_API int32_t Tavlin_SetHue(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetIOPort(int32_t h, uint8_t value);
TAVLIN_API int32_t Tavlin_SetImageDlg(int32_t h, TAVLIN_HWND parent);
TAVLIN_API int32_t Tavlin_SetMirrorH(int32_t h, int32_t flag);
TAVLIN_API int32_t Tavlin_SetMirrorV(int32_t h, int32_t flag);
TAVLIN_API int32_t Tavlin_SetPreviewWindow(int32_t h, TAVLIN_HWND parent, int32_t left, int32_t top,
                                           int32_t right, int32_t bottom);
TAVLIN_API int32_t Tavlin_SetRealExposureTime(int32_t h, int32_t microseconds);
TAVLIN_API int32_t Tavlin_SetSamplingRate(int32_t h, ...);
TAVLIN_API int32_t Tavlin_SetSaturation(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetSharpness(int32_t h, int32_t value);
TAVLIN_API int32_t Tavlin_SetSubSample(int32_t h, int32_t subSample);
TAVLIN_API int32_t Tavlin_SetWaitTime(int32_t h, int32_t milliseconds);
TAVLIN_API int32_t Tavlin_SnapShot(int32_t h, uint8_t* buffer, int32_t length, int32_t rowOrder);
TAVLIN_API int32_t Tavlin_StartPreview(int32_t h);
TAVLIN_API int32_t Tavlin_StopPreview(int32_t h);
TAVLIN_API int32_t Tavlin_Trigger(int32_t h, TAVLIN_HWND frameWindow, uint8_t* buffer,
                                  int32_t length, int32_t rowOrder);
TAVLIN_API int32_t Tavlin_Width(int32_t h);
TAVLIN_API int32_t Tavlin_WriteRegister(int32_t h, int32_t address, int32_t value);
TAVLIN_API int32_t Tavlin_WriteRegisterEx(int32_t h, int32_t address, int32_t value);
TAVLIN_API int32_t Tavlin_WriteSromID(int32_t h, int32_t index, int32_t value);

#ifdef __cplusplus
}
#endif

#endif /* TAVLIN_TAVLIN_H */
