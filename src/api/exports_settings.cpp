// Capture window, mirrors, preview placement and camera information.
#include "api/export_frame.h"

using tavlin::api::ToHandle;
using tavlin::api::WithCamera;
using tavlin::camera::CTavlin;

extern "C" {

int32_t Tavlin_SetCaptureWindow(int32_t h, int32_t width, int32_t height) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.SetCaptureWindow(width, height); });
}
int32_t Tavlin_SetCaptureWindowEx(int32_t h, int32_t totalWidth, int32_t startX, int32_t width,
                                  int32_t totalHeight, int32_t startY, int32_t height) {
    return WithCamera(h, 0, [&](CTavlin& c) {
        return c.SetCaptureWindowEx(totalWidth, startX, width, totalHeight, startY, height);
    });
}
int32_t Tavlin_GetCaptureWindowEx(int32_t h, int32_t* totalWidth, int32_t* startX, int32_t* width,
                                  int32_t* totalHeight, int32_t* startY, int32_t* height) {
    return WithCamera(h, 0, [&](CTavlin& c) {
        return c.GetCaptureWindowEx(totalWidth, startX, width, totalHeight, startY, height);
    });
}
int32_t Tavlin_Width(int32_t h) {
    return WithCamera(h, 0, [](CTavlin& c) { return c.Width(); });
}
int32_t Tavlin_Height(int32_t h) {
    return WithCamera(h, 0, [](CTavlin& c) { return c.Height(); });
}
int32_t Tavlin_SetMirrorH(int32_t h, int32_t flag) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.SetMirrorH(flag); });
}
int32_t Tavlin_GetMirrorH(int32_t h) {
    return WithCamera(h, 0, [](CTavlin& c) { return c.GetMirrorH(); });
}
int32_t Tavlin_SetMirrorV(int32_t h, int32_t flag) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.SetMirrorV(flag); });
}
int32_t Tavlin_GetMirrorV(int32_t h) {
    return WithCamera(h, 0, [](CTavlin& c) { return c.GetMirrorV(); });
}
int32_t Tavlin_SetPreviewWindow(int32_t h, TAVLIN_HWND parent, int32_t left, int32_t top,
                                int32_t right, int32_t bottom) {
    return WithCamera(h, 0, [&](CTavlin& c) {
        return c.SetPreviewWindow(ToHandle(parent), left, top, right, bottom);
    });
}
int32_t Tavlin_GetCameraInfo(int32_t h, TavlinCameraInfo* info) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.GetCameraInfo(info); });
}

}  // extern "C"
