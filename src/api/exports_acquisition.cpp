// Acquisition: preview, capture and snapshots, trigger mode, the current image, stop and close.
#include "api/export_frame.h"

using tavlin::api::ToHandle;
using tavlin::api::WithCamera;
using tavlin::camera::CTavlin;

extern "C" {

int32_t Tavlin_Preview(int32_t h) {
    return WithCamera(h, 0, [](CTavlin& c) { return c.Preview(); });
}
int32_t Tavlin_CallBackPreview(int32_t h, TAVLIN_HWND frameWindow, uint8_t* buffer, int32_t length,
                               int32_t rowOrder) {
    return WithCamera(h, 0, [&](CTavlin& c) {
        return c.CallBackPreview(ToHandle(frameWindow), buffer, length, rowOrder);
    });
}
int32_t Tavlin_StartPreview(int32_t h) {
    return WithCamera(h, 0, [](CTavlin& c) { return c.StartPreview(); });
}
int32_t Tavlin_StopPreview(int32_t h) {
    return WithCamera(h, 0, [](CTavlin& c) { return c.StopPreview(); });
}
int32_t Tavlin_Capture(int32_t h) {
    return WithCamera(h, 0, [](CTavlin& c) { return c.Capture(); });
}
int32_t Tavlin_SnapShot(int32_t h, uint8_t* buffer, int32_t length, int32_t rowOrder) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.SnapShot(buffer, length, rowOrder); });
}
int32_t Tavlin_Trigger(int32_t h, TAVLIN_HWND frameWindow, uint8_t* buffer, int32_t length,
                       int32_t rowOrder) {
    return WithCamera(h, 0, [&](CTavlin& c) {
        return c.Trigger(ToHandle(frameWindow), buffer, length, rowOrder);
    });
}
int32_t Tavlin_GetImage(int32_t h, uint8_t* buffer, int32_t length, int32_t rowOrder) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.GetImage(buffer, length, rowOrder); });
}
int32_t Tavlin_Close(int32_t h) {
    return WithCamera(h, 0, [](CTavlin& c) { return c.Close(); });
}

}  // extern "C"

extern "C" {

int32_t Tavlin_SaveImage(int32_t h, const char* fileName, int32_t format) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.SaveImage(fileName, format); });
}
int32_t Tavlin_SaveImageW(int32_t h, const TavlinWChar* fileName, int32_t format) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.SaveImageW(fileName, format); });
}
int32_t Tavlin_Record(int32_t h, const char* fileName, int32_t durationMs, int32_t showWindow) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.Record(fileName, durationMs, showWindow); });
}
int32_t Tavlin_RecordW(int32_t h, const TavlinWChar* fileName, int32_t durationMs,
                       int32_t showWindow) {
    return WithCamera(h, 0,
                      [&](CTavlin& c) { return c.RecordW(fileName, durationMs, showWindow); });
}

}  // extern "C"
