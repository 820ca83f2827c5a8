#include "dialogs/dialog.h"

#include <utility>

#include "dialogs/dialog_int.h"
#include "dialogs/dialog_registry.h"
#include "dialogs/modal_run.h"

namespace tavlin::dialogs {

namespace {

constexpr char kDialogClassName[] = "#32770";

}  // namespace

Dialog::Dialog(const DialogTemplate& source, DialogProcedure& procedure, ModalRun& run,
               Dialog* parent, int32_t hostControlId)
    : source_(&source),
      procedure_(&procedure),
      run_(&run),
      parent_(parent),
      hostControlId_(hostControlId) {
    controls_.reserve(source.controls.size());
    for (const ControlTemplate& control : source.controls) controls_.emplace_back(control);
    // Dialogs are windows: their handles come from the same table as every other window, so a
    // dialog handle can never be mistaken for a message window and vice versa. Like Windows'
    // dialogs they are of class "#32770", found by their title; a page is a child of its sheet.
    platform::WindowIdentity identity{kDialogClassName, source.title,
                                      parent != nullptr ? parent->Handle() : 0, true};
    handle_ = platform::WindowRegistry::Instance().Add(
        std::make_shared<platform::HostWindow>(std::move(identity)));
    DialogRegistry::Instance().AddWindow(handle_, run.weak_from_this());
}

Dialog::~Dialog() {
    pages_.clear();  // pages go before the dialog they sit in
    DialogRegistry::Instance().RemoveWindow(handle_);
    platform::WindowRegistry::Instance().Remove(handle_);
}

bool Dialog::Send(const DialogMessage& message) {
    if (procedure_->OnMessage(*this, message)) return true;
    if (message.id == MessageId::Close) {
        return Send({MessageId::Command, kIdCancel, kButtonClicked});
    }
    return false;
}

Control* Dialog::Item(int32_t id) {
    if (id == kNoId) return nullptr;
    for (Control& control : controls_) {
        if (control.Id() == id) return &control;
    }
    return nullptr;
}

const Control* Dialog::Item(int32_t id) const {
    return const_cast<Dialog*>(this)->Item(id);
}

bool Dialog::SetItemText(int32_t id, std::string text) {
    Control* control = Item(id);
    if (control == nullptr) return false;
    control->SetText(std::move(text));
    // An edit tells its dialog about every change of its text, also a programmatic one.
    if (control->Kind() == ControlKind::Edit) Send({MessageId::Command, id, kEditChanged});
    return true;
}

bool Dialog::SetItemInt(int32_t id, int32_t value, bool isSigned) {
    return SetItemText(id, FormatDialogInt(value, isSigned));
}

std::string Dialog::ItemText(int32_t id) const {
    const Control* control = Item(id);
    return control != nullptr ? control->Text() : std::string();
}

std::optional<int32_t> Dialog::ItemInt(int32_t id, bool isSigned) const {
    const Control* control = Item(id);
    if (control == nullptr) return std::nullopt;
    return ParseDialogInt(control->Text(), isSigned);
}

bool Dialog::CheckButton(int32_t id, bool checked) {
    Control* control = Item(id);
    if (control == nullptr) return false;
    control->SetChecked(checked);
    return true;
}

bool Dialog::IsButtonChecked(int32_t id) const {
    const Control* control = Item(id);
    return control != nullptr && control->Checked();
}

bool Dialog::EnableItem(int32_t id, bool enabled) {
    Control* control = Item(id);
    if (control == nullptr) return false;
    control->SetEnabled(enabled);
    return true;
}

bool Dialog::SetUpDownPosition(int32_t id, int32_t position) {
    Control* control = Item(id);
    if (control == nullptr || control->Kind() != ControlKind::UpDown) return false;
    control->SetPosition(position);
    const int32_t buddy = control->Buddy();
    if (buddy != kNoId) SetItemInt(buddy, control->Position(), true);
    return true;
}

Dialog* Dialog::CreatePage(const DialogTemplate& source, DialogProcedure& procedure,
                           int32_t hostControlId) {
    pages_.push_back(std::make_unique<Dialog>(source, procedure, *run_, this, hostControlId));
    Dialog* page = pages_.back().get();
    page->Send({MessageId::InitDialog});
    return page;
}

bool Dialog::ShownOnScreen() const {
    for (const Dialog* d = this; d != nullptr; d = d->parent_) {
        if (!d->visible_) return false;
    }
    return true;
}

void Dialog::MoveTo(int32_t x, int32_t y) {
    x_ = x;
    y_ = y;
}

void Dialog::EndDialog(int32_t result) {
    run_->End(result);
}

}  // namespace tavlin::dialogs
