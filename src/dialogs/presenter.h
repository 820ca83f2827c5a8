// How dialogs reach a screen. The engine holds what a dialog is (controls and their state); a
// presenter, when one is installed, draws that state and turns a user's input into the same
// actions the automation interface performs. Without one, dialogs are headless.
#pragma once

#include <memory>

namespace tavlin::dialogs {

class Dialog;

class Presenter {
  public:
    virtual ~Presenter() = default;
    // True while a user can see and answer dialogs; the idle time-out does not apply then.
    virtual bool Interactive() const = 0;
    // Called on the dialog's thread: after initialisation, after each piece of work the dialog
    // did, and just before its controls are destroyed.
    virtual void DialogOpened(Dialog& dialog) = 0;
    virtual void DialogChanged(Dialog& dialog) = 0;
    virtual void DialogClosing(Dialog& dialog) = 0;
};

// Installs the process-wide presenter (null: headless). Dialogs already open keep the one they
// started with.
void SetPresenter(std::shared_ptr<Presenter> presenter);
std::shared_ptr<Presenter> CurrentPresenter();

}  // namespace tavlin::dialogs
