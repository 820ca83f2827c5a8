// The camera side of one open property dialog: reserves the camera for it (one dialog per
// camera) and carries the acquisition thread's news to the dialog's thread as posted work.
#pragma once

#include <functional>
#include <memory>

#include "camera/dialog_port.h"
#include "dialogs/modal_run.h"

namespace tavlin::dialogs {

struct DialogNews {
    std::function<void(int32_t)> gainChosen;
    std::function<void(int32_t)> exposureChosen;
    std::function<void()> filterMeasured;
};

class DialogSession {
  public:
    DialogSession(camera::DialogPort& camera, std::shared_ptr<ModalRun> run, DialogNews news);
    ~DialogSession();
    DialogSession(const DialogSession&) = delete;
    DialogSession& operator=(const DialogSession&) = delete;

    // False when another dialog already holds the camera.
    bool Attached() const { return attached_; }

  private:
    camera::DialogPort& camera_;
    std::shared_ptr<camera::DialogPort::DialogListener> listener_;
    bool attached_ = false;
};

// Reports error 1 and returns false when the camera has no device object.
bool CheckDevice(camera::DialogPort& camera);

// Whether the dialogs speak Japanese on this system.
bool JapaneseDialogs();

}  // namespace tavlin::dialogs
