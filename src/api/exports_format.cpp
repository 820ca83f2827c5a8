// Output format, sub-sampling, polling interval and automatic iris: settings that take effect
// when the next acquisition is prepared and need no device object.
#include "api/export_frame.h"

using tavlin::api::WithCamera;
using tavlin::camera::CTavlin;

extern "C" {

int32_t Tavlin_SetColorMode(int32_t h, int32_t bitsPerPixel) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.SetColorMode(bitsPerPixel); });
}
int32_t Tavlin_GetColorMode(int32_t h) {
    return WithCamera(h, -1, [](CTavlin& c) { return c.GetColorMode(); });
}
int32_t Tavlin_SetSubSample(int32_t h, int32_t subSample) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.SetSubSample(subSample); });
}
int32_t Tavlin_GetSubSample(int32_t h) {
    return WithCamera(h, -1, [](CTavlin& c) { return c.GetSubSample(); });
}
int32_t Tavlin_SetWaitTime(int32_t h, int32_t milliseconds) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.SetWaitTime(milliseconds); });
}
int32_t Tavlin_GetWaitTime(int32_t h) {
    return WithCamera(h, -1, [](CTavlin& c) { return c.GetWaitTime(); });
}
int32_t Tavlin_SetAutoIris(int32_t h, int32_t value) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.SetAutoIris(value); });
}
int32_t Tavlin_GetAutoIris(int32_t h, int32_t* ok) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.GetAutoIris(ok); });
}

}  // extern "C"
