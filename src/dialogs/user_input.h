// What a user can do to a dialog, carried out on the dialog's own thread: type into an edit, move
// a trackbar, click, choose a list entry or a tab, step an up-down, press the close box. The
// automation interface and an on-screen presenter both come here, so a dialog procedure sees the
// same messages whoever acted.
//
// An item is looked up in the dialog given, then in its pages, visible pages first. Actions are
// refused (false) for items that are missing, of the wrong kind, disabled, read-only edits, or on
// a hidden page.
#pragma once

#include <cstdint>
#include <string>

#include "dialogs/dialog.h"

namespace tavlin::dialogs::input {

struct FoundItem {
    Dialog* dialog = nullptr;  // the dialog or page holding the control
    Control* control = nullptr;
};

FoundItem FindItem(Dialog& dialog, int32_t id);

bool TypeText(Dialog& dialog, int32_t id, const std::string& text);
bool MoveTrackbar(Dialog& dialog, int32_t id, int32_t position);
bool Click(Dialog& dialog, int32_t id);
bool SelectEntry(Dialog& dialog, int32_t id, int32_t index);
bool Spin(Dialog& dialog, int32_t id, int32_t steps);
// The close box of the top-level dialog the given one sits in.
void PressCloseBox(Dialog& dialog);

}  // namespace tavlin::dialogs::input
