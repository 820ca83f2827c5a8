#include "dialogs/gtk/dialog_window.h"

#include <algorithm>
#include <cmath>

#include "dialogs/dialog_int.h"
#include "dialogs/gtk/dialog_window_item.h"

namespace tavlin::dialogs::gtk {

namespace {

// A closed drop-down list is as tall as Windows draws it for the dialog font, whatever height its
// template gives the open list.
constexpr int32_t kClosedListUnits = 13;
// Trackbar marks only where they can still be told apart.
constexpr int32_t kMostTicks = 64;

// "&Global Gain" → "_Global Gain": the mnemonic keeps its letter; "&&" is a plain '&'.
std::string MnemonicText(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '&' && i + 1 < text.size() && text[i + 1] == '&') {
            out += '&';
            ++i;
        } else if (c == '&') {
            out += '_';
        } else if (c == '_') {
            out += "__";
        } else {
            out += c;
        }
    }
    return out;
}

// Tells Pango the language of a widget's texts (and its children's, and a combo box's entries):
// fontconfig then prefers fonts made for it. Without it Pango takes the process's locale, which
// the presenter leaves alone, and may draw Japanese kanji with a Chinese font's forms.
void SetTextLanguage(GtkWidget* widget, gpointer language) {
    auto* pango = static_cast<PangoLanguage*>(language);
    pango_context_set_language(gtk_widget_get_pango_context(widget), pango);
    if (GTK_IS_COMBO_BOX(widget)) {
        // Its entries are laid out by the renderer for the closed box and the popup alike. As
        // an attribute: GTK 3's renderer frees a "language" property as if it were an object.
        PangoAttrList* attributes = pango_attr_list_new();
        pango_attr_list_insert(attributes, pango_attr_language_new(pango));
        GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(widget));
        for (GList* cell = cells; cell != nullptr; cell = cell->next) {
            if (GTK_IS_CELL_RENDERER_TEXT(cell->data)) {
                g_object_set(cell->data, "attributes", attributes, nullptr);
            }
        }
        g_list_free(cells);
        pango_attr_list_unref(attributes);
    }
    if (GTK_IS_CONTAINER(widget)) {
        gtk_container_forall(GTK_CONTAINER(widget), SetTextLanguage, language);
    }
}

void SetSourceColor(cairo_t* cr, uint32_t bgr) {
    cairo_set_source_rgb(cr, (bgr & 0xFF) / 255.0, ((bgr >> 8) & 0xFF) / 255.0,
                         ((bgr >> 16) & 0xFF) / 255.0);
}

}  // namespace

namespace {

using Item = DialogWindow::Item;

void OnClicked(GtkButton* button, gpointer data) {
    auto* item = static_cast<Item*>(data);
    if (item->applying) return;
    // A radio button its group switched off was not clicked.
    if (item->kind == ControlKind::RadioButton &&
        !gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(button))) {
        return;
    }
    item->Raise(UserAction::Kind::Click);
}

void OnEntryChanged(GtkEditable* editable, gpointer data) {
    auto* item = static_cast<Item*>(data);
    if (item->applying) return;
    item->Raise(UserAction::Kind::Type, 0, gtk_entry_get_text(GTK_ENTRY(editable)));
}

void OnScaleChanged(GtkRange* range, gpointer data) {
    auto* item = static_cast<Item*>(data);
    if (item->applying) return;
    const auto position = static_cast<int32_t>(std::lround(gtk_range_get_value(range)));
    if (position == item->lastValue) return;
    item->lastValue = position;
    item->Raise(UserAction::Kind::Trackbar, position);
}

// The spin button reads its text as the edit does; text that is no number moves nothing.
gint OnSpinInput(GtkSpinButton* spin, gdouble* value, gpointer) {
    const auto number = ParseDialogInt(gtk_entry_get_text(GTK_ENTRY(spin)), true);
    if (!number) return GTK_INPUT_ERROR;
    *value = *number;
    return TRUE;
}

// The text stays what the edit holds; the dialog writes the new position into it.
gboolean OnSpinOutput(GtkSpinButton*, gpointer) {
    return TRUE;
}

