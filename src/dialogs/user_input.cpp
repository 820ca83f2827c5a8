#include "dialogs/user_input.h"

#include <algorithm>

namespace tavlin::dialogs::input {

namespace {

// An item a user could act on: present, enabled and on a visible dialog.
FoundItem Reachable(Dialog& dialog, int32_t id) {
    const FoundItem found = FindItem(dialog, id);
    if (found.control == nullptr || !found.control->Enabled() || !found.dialog->ShownOnScreen()) {
        return {};
    }
    return found;
}

bool ClickButton(Dialog& owner, Control& control) {
    switch (control.Kind()) {
        case ControlKind::PushButton:
            break;
        case ControlKind::CheckBox:
            control.SetChecked(!control.Checked());
            break;
        case ControlKind::RadioButton:
            for (Control& other : owner.Controls()) {
                if (other.Kind() == ControlKind::RadioButton &&
                    other.Template().group == control.Template().group) {
                    other.SetChecked(false);
                }
            }
            control.SetChecked(true);
            break;
        default:
            return false;
    }
    owner.Send({MessageId::Command, control.Id(), kButtonClicked});
    return true;
}

}  // namespace

FoundItem FindItem(Dialog& dialog, int32_t id) {
    if (Control* control = dialog.Item(id)) return {&dialog, control};
    for (const bool shown : {true, false}) {
        for (const auto& page : dialog.Pages()) {
            if (page->ShownOnScreen() != shown) continue;
            if (Control* control = page->Item(id)) return {page.get(), control};
        }
    }
    return {};
}

bool TypeText(Dialog& dialog, int32_t id, const std::string& text) {
    const FoundItem found = Reachable(dialog, id);
    if (found.control == nullptr || found.control->Kind() != ControlKind::Edit ||
        found.control->ReadOnly()) {
        return false;
    }
    return found.dialog->SetItemText(id, text);
}

bool MoveTrackbar(Dialog& dialog, int32_t id, int32_t position) {
    const FoundItem found = Reachable(dialog, id);
    if (found.control == nullptr || found.control->Kind() != ControlKind::Trackbar) return false;
    found.control->SetPosition(position);
    // One notification for the whole move, with the thumb at its new place.
    found.dialog->Send({MessageId::HScroll, id, kScrollThumbPosition, found.control->Position()});
    return true;
}

bool Click(Dialog& dialog, int32_t id) {
    const FoundItem found = Reachable(dialog, id);
    return found.control != nullptr && ClickButton(*found.dialog, *found.control);
}

bool SelectEntry(Dialog& dialog, int32_t id, int32_t index) {
    const FoundItem found = Reachable(dialog, id);
    if (found.control == nullptr || index < 0 || index >= found.control->ItemCount()) {
        return false;
    }
    if (found.control->Kind() == ControlKind::DropDownList) {
        found.control->SetSelection(index);
        found.dialog->Send({MessageId::Command, id, kListSelectionChanged});
        return true;
    }
    if (found.control->Kind() == ControlKind::Tab) {
        found.dialog->Send({MessageId::Notify, id, kTabSelectionChanging});
        found.control->SetSelection(index);
        found.dialog->Send({MessageId::Notify, id, kTabSelectionChanged});
        return true;
    }
    return false;
}

bool Spin(Dialog& dialog, int32_t id, int32_t steps) {
    const FoundItem found = Reachable(dialog, id);
    if (found.control == nullptr || found.control->Kind() != ControlKind::UpDown) return false;
    // The arrows count on from what the buddy shows, as a user sees it.
    int32_t position = found.control->Position();
    if (found.control->Buddy() != kNoId) {
        position = found.dialog->ItemInt(found.control->Buddy(), true).value_or(position);
    }
    const int64_t target = static_cast<int64_t>(position) + steps;
    const int64_t bounded = std::clamp<int64_t>(target, INT32_MIN, INT32_MAX);
    return found.dialog->SetUpDownPosition(id, static_cast<int32_t>(bounded));
}

void PressCloseBox(Dialog& dialog) {
    Dialog* top = &dialog;
    while (top->Parent() != nullptr) top = top->Parent();
    top->Send({MessageId::Close});
}

}  // namespace tavlin::dialogs::input
