// Exports this camera model does not support, and the fixed answers of the catalogue.
#include "api/export_frame.h"

using tavlin::api::WithCamera;
using tavlin::camera::CTavlin;

namespace {

// One stub serves every unsupported operation: it announces "not supported" without recording.
int32_t UnsupportedStub(int32_t h) {
    return WithCamera(h, 0, [](CTavlin& camera) {
        camera.Errors().PostOnly(TAVLIN_ERR_NOT_SUPPORTED);
        return 0;
    });
}

int32_t ZeroValueStub(int32_t h, int32_t* value) {
    return WithCamera(h, 0, [value](CTavlin&) {
        if (value != nullptr) *value = 0;
        return 0;
    });
}

int32_t ConfigFilterStub(int32_t h) {
    return WithCamera(h, 0, [](CTavlin& camera) {
        camera.Errors().Report(TAVLIN_ERR_NOT_SUPPORTED);
        return -1;
    });
}

}  // namespace

extern "C" {

int32_t Tavlin_Fpga_ReadRegister(int32_t h, ...) {
    return UnsupportedStub(h);
}
int32_t Tavlin_Fpga_WriteRegister(int32_t h, ...) {
    return UnsupportedStub(h);
}
int32_t Tavlin_Fps(int32_t h, ...) {
    return UnsupportedStub(h);
}
int32_t Tavlin_SetCrossbar(int32_t h, ...) {
    return UnsupportedStub(h);
}
int32_t Tavlin_SetSamplingRate(int32_t h, ...) {
    return UnsupportedStub(h);
}

int32_t Tavlin_GetSamplingRate(int32_t h, int32_t* value) {
    return ZeroValueStub(h, value);
}
int32_t Tavlin_GetVideoFormat(int32_t h, int32_t* value) {
    return ZeroValueStub(h, value);
}

int32_t Tavlin_GetStatus(int32_t, int32_t) {
    return 0;
}

int32_t Tavlin_GetConfigFilter(int32_t h, ...) {
    return ConfigFilterStub(h);
}
int32_t Tavlin_SetConfigFilter(int32_t h, ...) {
    return ConfigFilterStub(h);
}

}  // extern "C"