void OnSpinValueChanged(GtkSpinButton* spin, gpointer data) {
    auto* item = static_cast<Item*>(data);
    if (item->applying) return;
    const auto value = static_cast<int32_t>(std::lround(gtk_spin_button_get_value(spin)));
    const auto shown = ParseDialogInt(gtk_entry_get_text(GTK_ENTRY(spin)), true);
    const int32_t steps = value - item->lastValue;
    item->lastValue = value;
    // Reading typed text back is no arrow press: the typing has told the dialog already.
    if ((shown && *shown == value) || steps == 0) return;
    UserAction action;
    action.kind = UserAction::Kind::Spin;
    action.value = steps;
    action.dialog = item->dialog;
    action.id = item->upDownId;
    item->lastPosted = item->owner->Raise(action);
    (void)spin;
}

void OnComboChanged(GtkComboBox* combo, gpointer data) {
    auto* item = static_cast<Item*>(data);
    const gint active = gtk_combo_box_get_active(combo);
    if (!item->applying && active >= 0) item->Raise(UserAction::Kind::Select, active);
}

void OnSwitchPage(GtkNotebook*, GtkWidget*, guint page, gpointer data) {
    auto* item = static_cast<Item*>(data);
    if (!item->applying) item->Raise(UserAction::Kind::Select, static_cast<int32_t>(page));
}

gboolean OnDrawTabLabel(GtkWidget* area, cairo_t* cr, gpointer data) {
    auto* item = static_cast<Item*>(data);
    const auto at = std::find(item->tabAreas.begin(), item->tabAreas.end(), area);
    const auto index = static_cast<size_t>(at - item->tabAreas.begin());
    if (index >= item->tabLabels.size()) return FALSE;
    for (const PaintOp& op : item->tabLabels[index].ops) {
        if (op.kind == PaintOp::Kind::Fill) {
            SetSourceColor(cr, op.color);
            cairo_rectangle(cr, op.rect.left, op.rect.top, op.rect.right - op.rect.left,
                            op.rect.bottom - op.rect.top);
            cairo_fill(cr);
            continue;
        }
        PangoLayout* layout = gtk_widget_create_pango_layout(area, op.text.c_str());
        int width = 0;
        int height = 0;
        pango_layout_get_pixel_size(layout, &width, &height);
        // Text is drawn opaque, on the background colour the procedure chose.
        SetSourceColor(cr, op.color);
        cairo_rectangle(cr, op.x, op.y, width, height);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_move_to(cr, op.x, op.y);
        pango_cairo_show_layout(cr, layout);
        g_object_unref(layout);
    }
    return TRUE;
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    // The close box is a message to the dialog; the window goes when the dialog ends.
    static_cast<Item*>(data)->Raise(UserAction::Kind::Close);
    return TRUE;
}

gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    if (event->keyval != GDK_KEY_Escape) return FALSE;
    static_cast<Item*>(data)->Raise(UserAction::Kind::Close);
    return TRUE;
}

template <typename Handler>
void Connect(GtkWidget* widget, const char* signal, Handler handler, Item& item) {
    g_signal_connect(widget, signal, G_CALLBACK(handler), &item);
}

}  // namespace

DialogWindow::DialogWindow(const DialogView& view, ActionSink sink) : sink_(std::move(sink)) {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_ref_sink(window_);
    gtk_style_context_add_class(gtk_widget_get_style_context(window_), "tavlin-dialog");
    title_ = view.source->title;
    gtk_window_set_title(GTK_WINDOW(window_), title_.c_str());
    gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
    font_ = TemplateFont(*view.source);
    language_ = pango_language_from_string(view.source->language.c_str());
    SetTextLanguage(window_, language_);
    units_ = MeasureBaseUnits(gtk_widget_get_pango_context(window_), *view.source);

    // The window itself answers the close box and Escape through an item of its own.
    auto self = std::make_unique<Item>();
    self->owner = this;
    self->dialog = view.handle;
    Connect(window_, "delete-event", OnDelete, *self);
    Connect(window_, "key-press-event", OnKey, *self);
    items_[{view.handle, SIZE_MAX}] = std::move(self);

    fixed_ = gtk_fixed_new();
    const Rect size = Pixels({0, 0, view.source->width, view.source->height});
    gtk_widget_set_size_request(fixed_, size.width, size.height);
    gtk_container_add(GTK_CONTAINER(window_), fixed_);
    Build(fixed_, view, 0, 0);
    ApplyDialog(view, 0);
    gtk_widget_show_all(window_);
    ApplyDialog(view, 0);  // page visibility, after show_all has shown everything
    gtk_window_present(GTK_WINDOW(window_));
}

