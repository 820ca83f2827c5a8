// Driving open dialogs from any thread without a display: find a dialog, read its items, and act
// on them as a user would (type into an edit, move a trackbar, click, choose a list entry or a
// tab, step an up-down, close). Every call is carried out on the dialog's own thread and waits
// for it, so the dialog procedures see exactly the messages a user's input would raise.
//
// An item is looked up in the named dialog, then in its pages, visible pages first. Actions are
// refused (false) for items that are missing, of the wrong kind, disabled, read-only edits, or on
// a hidden page, as a user could not reach them either.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "window/host_window.h"

namespace tavlin::dialogs::automation {

using platform::WindowHandle;

// The top-level dialog open for a camera handle, or open on a thread (Linux thread id); waits up
// to timeoutMs (negative: without limit) for one to open. 0 when none does.
WindowHandle FindCameraDialog(int32_t ownerKey, int32_t timeoutMs);
WindowHandle FindThreadDialog(int64_t threadId, int32_t timeoutMs);

// The index-th page of a dialog (in creation order), 0 when there is none.
WindowHandle Page(WindowHandle dialog, int32_t index);
// 1 when the dialog and the dialogs it sits in are shown, 0 when hidden, -1 for no dialog.
int32_t Visible(WindowHandle dialog);
bool Title(WindowHandle dialog, std::string& title);
bool ResourceId(WindowHandle dialog, int32_t& resourceId);

bool ItemText(WindowHandle dialog, int32_t id, std::string& text);
// Edit: its number; trackbar, up-down: position; list, tab: selection (-1 none); check box and
// radio button: 1 or 0. False for other kinds and for an edit that holds no number.
bool ItemValue(WindowHandle dialog, int32_t id, int32_t& value);
// 1 or 0; -1 when the item does not exist (or cannot be checked, for ItemChecked).
int32_t ItemChecked(WindowHandle dialog, int32_t id);
int32_t ItemEnabled(WindowHandle dialog, int32_t id);
bool ItemRange(WindowHandle dialog, int32_t id, int32_t& minimum, int32_t& maximum);
// Entries of a drop-down list or a tab control; -1 for other items.
int32_t ItemCount(WindowHandle dialog, int32_t id);
bool ItemEntry(WindowHandle dialog, int32_t id, int32_t index, std::string& text);

bool SetItemText(WindowHandle dialog, int32_t id, const std::string& text);
bool MoveTrackbar(WindowHandle dialog, int32_t id, int32_t position);
bool Click(WindowHandle dialog, int32_t id);
bool SelectEntry(WindowHandle dialog, int32_t id, int32_t index);
bool Spin(WindowHandle dialog, int32_t id, int32_t steps);
// The close box of the dialog's top-level window.
bool Close(WindowHandle dialog);

}  // namespace tavlin::dialogs::automation
