// One property dialog on screen (GTK thread only): a window built from the dialog's view, with a
// widget per control placed at its template rectangle, updated from each later view. What the
// user does becomes a UserAction, carried out on the dialog's thread by whoever receives it.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/gtk/dialog_units.h"
#include "dialogs/gtk/dialog_view.h"

namespace tavlin::dialogs::gtk {

struct UserAction {
    enum class Kind { Type, Trackbar, Click, Select, Spin, Close } kind = Kind::Click;
    platform::WindowHandle dialog = 0;
    int32_t id = kNoId;
    int32_t value = 0;
    std::string text;
};

// Hands an action on; returns the sequence number it was given.
using ActionSink = std::function<uint64_t(const UserAction&)>;

class DialogWindow {
  public:
    DialogWindow(const DialogView& view, ActionSink sink);
    ~DialogWindow();
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    // `inputsDone`: the sequence number of the last action the dialog had carried out when the
    // view was taken. Controls with a newer action on its way keep what the user left in them.
    void Apply(const DialogView& view, uint64_t inputsDone);

    // One line per widget, for tests: what the screen shows and where (root coordinates).
    std::vector<std::string> Describe() const;

    struct Item;
    uint64_t Raise(const UserAction& action) { return sink_(action); }

  private:
    using Key = std::pair<platform::WindowHandle, size_t>;  // dialog, control index

    void Build(GtkWidget* fixed, const DialogView& view, int32_t originX, int32_t originY);
    GtkWidget* MakeWidget(Item& item, const ControlView& control, const DialogView& view);
    void ApplyDialog(const DialogView& view, uint64_t inputsDone);
    void ApplyControl(Item& item, const ControlView& control, uint64_t inputsDone);
    void RebuildTabs(Item& item, const ControlView& control);
    Rect Pixels(const Rect& units) const { return units_.ToPixels(units); }

    ActionSink sink_;
    GtkWidget* window_ = nullptr;
    GtkWidget* fixed_ = nullptr;
    BaseUnits units_;
    PangoFontDescription* font_ = nullptr;
    PangoLanguage* language_ = nullptr;  // of the template's texts; Pango owns it
    std::string title_;
    std::map<Key, std::unique_ptr<Item>> items_;
    std::map<platform::WindowHandle, GtkWidget*> pages_;
    std::map<platform::WindowHandle, int32_t> resources_;
    std::map<std::pair<platform::WindowHandle, int32_t>, GtkWidget*> noneRadios_;  // by group
};

}  // namespace tavlin::dialogs::gtk