DialogWindow::~DialogWindow() {
    for (auto& [key, item] : items_) item->applying = true;
    gtk_widget_destroy(window_);
    g_object_unref(window_);
    for (auto& [key, none] : noneRadios_) {
        gtk_widget_destroy(none);
        g_object_unref(none);
    }
    pango_font_description_free(font_);
}

void DialogWindow::Build(GtkWidget* fixed, const DialogView& view, int32_t originX,
                         int32_t originY) {
    resources_[view.handle] = view.source->resourceId;
    std::map<int32_t, int32_t> upDownOfEdit;
    for (const ControlView& control : view.controls) {
        if (control.source->kind == ControlKind::UpDown && control.buddy != kNoId) {
            upDownOfEdit[control.buddy] = control.source->id;
        }
    }
    for (size_t i = 0; i < view.controls.size(); ++i) {
        const ControlView& control = view.controls[i];
        auto item = std::make_unique<Item>();
        item->owner = this;
        item->dialog = view.handle;
        item->kind = control.source->kind;
        item->id = control.source->id;
        const auto buddy = upDownOfEdit.find(item->id);
        if (item->kind == ControlKind::Edit && buddy != upDownOfEdit.end()) {
            item->upDownId = buddy->second;
        }
        Rect r = Pixels(control.source->rect);
        if (item->upDownId != kNoId) {
            // The spin button takes the edit's place and its up-down's beside it.
            for (const ControlView& other : view.controls) {
                if (other.source->id != item->upDownId) continue;
                const Rect arrows = Pixels(other.source->rect);
                r.width = std::max(r.width, arrows.x + arrows.width - r.x);
            }
        }
        if (item->kind == ControlKind::DropDownList) {
            r.height = std::min(r.height, units_.ToPixelsY(kClosedListUnits));
        }
        GtkWidget* widget = MakeWidget(*item, control, view);
        if (widget != nullptr) {
            SetTextLanguage(widget, language_);
            gtk_widget_set_size_request(widget, std::max(r.width, 1), std::max(r.height, 1));
            gtk_fixed_put(GTK_FIXED(fixed), widget, originX + r.x, originY + r.y);
        }
        items_[{view.handle, i}] = std::move(item);
    }
    for (const DialogView& page : view.pages) {
        // A page sits inside the control that hosts it, at its position in that control.
        int32_t x = originX + page.x;
        int32_t y = originY + page.y;
        for (const ControlView& control : view.controls) {
            if (control.source->id != page.hostControlId) continue;
            const Rect host = Pixels(control.source->rect);
            x += host.x;
            y += host.y;
        }
        GtkWidget* pageFixed = gtk_fixed_new();
        const Rect size = Pixels({0, 0, page.source->width, page.source->height});
        gtk_widget_set_size_request(pageFixed, size.width, size.height);
        gtk_fixed_put(GTK_FIXED(fixed_), pageFixed, x, y);
        pages_[page.handle] = pageFixed;
        Build(pageFixed, page, 0, 0);
    }
}

