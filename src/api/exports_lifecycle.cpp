// Camera lifetime, version and error history exports.
#include "api/export_frame.h"

using tavlin::api::CSdkChain;
using tavlin::api::ToHandle;
using tavlin::api::WithCamera;
using tavlin::camera::CTavlin;

extern "C" {

int32_t Tavlin_Initialize(TAVLIN_HWND notifyWindow) {
    const int32_t handle = CSdkChain::Instance().CreateCamera();
    if (handle == 0) {
        TAVLIN_LOG(Camera, Error, "no camera object can be made");
        return 0;
    }
    TAVLIN_LOG_CAM(Camera, Info, handle, "camera handle %d created", handle);
    // The handle stays valid whatever the initialize sequence reported: the application still
    // releases it, and the camera answers with the recorded error meanwhile.
    WithCamera(handle, 0,
               [&](CTavlin& camera) { return camera.Initialize(ToHandle(notifyWindow)); });
    return handle;
}

int32_t Tavlin_Release(int32_t h) {
    try {
        return CSdkChain::Instance().Release(h);
    } catch (...) {
        return 0;
    }
}

int32_t Tavlin_GetDllVersion(void) {
    return TAVLIN_DLL_VERSION;
}

int32_t Tavlin_GetLastError(int32_t h) {
    return WithCamera(h, 0, [](CTavlin& camera) { return camera.Errors().PopLast(); });
}

int32_t Tavlin_SetDeviceNumber(int32_t h, int32_t deviceNumber) {
    return WithCamera(h, 0, [&](CTavlin& camera) { return camera.SetDeviceNumber(deviceNumber); });
}

}  // extern "C"
