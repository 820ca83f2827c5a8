#include "device/device_file.h"

#include <atomic>

namespace tavlin::device {

namespace {

std::atomic<DeviceFileOpener*>& InstalledOpener() {
    static std::atomic<DeviceFileOpener*> opener{nullptr};
    return opener;
}

}  // namespace

void InstallDeviceFileOpener(DeviceFileOpener* opener) {
    InstalledOpener().store(opener);
}

std::unique_ptr<DeviceFile> OpenDeviceFile(std::string_view path) {
    DeviceFileOpener* opener = InstalledOpener().load();
    return opener != nullptr ? opener->Open(path) : nullptr;
}

DeviceScope ScopeOfDevicePath(std::string_view path) {
    DeviceFileOpener* opener = InstalledOpener().load();
    return opener != nullptr ? opener->Scope(path) : DeviceScope::kMachine;
}

}  // namespace tavlin::device