GtkWidget* DialogWindow::MakeWidget(Item& item, const ControlView& control, const DialogView&) {
    const std::string label = MnemonicText(control.source->text);
    GtkWidget* widget = nullptr;
    switch (item.kind) {
        case ControlKind::Static:
            widget = gtk_label_new(nullptr);
            gtk_label_set_text_with_mnemonic(GTK_LABEL(widget), label.c_str());
            gtk_label_set_xalign(GTK_LABEL(widget), 0);
            gtk_label_set_yalign(GTK_LABEL(widget), 0);
            // One line, as wide as the text: a font wider than the template's shows all of it.
            gtk_label_set_line_wrap(GTK_LABEL(widget), FALSE);
            break;
        case ControlKind::GroupBox:
            widget = gtk_frame_new(control.source->text.c_str());
            break;
        case ControlKind::PushButton:
            widget = gtk_button_new_with_mnemonic(label.c_str());
            Connect(widget, "clicked", OnClicked, item);
            if ((control.source->style & kStyleDefaultButton) != 0) {
                gtk_widget_set_can_default(widget, TRUE);
                gtk_window_set_default(GTK_WINDOW(window_), widget);
            }
            break;
        case ControlKind::CheckBox:
            widget = gtk_check_button_new_with_mnemonic(label.c_str());
            Connect(widget, "clicked", OnClicked, item);
            break;
        case ControlKind::RadioButton: {
            // A group as the template forms it, with a hidden member that is on when the dialog
            // has none of the others checked.
            GtkWidget*& none = noneRadios_[{item.dialog, control.source->group}];
            if (none == nullptr) {
                none = gtk_radio_button_new(nullptr);
                g_object_ref_sink(none);
            }
            widget = gtk_radio_button_new_with_mnemonic_from_widget(GTK_RADIO_BUTTON(none),
                                                                    label.c_str());
            item.noneRadio = none;
            Connect(widget, "clicked", OnClicked, item);
            break;
        }
        case ControlKind::Trackbar:
            widget =
                gtk_scale_new(GTK_ORIENTATION_HORIZONTAL, gtk_adjustment_new(0, 0, 100, 1, 1, 0));
            gtk_scale_set_draw_value(GTK_SCALE(widget), FALSE);
            Connect(widget, "value-changed", OnScaleChanged, item);
            break;
        case ControlKind::Edit:
            if (item.upDownId != kNoId) {
                widget = gtk_spin_button_new(gtk_adjustment_new(0, 0, 100, 1, 10, 0), 1, 0);
                gtk_spin_button_set_numeric(GTK_SPIN_BUTTON(widget), FALSE);
                gtk_spin_button_set_update_policy(GTK_SPIN_BUTTON(widget), GTK_UPDATE_IF_VALID);
                Connect(widget, "input", OnSpinInput, item);
                Connect(widget, "output", OnSpinOutput, item);
                Connect(widget, "value-changed", OnSpinValueChanged, item);
            } else {
                widget = gtk_entry_new();
            }
            gtk_entry_set_width_chars(GTK_ENTRY(widget), 1);
            gtk_entry_set_activates_default(GTK_ENTRY(widget), TRUE);
            gtk_editable_set_editable(GTK_EDITABLE(widget),
                                      (control.source->style & kStyleReadOnly) == 0);
            Connect(widget, "changed", OnEntryChanged, item);
            break;
        case ControlKind::UpDown:
            break;  // drawn by the spin button of its buddy edit
        case ControlKind::DropDownList:
            widget = gtk_combo_box_text_new();
            Connect(widget, "changed", OnComboChanged, item);
            break;
        case ControlKind::Tab:
            widget = gtk_notebook_new();
            Connect(widget, "switch-page", OnSwitchPage, item);
            break;
    }
    item.widget = widget;
    return widget;
}

void DialogWindow::Apply(const DialogView& view, uint64_t inputsDone) {
    ApplyDialog(view, inputsDone);
}

void DialogWindow::ApplyDialog(const DialogView& view, uint64_t inputsDone) {
    const auto page = pages_.find(view.handle);
    if (page != pages_.end()) gtk_widget_set_visible(page->second, view.visible);
    std::vector<Item*> checkedRadios;
    for (size_t i = 0; i < view.controls.size(); ++i) {
        const auto found = items_.find({view.handle, i});
        if (found == items_.end() || found->second->widget == nullptr) continue;
        Item& item = *found->second;
        ControlView control = view.controls[i];
        if (item.upDownId != kNoId) {
            for (const ControlView& other : view.controls) {
                if (other.source->id != item.upDownId) continue;
                control.minimum = other.minimum;
                control.maximum = other.maximum;
                control.position = other.position;
            }
        }
        ApplyControl(item, control, inputsDone);
        if (item.kind == ControlKind::RadioButton && control.checked &&
            item.lastPosted <= inputsDone) {
            checkedRadios.push_back(&item);
        }
    }
    for (Item* radio : checkedRadios) {
        radio->applying = true;
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(radio->widget), TRUE);
        radio->applying = false;
    }
    for (const DialogView& child : view.pages) ApplyDialog(child, inputsDone);
}

