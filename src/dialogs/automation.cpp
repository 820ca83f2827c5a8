#include "dialogs/automation.h"

#include <cstdint>

#include "dialogs/dialog_registry.h"
#include "dialogs/modal_run.h"
#include "dialogs/user_input.h"

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

template <typename Read>
bool ReadItem(WindowHandle window, int32_t id, Read&& read) {
    return OnDialogThread(window, [&](Dialog& dialog) {
        const input::FoundItem found = input::FindItem(dialog, id);
        return found.control != nullptr && read(*found.control);
    });
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
        const input::FoundItem found = input::FindItem(dialog, id);
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
    return OnDialogThread(window,
                          [&](Dialog& dialog) { return input::TypeText(dialog, id, text); });
}

bool MoveTrackbar(WindowHandle window, int32_t id, int32_t position) {
    return OnDialogThread(
        window, [&](Dialog& dialog) { return input::MoveTrackbar(dialog, id, position); });
}

bool Click(WindowHandle window, int32_t id) {
    return OnDialogThread(window, [&](Dialog& dialog) { return input::Click(dialog, id); });
}

bool SelectEntry(WindowHandle window, int32_t id, int32_t index) {
    return OnDialogThread(window,
                          [&](Dialog& dialog) { return input::SelectEntry(dialog, id, index); });
}

bool Spin(WindowHandle window, int32_t id, int32_t steps) {
    return OnDialogThread(window, [&](Dialog& dialog) { return input::Spin(dialog, id, steps); });
}

bool Close(WindowHandle window) {
    const std::shared_ptr<ModalRun> run = DialogRegistry::Instance().RunOf(window);
    if (run == nullptr) return false;
    return run->Send([&run] {
        if (Dialog* top = run->Top()) top->Send({MessageId::Close});
    });
}

}  // namespace tavlin::dialogs::automation
