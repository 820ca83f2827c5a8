#include "session.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "daemon_control.h"
#include "error_text.h"
#include "tavlin/tavlin_ext.h"
#include "tavlin/tavlin_vcam.h"

namespace ctl {

namespace {

// The daemon says "no camera at 3" or "a camera is already attached there"; everything else it
// refuses is a bad value.
int DaemonErrorCode(const std::string& reason) {
    if (reason.find("no camera") != std::string::npos) return TAVLIN_ERR_DEVICE_BUSY;
    if (reason.find("already attached") != std::string::npos) return TAVLIN_ERR_NO_DEVICE;
    return TAVLIN_ERR_INVALID_ARGUMENT;
}

}  // namespace

Session::Session(const Options& options) : options_(options) {}

Session::~Session() {
    // Release saves the camera's settings for the next command and stops whatever still runs.
    if (camera_ != 0) Tavlin_Release(camera_);
    if (notices_ != nullptr) TavlinHost_DestroyWindow(notices_);
    for (const int32_t index : attachedHere_) TavlinVcam_Detach(index);
}

int Session::ChooseSource() {
    if (sourceChosen_) return 0;
    sourceChosen_ = true;
    TavlinExtDeviceInfo device{};
    device.size = sizeof(device);
    if (options_.source == Source::kAuto &&
        TavlinExt_GetDeviceInfo(options_.device, &device) == 1 &&
        device.reach == TAVLIN_EXT_REACH_USB) {
        usesUsb_ = true;
        if (!options_.quiet) {
            std::fprintf(stderr, "tavlin-ctl: using the USB camera at %d (%s, %s)\n",
                         options_.device, device.usbPortPath, device.usbNode);
        }
        return 0;
    }
    if (options_.source != Source::kInProcess) {
        const DaemonReply reply = SendDaemonCommand("ping");
        usesDaemon_ = reply.reached;
        if (!usesDaemon_ && options_.source == Source::kDaemon) {
            return Fail("no virtual-camera daemon (" + reply.text + ")", TAVLIN_ERR_DEVICE_BUSY);
        }
    }
    if (!options_.quiet) {
        if (usesDaemon_) {
            std::fprintf(stderr, "tavlin-ctl: using the virtual-camera daemon's cameras\n");
        } else {
            std::fprintf(stderr, "tavlin-ctl: using an in-process virtual camera%s\n",
                         options_.source == Source::kAuto ? " (no daemon runs)" : "");
        }
    }
    return 0;
}

int Session::Open(bool needDevice) {
    if (camera_ == 0) {
        if (const int status = Initialize(); status != 0) return status;
    }
    if (devicePresent_ || !needDevice) return 0;
    // The device object starts on device 0; any other is selected, which also loads its
    // settings. A missing camera shows in its name lookup.
    const int32_t device = options_.device;
    ClearErrors();
    if (device != 0 && Tavlin_SetDeviceNumber(camera_, device) != 1) {
        const int status =
            Fail("camera " + std::to_string(device), FailureCode(TAVLIN_ERR_DEVICE_BUSY));
        ExplainUsbAccess(device);
        return status;
    }
    char name[64] = {};
    if (Tavlin_GetDeviceName(camera_, device, name, sizeof(name)) != 1) {
        const int status =
            Fail("camera " + std::to_string(device), FailureCode(TAVLIN_ERR_DEVICE_BUSY));
        ExplainUsbAccess(device);
        return status;
    }
    ClearErrors();
    devicePresent_ = true;
    return 0;
}

int Session::Initialize() {
    if (const int status = ChooseSource(); status != 0) return status;
    const int32_t device = options_.device;
    if (!usesDaemon_ && !usesUsb_ && TavlinVcam_IsAttached(device) == 0) {
        if (TavlinVcam_Attach(device) != 1) {
            return Fail("cannot plug a virtual camera in at " + std::to_string(device),
                        TAVLIN_ERR_NO_DEVICE);
        }
        AdoptAttached(device);
    }
    notices_ = TavlinHost_CreateMessageWindow();
    camera_ = Tavlin_Initialize(notices_);
    if (camera_ == 0) return Fail("cannot initialise the SDK", TAVLIN_ERR_MEMORY);
    ClearErrors();
    return 0;
}

void Session::ExplainUsbAccess(int32_t index) {
    TavlinExtDeviceInfo device{};
    device.size = sizeof(device);
    if (TavlinExt_GetDeviceInfo(index, &device) == 1 && device.reach == TAVLIN_EXT_REACH_USB &&
        device.access != TAVLIN_EXT_ACCESS_OK) {
        std::fprintf(stderr, "tavlin-ctl: %s\n", device.advice);
    }
}

void Session::ClearErrors() {
    if (camera_ != 0) {
        // The history holds at most 20 entries.
        for (int i = 0; i < 20 && Tavlin_GetLastError(camera_) != 0; ++i) {
        }
    }
    TavlinMessage message;
    while (notices_ != nullptr && TavlinHost_PeekMessage(notices_, &message) == 1) {
    }
}

int Session::FailureCode(int fallback) {
    consequences_.clear();
    std::vector<int> recorded;  // newest first
    for (int i = 0; camera_ != 0 && i < 20; ++i) {
        const int32_t code = Tavlin_GetLastError(camera_);
        if (code == 0) break;
        recorded.push_back(code);
    }
    // A few exports only post their error; the newest notice is the one of this failure.
    int posted = 0;
    TavlinMessage message;
    while (notices_ != nullptr && TavlinHost_PeekMessage(notices_, &message) == 1) {
        if (message.message == TAVLIN_MSG_ERROR && message.lParam != 0) {
            posted = static_cast<int>(message.lParam);
        }
    }
    if (recorded.empty()) return posted != 0 ? posted : fallback;
    consequences_.assign(recorded.rbegin() + 1, recorded.rend());
    return recorded.back();
}

int Session::Fail(const std::string& what, int code) {
    std::string also;
    for (const int later : consequences_) {
        also += (also.empty() ? "; then " : ", ") + std::to_string(later);
    }
    consequences_.clear();
    std::fprintf(stderr, "tavlin-ctl: %s: %s%s\n", what.c_str(), DescribeError(code).c_str(),
                 also.c_str());
    return code;
}

int Session::DaemonCommand(const std::string& command, std::string* reply) {
    const DaemonReply answer = SendDaemonCommand(command);
    if (!answer.reached) return Fail(command + ": " + answer.text, TAVLIN_ERR_DEVICE_BUSY);
    if (!answer.ok) return Fail(command + ": " + answer.text, DaemonErrorCode(answer.text));
    *reply = answer.text;
    return 0;
}

int Session::AttachVirtual(int32_t index) {
    if (const int status = ChooseSource(); status != 0) return status;
    std::string reply;
    if (usesDaemon_) return DaemonCommand("attach " + std::to_string(index), &reply);
    if (TavlinVcam_Attach(index) != 1) {
        return Fail("attach " + std::to_string(index) + ": a camera is already attached there",
                    TAVLIN_ERR_NO_DEVICE);
    }
    AdoptAttached(index);
    return 0;
}

void Session::AdoptAttached(int32_t index) {
    attachedHere_.push_back(index);
    if (options_.pacing) TavlinVcam_SetPacing(index, *options_.pacing);
    if (options_.scene) TavlinVcam_SetScene(index, *options_.scene);
}

int Session::DetachVirtual(int32_t index) {
    if (const int status = ChooseSource(); status != 0) return status;
    std::string reply;
    if (usesDaemon_) return DaemonCommand("detach " + std::to_string(index), &reply);
    if (TavlinVcam_Detach(index) != 1) {
        return Fail("detach " + std::to_string(index) + ": no camera there",
                    TAVLIN_ERR_DEVICE_BUSY);
    }
    std::erase(attachedHere_, index);
    return 0;
}

int Session::TriggerVirtual(int32_t index, int32_t pulses, int32_t* accepted) {
    if (const int status = ChooseSource(); status != 0) return status;
    const std::string command = "trigger " + std::to_string(index) + " " + std::to_string(pulses);
    if (usesDaemon_) {
        std::string reply;
        if (const int status = DaemonCommand(command, &reply); status != 0) return status;
        *accepted = std::atoi(reply.c_str());
        return 0;
    }
    // The command's own camera is plugged in on first use, as for any other action.
    if (index == options_.device) {
        if (const int status = Open(); status != 0) return status;
    }
    if (TavlinVcam_IsAttached(index) == 0) {
        return Fail(command + ": no camera there", TAVLIN_ERR_DEVICE_BUSY);
    }
    *accepted = TavlinVcam_Trigger(index, pulses);
    return 0;
}

int Session::ListVirtual(std::vector<int32_t>* indices) {
    if (const int status = ChooseSource(); status != 0) return status;
    indices->clear();
    if (usesDaemon_) {
        std::string reply;
        if (const int status = DaemonCommand("list", &reply); status != 0) return status;
        std::istringstream words(reply);
        for (int32_t index = 0; words >> index;) indices->push_back(index);
        return 0;
    }
    for (int32_t index = 0; index < 32; ++index) {
        if (TavlinVcam_IsAttached(index) == 1) indices->push_back(index);
    }
    return 0;
}

}  // namespace ctl
