// What a dialog window shows, as text lines for tests.
#include <algorithm>
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

// How a text is drawn, tab separated: the widget it is drawn in (root coordinates, at least as
// large as the text), the language Pango was told, how many characters no font had a glyph for,
// then each run's font family with the run's text.
std::string TextLine(int32_t resource, int32_t id, GtkWidget* window, int originX, int originY,
                     GtkWidget* widget, PangoLayout* layout) {
    const char* text = pango_layout_get_text(layout);
    if (text == nullptr || *text == '\0') return {};
    int x = 0;
    int y = 0;
    gtk_widget_translate_coordinates(widget, window, 0, 0, &x, &y);
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    width = std::max(width, gtk_widget_get_allocated_width(widget));
    height = std::max(height, gtk_widget_get_allocated_height(widget));
    std::string line =
        "text\t" + std::to_string(resource) + "\t" + std::to_string(id) + "\t" +
        std::to_string(originX + x) + "\t" + std::to_string(originY + y) + "\t" +
        std::to_string(width) + "\t" + std::to_string(height) + "\t" +
        pango_language_to_string(pango_context_get_language(pango_layout_get_context(layout))) +
        "\t" + std::to_string(pango_layout_get_unknown_glyphs_count(layout));
    PangoLayoutIter* runs = pango_layout_get_iter(layout);
    do {
        PangoLayoutRun* run = pango_layout_iter_get_run_readonly(runs);
        if (run == nullptr) continue;
        PangoFontDescription* font = pango_font_describe(run->item->analysis.font);
        const char* family = pango_font_description_get_family(font);
        line += std::string("\t") + (family != nullptr ? family : "") + "\t" +
                std::string(text + run->item->offset, static_cast<size_t>(run->item->length));
        pango_font_description_free(font);
    } while (pango_layout_iter_next_run(runs));
    pango_layout_iter_free(runs);
    return line;
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
        const auto resource = resources_.find(item->dialog);
        const int32_t resourceId = resource != resources_.end() ? resource->second : 0;
        const auto describeText = [&, id = item->id](GtkWidget* shownIn, PangoLayout* layout) {
            std::string line = TextLine(resourceId, id, window_, originX, originY, shownIn, layout);
            if (!line.empty()) lines.push_back(std::move(line));
        };
        // The label widget a button, check box, radio button or group box draws its text with.
        GtkWidget* label = nullptr;
        if (item->kind == ControlKind::GroupBox) {
            label = gtk_frame_get_label_widget(GTK_FRAME(w));
        } else if (item->kind == ControlKind::Static) {
            label = w;
        } else if (GTK_IS_BUTTON(w)) {
            label = gtk_bin_get_child(GTK_BIN(w));
        }
        if (label != nullptr && GTK_IS_LABEL(label)) {
            describeText(label, gtk_label_get_layout(GTK_LABEL(label)));
        } else if (item->kind == ControlKind::Edit) {
            describeText(w, gtk_entry_get_layout(GTK_ENTRY(w)));
        }
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
                PangoLayout* layout = gtk_widget_create_pango_layout(w, value.c_str());
                describeText(w, layout);
                g_object_unref(layout);
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
                        if (op.kind != PaintOp::Kind::Text) continue;
                        painted += op.text;
                        // As the label's draw handler lays it out.
                        PangoLayout* layout = gtk_widget_create_pango_layout(area, op.text.c_str());
                        describeText(area, layout);
                        g_object_unref(layout);
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
        lines.push_back(
            "item " + std::to_string(resourceId) + " " + std::to_string(item->id) + " " +
            KindName(item->kind) + " " + (gtk_widget_is_sensitive(w) ? "1" : "0") + " " +
            (gtk_widget_is_drawable(w) ? "1" : "0") + " " + std::to_string(originX + x) + " " +
            std::to_string(originY + y) + " " + std::to_string(gtk_widget_get_allocated_width(w)) +
            " " + std::to_string(gtk_widget_get_allocated_height(w)) + " " + value);
    }
    return lines;
}

}  // namespace tavlin::dialogs::gtk
