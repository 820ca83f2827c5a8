// Device files as the driver offers them: open a path, issue I/O control requests, close. The
// device layer reaches cameras only through this interface. What stands behind a path (a camera
// attached in this process, the camera daemon's socket, a USB camera) is chosen above this
// layer, by the opener installed at start-up.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace tavlin::device {

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

    // False for a camera that makes each frame when asked, with no clock of its own: a reader
    // that keeps asking makes frames that nobody takes.
    virtual bool HasFrameClock() const { return true; }
};

// Who can reach what a path opens: this process alone (a camera attached here), or every
// process on the machine (the daemon's cameras, USB cameras, and whatever answers nowhere).
enum class DeviceScope { kProcess, kMachine };

class DeviceFileOpener {
  public:
    virtual ~DeviceFileOpener() = default;
    // Opens "\\.\NAME" with shared write access; null when nothing answers under the path.
    virtual std::unique_ptr<DeviceFile> Open(std::string_view path) = 0;
    virtual DeviceScope Scope(std::string_view path) = 0;
};

// Installs the process's opener (it must outlive every open); null uninstalls. Without one,
// every open fails.
void InstallDeviceFileOpener(DeviceFileOpener* opener);

std::unique_ptr<DeviceFile> OpenDeviceFile(std::string_view path);
DeviceScope ScopeOfDevicePath(std::string_view path);

}  // namespace tavlin::device
