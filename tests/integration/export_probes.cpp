#include "integration/export_probes.h"

#include <fstream>

namespace tavlin::test {

namespace {

#define PROBE(fn, notFound, ...)                                                         \
    ExportProbe {                                                                        \
#fn, notFound, true, [](int32_t h, ProbeOutputs & o) { return fn(__VA_ARGS__); } \
    }
#define HANDLE_ONLY(fn) PROBE(fn, 0, h)
#define FLAG_OUT(fn) PROBE(fn, 0, h, o.P(o.Int()))
#define SETTER(fn) PROBE(fn, 0, h, o.V(1))
#define DIALOG(fn) PROBE(fn, 0, h, nullptr)

}  // namespace

const std::vector<ExportProbe>& ExportProbes() {
    static const std::vector<ExportProbe> probes = {
        PROBE(Tavlin_CallBackPreview, 0, h, nullptr, o.P(o.bytes.data()), o.L(o.bytes.length()),
              o.V(1)),
        HANDLE_ONLY(Tavlin_Capture),
        HANDLE_ONLY(Tavlin_Close),
        PROBE(Tavlin_EnumDevice, 0, h, o.P(reinterpret_cast<char*>(o.names.data()))),
        PROBE(Tavlin_EnumDeviceW, 0, h, o.P(o.wideNames.as<TavlinWChar>())),
        PROBE(Tavlin_Fpga_ReadRegister, 0, h, o.V(1), o.P(o.Int())),
        PROBE(Tavlin_Fpga_WriteRegister, 0, h, o.V(1), o.V(2)),
        PROBE(Tavlin_Fps, 0, h, o.P(o.Int())),
        FLAG_OUT(Tavlin_GetAutoIris),
        FLAG_OUT(Tavlin_GetBayerGainAuto),
        FLAG_OUT(Tavlin_GetBayerGainBlue),
        FLAG_OUT(Tavlin_GetBayerGainGreen),
        FLAG_OUT(Tavlin_GetBayerGainRGB),
        FLAG_OUT(Tavlin_GetBayerGainRed),
        FLAG_OUT(Tavlin_GetBayerMode),
        FLAG_OUT(Tavlin_GetBrightness),
        PROBE(Tavlin_GetCameraInfo, 0, h, o.P(o.info.as<TavlinCameraInfo>())),
        PROBE(Tavlin_GetCaptureWindowEx, 0, h, o.P(o.Int(0)), o.P(o.Int(1)), o.P(o.Int(2)),
              o.P(o.Int(3)), o.P(o.Int(4)), o.P(o.Int(5))),
        FLAG_OUT(Tavlin_GetColorGainBlue),
        FLAG_OUT(Tavlin_GetColorGainGreen1),
        FLAG_OUT(Tavlin_GetColorGainGreen2),
        FLAG_OUT(Tavlin_GetColorGainRed),
        PROBE(Tavlin_GetColorMode, -1, h),
        HANDLE_ONLY(Tavlin_GetConfigFilter),
        FLAG_OUT(Tavlin_GetContrast),
        PROBE(Tavlin_GetDeviceName, 0, h, o.V(0), o.P(reinterpret_cast<char*>(o.names.data())),
              o.L(o.names.length())),
        PROBE(Tavlin_GetDeviceNameW, 0, h, o.V(0), o.P(o.wideNames.as<TavlinWChar>()), o.L(256)),
        ExportProbe{"Tavlin_GetDllVersion", TAVLIN_DLL_VERSION, false,
                    [](int32_t, ProbeOutputs&) { return Tavlin_GetDllVersion(); }},
        FLAG_OUT(Tavlin_GetExposureTime),
        PROBE(Tavlin_GetFilterValue, 0, h, o.V(TAVLIN_FILTER_GAMMA), o.P(o.Int())),
        FLAG_OUT(Tavlin_GetGamma),
        FLAG_OUT(Tavlin_GetGlobalGain),
        FLAG_OUT(Tavlin_GetGrayGainB),
        FLAG_OUT(Tavlin_GetGrayGainG1),
        FLAG_OUT(Tavlin_GetGrayGainG2),
        FLAG_OUT(Tavlin_GetGrayGainR),
        FLAG_OUT(Tavlin_GetGrayMode),
        FLAG_OUT(Tavlin_GetGrayOffsetB),
        FLAG_OUT(Tavlin_GetGrayOffsetG1),
        FLAG_OUT(Tavlin_GetGrayOffsetG2),
        FLAG_OUT(Tavlin_GetGrayOffsetR),
        FLAG_OUT(Tavlin_GetHalfClock),
        FLAG_OUT(Tavlin_GetHue),
        PROBE(Tavlin_GetIOPort, 0, h, o.P(o.bytes.data()), o.V(0), o.V(0)),
        PROBE(Tavlin_GetImage, 0, h, o.P(o.bytes.data()), o.L(o.bytes.length()), o.V(1)),
        HANDLE_ONLY(Tavlin_GetLastError),
        HANDLE_ONLY(Tavlin_GetMirrorH),
        HANDLE_ONLY(Tavlin_GetMirrorV),
        FLAG_OUT(Tavlin_GetRealExposureTime),
        FLAG_OUT(Tavlin_GetSamplingRate),
        FLAG_OUT(Tavlin_GetSaturation),
        FLAG_OUT(Tavlin_GetSharpness),
        PROBE(Tavlin_GetStatus, 0, h, o.V(0)),
        PROBE(Tavlin_GetSubSample, -1, h),
        FLAG_OUT(Tavlin_GetVideoFormat),
        PROBE(Tavlin_GetWaitTime, -1, h),
        HANDLE_ONLY(Tavlin_Height),
        ExportProbe{"Tavlin_Initialize", 0, false,
                    [](int32_t, ProbeOutputs&) { return Tavlin_Initialize(nullptr); }},
        PROBE(Tavlin_LoadConfigFileA, 0, h, o.P(o.fileName.c_str())),
        PROBE(Tavlin_LoadConfigFileW, 0, h, o.P(o.wideFileName.c_str())),
        HANDLE_ONLY(Tavlin_Preview),
        PROBE(Tavlin_ReadRegister, 0, h, o.V(9), o.P(o.Int())),
        PROBE(Tavlin_ReadRegisterEx, 0, h, o.V(9), o.P(o.Int())),
        PROBE(Tavlin_ReadSromID, 0, h, o.V(0), o.P(o.Int())),
        PROBE(Tavlin_Record, 0, h, o.P(o.fileName.c_str()), o.V(100), o.V(0)),
        PROBE(Tavlin_RecordW, 0, h, o.P(o.wideFileName.c_str()), o.V(100), o.V(0)),
        HANDLE_ONLY(Tavlin_Release),
        PROBE(Tavlin_SaveImage, 0, h, o.P(o.fileName.c_str()), o.V(TAVLIN_FILE_BMP)),
        PROBE(Tavlin_SaveImageW, 0, h, o.P(o.wideFileName.c_str()), o.V(TAVLIN_FILE_BMP)),
        DIALOG(Tavlin_SetAnalogDlg),
        SETTER(Tavlin_SetAutoIris),
        SETTER(Tavlin_SetBayerGainAuto),
        SETTER(Tavlin_SetBayerGainBlue),
        SETTER(Tavlin_SetBayerGainGreen),
        SETTER(Tavlin_SetBayerGainRGB),
        SETTER(Tavlin_SetBayerGainRed),
        SETTER(Tavlin_SetBayerMode),
        SETTER(Tavlin_SetBrightness),
        DIALOG(Tavlin_SetCameraDlg),
        PROBE(Tavlin_SetCaptureWindow, 0, h, o.V(640), o.V(480)),
        PROBE(Tavlin_SetCaptureWindowEx, 0, h, o.V(1280), o.V(0), o.V(640), o.V(1024), o.V(0),
              o.V(480)),
        SETTER(Tavlin_SetColorGainBlue),
        SETTER(Tavlin_SetColorGainGreen1),
        SETTER(Tavlin_SetColorGainGreen2),
        SETTER(Tavlin_SetColorGainRed),
        PROBE(Tavlin_SetColorMode, 0, h, o.V(24)),
        PROBE(Tavlin_SetConfigFilter, 0, h, o.V(1)),
        SETTER(Tavlin_SetContrast),
        PROBE(Tavlin_SetCrossbar, 0, h, o.V(1), o.V(2)),
        PROBE(Tavlin_SetDeviceNumber, 0, h, o.V(0)),
        PROBE(Tavlin_SetExposureTime, 0, h, o.V(100)),
        PROBE(Tavlin_SetFilterValue, 0, h, o.V(TAVLIN_FILTER_GAMMA), o.V(100)),
        SETTER(Tavlin_SetGamma),
        SETTER(Tavlin_SetGlobalGain),
        SETTER(Tavlin_SetGrayGainB),
        SETTER(Tavlin_SetGrayGainG1),
        SETTER(Tavlin_SetGrayGainG2),
        SETTER(Tavlin_SetGrayGainR),
        SETTER(Tavlin_SetGrayMode),
        SETTER(Tavlin_SetGrayOffsetB),
        SETTER(Tavlin_SetGrayOffsetG1),
        SETTER(Tavlin_SetGrayOffsetG2),
        SETTER(Tavlin_SetGrayOffsetR),
        SETTER(Tavlin_SetHalfClock),
        SETTER(Tavlin_SetHue),
        PROBE(Tavlin_SetIOPort, 0, h, uint8_t(o.V(0x5A))),
        DIALOG(Tavlin_SetImageDlg),
        SETTER(Tavlin_SetMirrorH),
        SETTER(Tavlin_SetMirrorV),
        PROBE(Tavlin_SetPreviewWindow, 0, h, nullptr, o.V(0), o.V(0), o.V(320), o.V(240)),
        PROBE(Tavlin_SetRealExposureTime, 0, h, o.V(10000)),
        PROBE(Tavlin_SetSamplingRate, 0, h, o.V(1)),
        SETTER(Tavlin_SetSaturation),
        SETTER(Tavlin_SetSharpness),
        SETTER(Tavlin_SetSubSample),
        SETTER(Tavlin_SetWaitTime),
        PROBE(Tavlin_SnapShot, 0, h, o.P(o.bytes.data()), o.L(o.bytes.length()), o.V(1)),
        HANDLE_ONLY(Tavlin_StartPreview),
        HANDLE_ONLY(Tavlin_StopPreview),
        PROBE(Tavlin_Trigger, 0, h, nullptr, o.P(o.bytes.data()), o.L(o.bytes.length()), o.V(1)),
        HANDLE_ONLY(Tavlin_Width),
        PROBE(Tavlin_WriteRegister, 0, h, o.V(9), o.V(100)),
        PROBE(Tavlin_WriteRegisterEx, 0, h, o.V(9), o.V(100)),
        PROBE(Tavlin_WriteSromID, 0, h, o.V(0x40), o.V(0x12)),
    };
    return probes;
}

std::vector<std::string> CatalogueNames() {
    std::vector<std::string> names;
    std::ifstream in(TAVLIN_CATALOGUE_FILE);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) names.push_back(line);
    }
    return names;
}

}  // namespace tavlin::test
