// What a dialog window shows, as text lines for tests.
#include <cmath>

#include "dialogs/gtk/dialog_window.h"
#include "dialogs/gtk/dialog_window_item.h"

namespace tavlin::dialogs::gtk {

namespace {

const char* KindName(ControlKind kind) {
    switch (kind) {
        case ControlKind::Tab:
            return "tab";
        case ControlKind::Trackbar:
            return "trackbar";
        case ControlKind::Edit:
            return "edit";
        case ControlKind::UpDown:
            return "updown";
        case ControlKind::CheckBox:
            return "check";
        case ControlKind::RadioButton:
            return "radio";
        case ControlKind::DropDownList:
            return "list";
        case ControlKind::PushButton:
            return "button";
        case ControlKind::Static:
            return "static";
        case ControlKind::GroupBox:
            return "group";
    }
    return "?";
}

}  // namespace

std::vector<std::string> DialogWindow::Describe() const {
    std::vector<std::string> lines;
    int originX = 0;
    int originY = 0;
    if (GdkWindow* gdk = gtk_widget_get_window(window_))
        gdk_window_get_origin(gdk, &originX, &originY);
    lines.push_back("window " + std::to_string(originX) + " " + std::to_string(originY) + " " +
                    std::to_string(gtk_widget_get_allocated_width(window_)) + " " +
                    std::to_string(gtk_widget_get_allocated_height(window_)) + " " + title_);
    for (const auto& [key, item] : items_) {
        if (item->widget == nullptr) continue;
        GtkWidget* w = item->widget;
        int x = 0;
        int y = 0;
        gtk_widget_translate_coordinates(w, window_, 0, 0, &x, &y);
        std::string value;
        switch (item->kind) {
            case ControlKind::CheckBox:
            case ControlKind::RadioButton:
                value = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w)) ? "1" : "0";
                break;
            case ControlKind::Trackbar:
                value = std::to_string(std::lround(gtk_range_get_value(GTK_RANGE(w))));
                break;
            case ControlKind::Edit:
                value = gtk_entry_get_text(GTK_ENTRY(w));
                break;
            case ControlKind::DropDownList: {
                gchar* text = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(w));
                value = text != nullptr ? text : "";
                g_free(text);
                break;
            }
            case ControlKind::Tab: {
                const gint page = gtk_notebook_get_current_page(GTK_NOTEBOOK(w));
                value = std::to_string(page);
                // What the procedure painted on each tab, with where the label is on screen.
                for (size_t i = 0; i < item->tabAreas.size() && i < item->tabLabels.size(); ++i) {
                    int tx = 0;
                    int ty = 0;
                    GtkWidget* area = item->tabAreas[i];
                    gtk_widget_translate_coordinates(area, window_, 0, 0, &tx, &ty);
                    std::string painted;
                    for (const PaintOp& op : item->tabLabels[i].ops) {
                        if (op.kind == PaintOp::Kind::Text) painted += op.text;
                    }
                    lines.push_back("tablabel " + std::to_string(item->id) + " " +
                                    std::to_string(i) + " " + std::to_string(originX + tx) + " " +
                                    std::to_string(originY + ty) + " " +
                                    std::to_string(gtk_widget_get_allocated_width(area)) + " " +
                                    std::to_string(gtk_widget_get_allocated_height(area)) + " " +
                                    (gtk_widget_get_mapped(area) ? "1" : "0") + " " + painted);
                }
                break;
            }
            case ControlKind::Static:
                value = gtk_label_get_text(GTK_LABEL(w));
                break;
            case ControlKind::PushButton:
                value = gtk_button_get_label(GTK_BUTTON(w)) != nullptr
                            ? gtk_button_get_label(GTK_BUTTON(w))
                            : "";
                break;
            default:
                break;
        }
        const auto resource = resources_.find(item->dialog);
        lines.push_back(
            "item " + std::to_string(resource != resources_.end() ? resource->second : 0) + " " +
            std::to_string(item->id) + " " + KindName(item->kind) + " " +
            (gtk_widget_is_sensitive(w) ? "1" : "0") + " " +
            (gtk_widget_is_drawable(w) ? "1" : "0") + " " + std::to_string(originX + x) + " " +
            std::to_string(originY + y) + " " + std::to_string(gtk_widget_get_allocated_width(w)) +
            " " + std::to_string(gtk_widget_get_allocated_height(w)) + " " + value);
    }
    return lines;
}

}  // namespace tavlin::dialogs::gtk
