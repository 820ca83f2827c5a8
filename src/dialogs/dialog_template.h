// Compiled-in dialog resources: what a dialog is made of before it is created (title, size,
// font, controls with their ids, texts, rectangles and styles). Sizes are in dialog units; how
// they become pixels is the presenter's business.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavlin::dialogs {

enum class ControlKind {
    Tab,
    Trackbar,
    Edit,
    UpDown,
    CheckBox,
    RadioButton,
    DropDownList,
    PushButton,
    Static,
    GroupBox,
};

struct Rect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// Style bits a control template may carry.
enum ControlStyle : uint32_t {
    kStyleNone = 0,
    kStyleDefaultButton = 1u << 0,  // the push button Enter activates
    kStyleReadOnly = 1u << 1,       // an edit the user cannot type into
    kStyleOwnerDrawTabs = 1u << 2,  // tab labels are drawn by the dialog procedure
    kStyleFixedTabs = 1u << 3,
};

// Labels and group boxes carry no id of their own.
inline constexpr int32_t kNoId = -1;

struct ControlTemplate {
    int32_t id = kNoId;
    ControlKind kind = ControlKind::Static;
    std::string text;  // UTF-8
    Rect rect;
    uint32_t style = kStyleNone;
    // Radio buttons with the same non-zero group exclude each other.
    int32_t group = 0;
};

struct DialogTemplate {
    int32_t resourceId = 0;
    std::string title;  // empty for child pages
    int32_t width = 0;
    int32_t height = 0;
    bool childPage = false;
    std::string fontName = "MS Shell Dlg";
    int32_t fontPoints = 8;
    // The language its texts are written in ("ja", "en"): a presenter picks fonts that cover it.
    std::string language = "en";
    std::vector<ControlTemplate> controls;
};

// The template of a resource number (101..113), or null for a number the library does not hold.
const DialogTemplate* FindDialogTemplate(int32_t resourceId);

}  // namespace tavlin::dialogs
