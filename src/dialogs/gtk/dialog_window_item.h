// The state DialogWindow keeps for each control it shows (GTK thread only).
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/gtk/dialog_window.h"

namespace tavlin::dialogs::gtk {

struct DialogWindow::Item {
    DialogWindow* owner = nullptr;
    platform::WindowHandle dialog = 0;
    ControlKind kind = ControlKind::Static;
    int32_t id = kNoId;
    GtkWidget* widget = nullptr;
    int32_t upDownId = kNoId;  // an edit shown as a spin button with this up-down's arrows
    bool applying = false;     // set while the view is written in, so no action is raised
    int32_t lastValue = 0;     // trackbar and spin button: the position last shown
    uint64_t lastPosted = 0;
    std::vector<std::string> entries;
    std::vector<TabLabelView> tabLabels;
    std::vector<GtkWidget*> tabAreas;
    GtkWidget* noneRadio = nullptr;  // radio buttons: the hidden member of the group

    void Raise(UserAction action) {
        action.dialog = dialog;
        action.id = id;
        lastPosted = owner->Raise(action);
    }
    void Raise(UserAction::Kind actionKind, int32_t value = 0, std::string text = {}) {
        UserAction action;
        action.kind = actionKind;
        action.value = value;
        action.text = std::move(text);
        Raise(std::move(action));
    }
};

}  // namespace tavlin::dialogs::gtk
