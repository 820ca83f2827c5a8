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

/* Error codes kept in the history and posted with TAVLIN_MSG_ERROR. */
enum {
    TAVLIN_ERR_NONE = 0,
    TAVLIN_ERR_NO_DEVICE = 1,        /* no device, or not possible now */
    TAVLIN_ERR_DEVICE_BUSY = 2,      /* device not available (absent or claimed elsewhere) */
    TAVLIN_ERR_THREAD = 3,           /* thread or event could not be created */
    TAVLIN_ERR_WINDOW = 4,           /* window not created, or no matching size preset */
    TAVLIN_ERR_MEMORY = 5,           /* out of memory or initialisation failed */
    TAVLIN_ERR_IO = 6,               /* device input/output failed */
    TAVLIN_ERR_CAPTURE_WINDOW = 7,   /* capture window invalid */
    TAVLIN_ERR_TRANSFER = 8,         /* frame transfer failed */
    TAVLIN_ERR_INVALID_ARGUMENT = 9, /* value out of range or unknown id */
    TAVLIN_ERR_NOT_SUPPORTED = 11,   /* not supported */
    TAVLIN_ERR_FILE = 12,            /* file or name failure */
    TAVLIN_ERR_STREAM_STOPPED = 13   /* stream stopped */
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

/* Filter value ids of Tavlin_SetFilterValue / Tavlin_GetFilterValue. */
enum {
    TAVLIN_FILTER_BRIGHTNESS = 1,
    TAVLIN_FILTER_CONTRAST = 2,
    TAVLIN_FILTER_HUE = 3,
    TAVLIN_FILTER_SATURATION = 4,
    TAVLIN_FILTER_SHARPNESS = 5,
    TAVLIN_FILTER_BAYER_GAIN_RGB = 6,
    TAVLIN_FILTER_BAYER_GAIN_RED = 7,
    TAVLIN_FILTER_BAYER_GAIN_GREEN = 8,
    TAVLIN_FILTER_BAYER_GAIN_BLUE = 9,
    TAVLIN_FILTER_BAYER_GAIN_AUTO = 10,
    TAVLIN_FILTER_GAMMA = 11,
    TAVLIN_FILTER_BAYER_MODE = 12,
    TAVLIN_FILTER_GLOBAL_GAIN = 13,
    TAVLIN_FILTER_COLOR_GAIN_RED = 14,
    TAVLIN_FILTER_COLOR_GAIN_GREEN1 = 15,
    TAVLIN_FILTER_COLOR_GAIN_GREEN2 = 16,
    TAVLIN_FILTER_COLOR_GAIN_BLUE = 17,
    TAVLIN_FILTER_EXPOSURE_TIME = 18,
    TAVLIN_FILTER_GRAY_MODE = 19,
    TAVLIN_FILTER_GRAY_GAIN_R = 20,
    TAVLIN_FILTER_GRAY_GAIN_G1 = 21,
    TAVLIN_FILTER_GRAY_GAIN_G2 = 22,
    TAVLIN_FILTER_GRAY_GAIN_B = 23,
    TAVLIN_FILTER_GRAY_OFFSET_R = 24,
    TAVLIN_FILTER_GRAY_OFFSET_G1 = 25,
    TAVLIN_FILTER_GRAY_OFFSET_G2 = 26,
    TAVLIN_FILTER_GRAY_OFFSET_B = 27,
    TAVLIN_FILTER_28 = 28
};

/* Record whose address is the wParam of a frame notice; overwritten by the next frame. */
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
