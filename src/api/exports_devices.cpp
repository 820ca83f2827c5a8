// The extension interface's device descriptions: which transport answers an index, and what
// stands in the way of a USB camera.
#include <algorithm>
#include <cstring>
#include <string>

#include "tavlin/tavlin_ext.h"
#include "transport/device_description.h"
#include "usb/udev_rules.h"
#include "usb/usb_ids.h"

namespace {

using tavlin::transport::Reach;
using tavlin::usb::OpenStatus;

template <size_t N>
void CopyText(char (&field)[N], const std::string& text) {
    const size_t bytes = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), bytes);
    field[bytes] = '\0';
}

int32_t CopyOutText(const std::string& text, char* buffer, int32_t length) {
    if (buffer != nullptr && length > 0) {
        const size_t bytes = std::min(text.size(), static_cast<size_t>(length) - 1);
        std::memcpy(buffer, text.data(), bytes);
        buffer[bytes] = '\0';
    }
    return static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX));
}

int32_t ReachCode(Reach reach) {
    switch (reach) {
        case Reach::kInProcess:
            return TAVLIN_EXT_REACH_IN_PROCESS;
        case Reach::kDaemon:
            return TAVLIN_EXT_REACH_DAEMON;
        case Reach::kUsb:
            return TAVLIN_EXT_REACH_USB;
        case Reach::kNone:
            break;
    }
    return TAVLIN_EXT_REACH_NONE;
}

int32_t AccessCode(OpenStatus status) {
    switch (status) {
        case OpenStatus::kOk:
            return TAVLIN_EXT_ACCESS_OK;
        case OpenStatus::kGone:
            return TAVLIN_EXT_ACCESS_GONE;
        case OpenStatus::kPermissionDenied:
            return TAVLIN_EXT_ACCESS_PERMISSION_DENIED;
        case OpenStatus::kBusy:
            return TAVLIN_EXT_ACCESS_BUSY;
        case OpenStatus::kFailed:
            break;
    }
    return TAVLIN_EXT_ACCESS_FAILED;
}

}  // namespace

extern "C" {

int32_t TavlinExt_GetDeviceInfo(int32_t index, TavlinExtDeviceInfo* info) {
    if (info == nullptr || info->size < sizeof(TavlinExtDeviceInfo) || index < 0 || index >= 32) {
        return 0;
    }
    try {
        const auto description = tavlin::transport::DescribeDevice(index);
        TavlinExtDeviceInfo filled{};
        filled.size = sizeof(filled);
        filled.reach = ReachCode(description.reach);
        if (description.usb) {
            const auto& usb = *description.usb;
            filled.access = AccessCode(description.access);
            filled.usbBus = usb.bus;
            filled.usbVendor = usb.vendor;
            filled.usbProduct = usb.product;
            CopyText(filled.usbPortPath, usb.PortPath());
            CopyText(filled.usbNode, usb.Node());
            CopyText(filled.usbSerial, usb.serial);
            CopyText(filled.advice, description.advice);
        }
        *info = filled;
        return 1;
    } catch (...) {
        return 0;  // out of memory: nothing crosses the C boundary
    }
}

int32_t TavlinExt_GetUsbReport(char* buffer, int32_t length) {
    try {
        return CopyOutText(tavlin::transport::UsbReport(), buffer, length);
    } catch (...) {
        return CopyOutText({}, buffer, length);
    }
}

int32_t TavlinExt_GetUdevRules(char* buffer, int32_t length) {
    try {
        return CopyOutText(tavlin::usb::UdevRules(tavlin::usb::LoadIdList()), buffer, length);
    } catch (...) {
        return CopyOutText({}, buffer, length);
    }
}

}  // extern "C"
