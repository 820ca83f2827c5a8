#include "dialogs/automation.h"

#include <algorithm>
#include <cstdint>

#include "dialogs/dialog_registry.h"
#include "dialogs/modal_run.h"

namespace tavlin::dialogs::automation {

namespace {

// Runs work(dialog) on the dialog's thread; false when there is no such dialog or the work
// said so.
template <typename Work>
bool OnDialogThread(WindowHandle window, Work&& work) {
    const std::shared_ptr<ModalRun> run = DialogRegistry::Instance().RunOf(window);
    if (run == nullptr) return false;
    bool result = false;
    const bool ran = run->Send([&] {
        Dialog* dialog = run->FindDialog(window);
        if (dialog != nullptr) result = work(*dialog);
    });
    return ran && result;
}

struct Found {
    Dialog* dialog = nullptr;
    Control* control = nullptr;
};

Found FindItem(Dialog& dialog, int32_t id) {
    if (Control* control = dialog.Item(id)) return {&dialog, control};
    for (const bool shown : {true, false}) {
        for (const auto& page : dialog.Pages()) {
            if (page->ShownOnScreen() != shown) continue;
            if (Control* control = page->Item(id)) return {page.get(), control};
        }
    }
    return {};
}

// An item a user could act on: present, enabled and on a visible dialog.
Found Reachable(Dialog& dialog, int32_t id) {
    const Found found = FindItem(dialog, id);
    if (found.control == nullptr || !found.control->Enabled() || !found.dialog->ShownOnScreen()) {
        return {};
    }
    return found;
}

template <typename Read>
bool ReadItem(WindowHandle window, int32_t id, Read&& read) {
    return OnDialogThread(window, [&](Dialog& dialog) {
        const Found found = FindItem(dialog, id);
        return found.control != nullptr && read(*found.control);
    });
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

WindowHandle FindCameraDialog(int32_t ownerKey, int32_t timeoutMs) {
    const auto run = DialogRegistry::Instance().WaitForRun(
        [ownerKey](const ModalRun& r) { return r.OwnerKey() == ownerKey; }, timeoutMs);
    return run != nullptr ? run->TopHandle() : 0;
}

WindowHandle FindThreadDialog(int64_t threadId, int32_t timeoutMs) {
    const auto run = DialogRegistry::Instance().WaitForRun(
        [threadId](const ModalRun& r) { return r.ThreadId() == threadId; }, timeoutMs);
    return run != nullptr ? run->TopHandle() : 0;
}

WindowHandle Page(WindowHandle window, int32_t index) {
    WindowHandle page = 0;
    OnDialogThread(window, [&](Dialog& dialog) {
        if (index < 0 || index >= static_cast<int32_t>(dialog.Pages().size())) return false;
        page = dialog.Pages()[static_cast<size_t>(index)]->Handle();
        return true;
    });
    return page;
}

int32_t Visible(WindowHandle window) {
    int32_t visible = -1;
    OnDialogThread(window, [&](Dialog& dialog) {
        visible = dialog.ShownOnScreen() ? 1 : 0;
        return true;
    });
    return visible;
}

bool Title(WindowHandle window, std::string& title) {
    return OnDialogThread(window, [&](Dialog& dialog) {
        title = dialog.Template().title;
        return true;
    });
}

bool ResourceId(WindowHandle window, int32_t& resourceId) {
    return OnDialogThread(window, [&](Dialog& dialog) {
        resourceId = dialog.Template().resourceId;
        return true;
    });
}

bool ItemText(WindowHandle window, int32_t id, std::string& text) {
    return ReadItem(window, id, [&](const Control& control) {
        text = control.Text();
        return true;
    });
}

bool ItemValue(WindowHandle window, int32_t id, int32_t& value) {
    return OnDialogThread(window, [&](Dialog& dialog) {
        const Found found = FindItem(dialog, id);
        if (found.control == nullptr) return false;
        const Control& control = *found.control;
        switch (control.Kind()) {
            case ControlKind::Edit: {
                const auto number = found.dialog->ItemInt(id, true);
                if (number) value = *number;
                return number.has_value();
            }
            case ControlKind::Trackbar:
            case ControlKind::UpDown:
                value = control.Position();
                return true;
            case ControlKind::DropDownList:
            case ControlKind::Tab:
                value = control.Selection();
                return true;
            case ControlKind::CheckBox:
            case ControlKind::RadioButton:
                value = control.Checked() ? 1 : 0;
                return true;
            default:
                return false;
        }
    });
}

int32_t ItemChecked(WindowHandle window, int32_t id) {
    int32_t checked = -1;
    ReadItem(window, id, [&](const Control& control) {
        if (control.Kind() != ControlKind::CheckBox && control.Kind() != ControlKind::RadioButton) {
            return false;
        }
        checked = control.Checked() ? 1 : 0;
        return true;
    });
    return checked;
}

int32_t ItemEnabled(WindowHandle window, int32_t id) {
    int32_t enabled = -1;
    ReadItem(window, id, [&](const Control& control) {
        enabled = control.Enabled() ? 1 : 0;
        return true;
    });
    return enabled;
}

bool ItemRange(WindowHandle window, int32_t id, int32_t& minimum, int32_t& maximum) {
    return ReadItem(window, id, [&](const Control& control) {
        if (control.Kind() != ControlKind::Trackbar && control.Kind() != ControlKind::UpDown) {
            return false;
        }
        minimum = control.Minimum();
        maximum = control.Maximum();
        return true;
    });
}

int32_t ItemCount(WindowHandle window, int32_t id) {
    int32_t count = -1;
    ReadItem(window, id, [&](const Control& control) {
        if (control.Kind() != ControlKind::DropDownList && control.Kind() != ControlKind::Tab) {
            return false;
        }
        count = control.ItemCount();
        return true;
    });
    return count;
}

bool ItemEntry(WindowHandle window, int32_t id, int32_t index, std::string& text) {
    return ReadItem(window, id, [&](const Control& control) {
        const std::string* entry = control.ItemText(index);
        if (entry != nullptr) text = *entry;
        return entry != nullptr;
    });
}

bool SetItemText(WindowHandle window, int32_t id, const std::string& text) {
    return OnDialogThread(window, [&](Dialog& dialog) {
        const Found found = Reachable(dialog, id);
        if (found.control == nullptr || found.control->Kind() != ControlKind::Edit ||
            found.control->ReadOnly()) {
            return false;
        }
        return found.dialog->SetItemText(id, text);
    });
}

bool MoveTrackbar(WindowHandle window, int32_t id, int32_t position) {
    return OnDialogThread(window, [&](Dialog& dialog) {
        const Found found = Reachable(dialog, id);
        if (found.control == nullptr || found.control->Kind() != ControlKind::Trackbar) {
            return false;
        }
        found.control->SetPosition(position);
        // One notification for the whole move, with the thumb at its new place.
        found.dialog->Send(
            {MessageId::HScroll, id, kScrollThumbPosition, found.control->Position()});
        return true;
    });
}

bool Click(WindowHandle window, int32_t id) {
    return OnDialogThread(window, [&](Dialog& dialog) {
        const Found found = Reachable(dialog, id);
        return found.control != nullptr && ClickButton(*found.dialog, *found.control);
    });
}

bool SelectEntry(WindowHandle window, int32_t id, int32_t index) {
    return OnDialogThread(window, [&](Dialog& dialog) {
        const Found found = Reachable(dialog, id);
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
    });
}

bool Spin(WindowHandle window, int32_t id, int32_t steps) {
    return OnDialogThread(window, [&](Dialog& dialog) {
        const Found found = Reachable(dialog, id);
        if (found.control == nullptr || found.control->Kind() != ControlKind::UpDown) return false;
        // The arrows count on from what the buddy shows, as a user sees it.
        int32_t position = found.control->Position();
        if (found.control->Buddy() != kNoId) {
            position = found.dialog->ItemInt(found.control->Buddy(), true).value_or(position);
        }
        const int64_t target = static_cast<int64_t>(position) + steps;
        const int64_t bounded = std::clamp<int64_t>(target, INT32_MIN, INT32_MAX);
        return found.dialog->SetUpDownPosition(id, static_cast<int32_t>(bounded));
    });
}

bool Close(WindowHandle window) {
    const std::shared_ptr<ModalRun> run = DialogRegistry::Instance().RunOf(window);
    if (run == nullptr) return false;
    return run->Send([&run] {
        if (Dialog* top = run->Top()) top->Send({MessageId::Close});
    });
}

}  // namespace tavlin::dialogs::automation
