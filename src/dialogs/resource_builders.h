// Small builders the resource tables are written with.
#pragma once

#include <string>
#include <utility>

#include "dialogs/dialog_template.h"

namespace tavlin::dialogs::resources {

inline ControlTemplate Control(int32_t id, ControlKind kind, std::string text, Rect rect,
                               uint32_t style = kStyleNone, int32_t group = 0) {
    ControlTemplate c;
    c.id = id;
    c.kind = kind;
    c.text = std::move(text);
    c.rect = rect;
    c.style = style;
    c.group = group;
    return c;
}

inline ControlTemplate Label(std::string text, Rect rect) {
    return Control(kNoId, ControlKind::Static, std::move(text), rect);
}

inline ControlTemplate Group(std::string text, Rect rect) {
    return Control(kNoId, ControlKind::GroupBox, std::move(text), rect);
}

// One adjustment row: label, trackbar, edit box and the up-down bound to it, left to right.
struct RowLayout {
    int32_t x = 4;
    int32_t labelWidth = 50;
    int32_t trackbarWidth = 110;
    int32_t editWidth = 34;
};

inline void AddRow(std::vector<ControlTemplate>& out, const RowLayout& layout, int32_t y,
                   std::string label, int32_t trackbar, int32_t edit, int32_t upDown) {
    const int32_t trackX = layout.x + layout.labelWidth + 2;
    const int32_t editX = trackX + layout.trackbarWidth + 2;
    out.push_back(Label(std::move(label), {layout.x, y + 2, layout.labelWidth, 8}));
    out.push_back(
        Control(trackbar, ControlKind::Trackbar, "", {trackX, y, layout.trackbarWidth, 12}));
    out.push_back(Control(edit, ControlKind::Edit, "", {editX, y, layout.editWidth, 12}));
    out.push_back(Control(upDown, ControlKind::UpDown, "", {editX + layout.editWidth, y, 10, 12}));
}

// Resource tables by group, collected by FindDialogTemplate.
std::vector<DialogTemplate> SheetTemplates();
std::vector<DialogTemplate> PageTemplates();

}  // namespace tavlin::dialogs::resources