void DialogWindow::ApplyControl(Item& item, const ControlView& control, uint64_t inputsDone) {
    GtkWidget* widget = item.widget;
    item.applying = true;
    gtk_widget_set_sensitive(widget, control.enabled);
    // A value the user changed since the view was taken stays as the user left it.
    const bool current = item.lastPosted <= inputsDone;
    const int32_t low = std::min(control.minimum, control.maximum);
    const int32_t high = std::max(control.minimum, control.maximum);
    switch (item.kind) {
        case ControlKind::Static:
            if (item.id != kNoId) {
                gtk_label_set_text_with_mnemonic(GTK_LABEL(widget),
                                                 MnemonicText(control.text).c_str());
            }
            break;
        case ControlKind::CheckBox:
            if (current) gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), control.checked);
            break;
        case ControlKind::RadioButton:
            // Checked buttons are set after the whole dialog (ApplyDialog), so switching an
            // unchecked one off cannot switch a checked one off again.
            if (current && !control.checked &&
                gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget))) {
                gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(item.noneRadio), TRUE);
            }
            break;
        case ControlKind::Trackbar: {
            if (!current) break;
            GtkRange* range = GTK_RANGE(widget);
            gtk_range_set_range(range, low, std::max(high, low + 1));
            gtk_range_set_value(range, control.position);
            gtk_widget_set_sensitive(widget, control.enabled && high > low);
            item.lastValue = control.position;
            const int32_t frequency = std::max(control.ticFrequency, 1);
            gtk_scale_clear_marks(GTK_SCALE(widget));
            if ((high - low) / frequency <= kMostTicks) {
                for (int32_t at = low; at <= high; at += frequency) {
                    gtk_scale_add_mark(GTK_SCALE(widget), at, GTK_POS_BOTTOM, nullptr);
                }
            }
            break;
        }
        case ControlKind::Edit:
            if (!current) break;
            if (item.upDownId != kNoId) {
                GtkSpinButton* spin = GTK_SPIN_BUTTON(widget);
                gtk_spin_button_set_range(spin, low, high);
                gtk_spin_button_set_value(spin, control.position);
                item.lastValue = control.position;
            }
            if (control.text != gtk_entry_get_text(GTK_ENTRY(widget))) {
                gtk_entry_set_text(GTK_ENTRY(widget), control.text.c_str());
            }
            break;
        case ControlKind::DropDownList: {
            GtkComboBoxText* combo = GTK_COMBO_BOX_TEXT(widget);
            if (item.entries != control.items) {
                gtk_combo_box_text_remove_all(combo);
                for (const std::string& entry : control.items) {
                    gtk_combo_box_text_append_text(combo, entry.c_str());
                }
                item.entries = control.items;
            }
            if (current) gtk_combo_box_set_active(GTK_COMBO_BOX(widget), control.selection);
            break;
        }
        case ControlKind::Tab:
            if (item.entries != control.items ||
                item.tabLabels.size() != control.tabLabels.size()) {
                RebuildTabs(item, control);
            }
            item.tabLabels = control.tabLabels;
            for (GtkWidget* area : item.tabAreas) gtk_widget_queue_draw(area);
            if (current && control.selection >= 0) {
                gtk_notebook_set_current_page(GTK_NOTEBOOK(widget), control.selection);
            }
            break;
        default:
            break;
    }
    item.applying = false;
}

void DialogWindow::RebuildTabs(Item& item, const ControlView& control) {
    GtkNotebook* notebook = GTK_NOTEBOOK(item.widget);
    while (gtk_notebook_get_n_pages(notebook) > 0) gtk_notebook_remove_page(notebook, -1);
    item.tabAreas.clear();
    const bool ownerDrawn = (control.source->style & kStyleOwnerDrawTabs) != 0;
    for (size_t i = 0; i < control.items.size(); ++i) {
        GtkWidget* label = nullptr;
        if (ownerDrawn) {
            label = gtk_drawing_area_new();
            const PixelRect r =
                i < control.tabLabels.size() ? control.tabLabels[i].rect : PixelRect{};
            gtk_widget_set_size_request(label, r.right - r.left, r.bottom - r.top);
            Connect(label, "draw", OnDrawTabLabel, item);
            item.tabAreas.push_back(label);
        } else {
            label = gtk_label_new(control.items[i].c_str());
        }
        SetTextLanguage(label, language_);
        GtkWidget* child = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        gtk_notebook_append_page(notebook, child, label);
        gtk_widget_show_all(child);
        gtk_widget_show(label);
    }
    item.entries = control.items;
}

}  // namespace tavlin::dialogs::gtk
