// The camera the actions work on, and where cameras come from: the virtual-camera daemon when
// one runs, else a virtual camera plugged into this process.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "options.h"
#include "tavlin/tavlin.h"
#include "tavlin/tavlin_host.h"

namespace ctl {

class Session {
  public:
    explicit Session(const Options& options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Decides once whether the daemon's cameras are used and says so on stderr. 0, or the exit
    // status when the daemon was asked for and none runs.
    int ChooseSource();
    bool UsesDaemon() const { return usesDaemon_; }
    bool UsesUsb() const { return usesUsb_; }

    // Opens the camera on first use (plugging an in-process camera in first when needed) and,
    // unless only the device list is wanted, checks that the device index has a camera.
    // 0, or the exit status after a message on stderr.
    int Open(bool needDevice = true);
    int32_t Camera() const { return camera_; }
    int32_t Device() const { return options_.device; }
    TAVLIN_HWND Notices() const { return notices_; }
    const Options& GetOptions() const { return options_; }

    // Says on stderr why the USB camera at the index cannot be opened, if that is the trouble.
    void ExplainUsbAccess(int32_t index);

    // Forgets earlier errors, so the next failure's code is its own.
    void ClearErrors();
    // The code of the failure that just happened: the first error the camera recorded for it
    // (the cause; later ones are its consequences), else the newest error notice posted, else
    // fallback. Fail names the later ones too.
    int FailureCode(int fallback);
    // Prints "tavlin-ctl: <what>: <error in words>" and returns the code.
    int Fail(const std::string& what, int code);

    // Virtual cameras, on the daemon or in this process. Each returns 0 or the exit status.
    int AttachVirtual(int32_t index);
    int DetachVirtual(int32_t index);
    // Pulses accepted in *accepted.
    int TriggerVirtual(int32_t index, int32_t pulses, int32_t* accepted);
    int ListVirtual(std::vector<int32_t>* indices);

  private:
    int Initialize();
    int DaemonCommand(const std::string& command, std::string* reply);
    // Files an in-process camera this command plugged in and gives it the chosen pacing and scene.
    void AdoptAttached(int32_t index);

    Options options_;
    bool sourceChosen_ = false;
    bool usesDaemon_ = false;
    bool usesUsb_ = false;  // a USB camera sits at the device index
    TAVLIN_HWND notices_ = nullptr;
    int32_t camera_ = 0;
    bool devicePresent_ = false;
    std::vector<int32_t> attachedHere_;  // in-process cameras this command plugged in
    std::vector<int> consequences_;      // codes recorded after the cause FailureCode returned
};

}  // namespace ctl
