// Device files as the driver offers them: open a path, issue I/O control requests, close. The
// device layer reaches cameras only through this interface; what stands behind a path (a camera
// attached in this process, or the camera daemon's socket) is decided here.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace tavlin::vcam {

class DeviceFile {
  public:
    virtual ~DeviceFile() = default;  // closing the file

    // One synchronous DeviceIoControl: true when the request completed, with the byte count it
    // reported in *bytesReturned (never null).
    virtual bool IoControl(uint32_t code, const void* in, uint32_t inLength, void* out,
                           uint32_t outLength, uint32_t* bytesReturned) = 0;

    // Makes a request pending on this file, and every later one, fail at once: what cancelling
    // a handle's I/O does. May be called from any thread while a request runs; the file must
    // stay alive until the call returns.
    virtual void Cancel() {}
};

// Opens "\\.\NAME" with shared write access: the camera attached in this process under NAME,
// else the daemon's socket for NAME; null when nothing answers under NAME.
std::unique_ptr<DeviceFile> OpenDeviceFile(std::string_view path);

// Only a camera attached in this process (the daemon serves these and must not reach itself).
std::unique_ptr<DeviceFile> OpenAttachedDeviceFile(std::string_view path);

// Who can reach what OpenDeviceFile opens under a path: this process alone (a camera attached
// here), or every process on the machine (the daemon's cameras, and whatever answers nowhere).
enum class DeviceScope { kProcess, kMachine };
DeviceScope ScopeOfDevicePath(std::string_view path);

}  // namespace tavlin::vcam
