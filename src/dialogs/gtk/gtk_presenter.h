// Property dialogs on screen with GTK 3. The presenter copies each dialog's state on the dialog's
// thread and hands it to the GTK thread, which draws it; what the user does there comes back to
// the dialog's thread as posted work doing what the automation interface does. The engine never
// sees GTK.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/gtk/dialog_view.h"
#include "dialogs/gtk/dialog_window.h"
#include "dialogs/gtk/gtk_host.h"
#include "dialogs/presenter.h"

namespace tavlin::dialogs::gtk {

class GtkPresenter : public Presenter, public std::enable_shared_from_this<GtkPresenter> {
  public:
    explicit GtkPresenter(GtkHost& host) : host_(host) {}
    ~GtkPresenter() override;

    bool Interactive() const override { return host_.Alive(); }
    void DialogOpened(Dialog& dialog) override;
    void DialogChanged(Dialog& dialog) override;
    void DialogClosing(Dialog& dialog) override;

    // The windows on screen as DialogWindow::Describe lines; empty when there is no screen.
    std::vector<std::string> Describe();
    // The display went away: open runs fall back to the headless idle rule.
    void DisplayLost();

  private:
    // One top-level dialog on screen.
    struct Shown {
        platform::WindowHandle handle = 0;
        std::weak_ptr<ModalRun> run;
        TabLabelCache tabLabels;                    // dialog's thread
        std::map<std::string, TextExtent> extents;  // dialog's thread
        std::atomic<uint64_t> inputsDone{0};        // written by the dialog's thread
        uint64_t nextInput = 0;                     // GTK thread

        std::mutex mutex;  // guards the two below
        std::optional<DialogView> pending;
        bool closed = false;
    };

    TextExtent Measure(Shown& shown, const DialogTemplate& font, const std::string& text);
    DialogView Capture(Shown& shown, Dialog& dialog);
    void Hand(const std::shared_ptr<Shown>& shown, DialogView view);
    // GTK thread.
    void ShowPending(const std::shared_ptr<Shown>& shown);
    uint64_t Perform(const std::shared_ptr<Shown>& shown, const UserAction& action);

    GtkHost& host_;
    std::mutex mutex_;  // guards shown_
    std::map<platform::WindowHandle, std::shared_ptr<Shown>> shown_;
    std::map<platform::WindowHandle, std::unique_ptr<DialogWindow>> windows_;  // GTK thread
};

// Installs the GTK presenter for the whole process when none is installed yet and a display is
// there to show dialogs on; otherwise dialogs stay headless. Cheap after the first call.
void InstallPresenter();

// The on-screen dialogs as text lines (tests): the window, then one line per widget.
std::vector<std::string> DescribeScreenDialogs();

}  // namespace tavlin::dialogs::gtk
