// Enumeration and names, registers, SROM, I/O port, clock and exposure time, configuration files.
#include "api/export_frame.h"

using tavlin::api::WithCamera;
using tavlin::camera::CTavlin;

extern "C" {

int32_t Tavlin_EnumDevice(int32_t h, char* names) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.EnumDevice(names); });
}
int32_t Tavlin_EnumDeviceW(int32_t h, TavlinWChar* names) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.EnumDeviceW(names); });
}
int32_t Tavlin_GetDeviceName(int32_t h, int32_t index, char* buffer, int32_t length) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.GetDeviceName(index, buffer, length); });
}
int32_t Tavlin_GetDeviceNameW(int32_t h, int32_t index, TavlinWChar* buffer, int32_t length) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.GetDeviceNameW(index, buffer, length); });
}
int32_t Tavlin_ReadRegister(int32_t h, int32_t address, int32_t* ok) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.ReadRegister(address, ok); });
}
int32_t Tavlin_ReadRegisterEx(int32_t h, int32_t address, int32_t* ok) {
    return Tavlin_ReadRegister(h, address, ok);
}
int32_t Tavlin_WriteRegister(int32_t h, int32_t address, int32_t value) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.WriteRegister(address, value); });
}
int32_t Tavlin_WriteRegisterEx(int32_t h, int32_t address, int32_t value) {
    return Tavlin_WriteRegister(h, address, value);
}
int32_t Tavlin_ReadSromID(int32_t h, int32_t index, int32_t* ok) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.ReadSromID(index, ok); });
}
int32_t Tavlin_WriteSromID(int32_t h, int32_t index, int32_t value) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.WriteSromID(index, value); });
}
int32_t Tavlin_GetIOPort(int32_t h, uint8_t* value, int32_t, int32_t) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.GetIOPort(value); });
}
int32_t Tavlin_SetIOPort(int32_t h, uint8_t value) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.SetIOPort(value); });
}
int32_t Tavlin_GetHalfClock(int32_t h, int32_t* ok) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.GetHalfClock(ok); });
}
int32_t Tavlin_SetHalfClock(int32_t h, int32_t clock) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.SetHalfClock(clock); });
}
int32_t Tavlin_GetRealExposureTime(int32_t h, int32_t* ok) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.GetRealExposureTime(ok); });
}
int32_t Tavlin_SetRealExposureTime(int32_t h, int32_t microseconds) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.SetRealExposureTime(microseconds); });
}
int32_t Tavlin_LoadConfigFileA(int32_t h, const char* fileName) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.LoadConfigFile(fileName); });
}
int32_t Tavlin_LoadConfigFileW(int32_t h, const TavlinWChar* fileName) {
    return WithCamera(h, 0, [&](CTavlin& c) { return c.LoadConfigFileW(fileName); });
}

}  // extern "C"
