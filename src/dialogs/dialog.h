// A created dialog (a sheet or a page inside a sheet's tab control): its controls, its procedure
// and the item operations the procedures use. Everything here runs on the dialog's thread; other
// threads reach a dialog only through its ModalRun.
//
// Notifications follow Win32's order: setting an edit's text sends the edit-change command to the
// dialog before the setter returns; checking a button, selecting a list entry, moving a trackbar
// or inserting items programmatically notifies nobody.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/control.h"
#include "dialogs/dialog_message.h"
#include "dialogs/dialog_template.h"
#include "window/host_window.h"

namespace tavlin::dialogs {

class Dialog;
class ModalRun;

class DialogProcedure {
  public:
    virtual ~DialogProcedure() = default;
    // True when the message was handled.
    virtual bool OnMessage(Dialog& dialog, const DialogMessage& message) = 0;
};

class Dialog {
  public:
    // Creates the controls of the template; the procedure receives InitDialog only when the
    // creator sends it.
    Dialog(const DialogTemplate& source, DialogProcedure& procedure, ModalRun& run, Dialog* parent,
           int32_t hostControlId);
    ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    platform::WindowHandle Handle() const { return handle_; }
    const DialogTemplate& Template() const { return *source_; }
    Dialog* Parent() const { return parent_; }
    int32_t HostControlId() const { return hostControlId_; }
    ModalRun& Run() const { return *run_; }
    std::vector<Control>& Controls() { return controls_; }
    const std::vector<Control>& Controls() const { return controls_; }
    const std::vector<std::unique_ptr<Dialog>>& Pages() const { return pages_; }

    // Hands the message to the procedure; an unhandled Close becomes a Cancel command.
    bool Send(const DialogMessage& message);

    Control* Item(int32_t id);
    const Control* Item(int32_t id) const;

    bool SetItemText(int32_t id, std::string text);
    bool SetItemInt(int32_t id, int32_t value, bool isSigned);
    std::string ItemText(int32_t id) const;
    // Nothing when the item is missing or its text is not a number.
    std::optional<int32_t> ItemInt(int32_t id, bool isSigned) const;
    bool CheckButton(int32_t id, bool checked);
    bool IsButtonChecked(int32_t id) const;
    bool EnableItem(int32_t id, bool enabled);
    // With a buddy edit, the edit shows the new position (and notifies, as any text change).
    bool SetUpDownPosition(int32_t id, int32_t position);

    // A child page inside the host control; it receives InitDialog before this returns.
    Dialog* CreatePage(const DialogTemplate& source, DialogProcedure& procedure,
                       int32_t hostControlId);
    void Show(bool visible) { visible_ = visible; }
    bool Visible() const { return visible_; }
    // This dialog and every dialog it sits in are visible.
    bool ShownOnScreen() const;
    void MoveTo(int32_t x, int32_t y);
    int32_t X() const { return x_; }
    int32_t Y() const { return y_; }

    // Ends the modal run this dialog belongs to.
    void EndDialog(int32_t result);

  private:
    const DialogTemplate* source_;
    DialogProcedure* procedure_;
    ModalRun* run_;
    Dialog* parent_;
    int32_t hostControlId_;
    platform::WindowHandle handle_ = 0;
    std::vector<Control> controls_;
    std::vector<std::unique_ptr<Dialog>> pages_;
    bool visible_ = false;
    int32_t x_ = 0;
    int32_t y_ = 0;
};

}  // namespace tavlin::dialogs
