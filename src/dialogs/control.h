// One control of a created dialog: its template plus the state the dialog procedures and the
// automation interface read and change. Plain state only; notifications are the dialog's job.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/dialog_template.h"

namespace tavlin::dialogs {

class Control {
  public:
    explicit Control(const ControlTemplate& source);

    int32_t Id() const { return source_->id; }
    ControlKind Kind() const { return source_->kind; }
    const ControlTemplate& Template() const { return *source_; }
    bool ReadOnly() const { return (source_->style & kStyleReadOnly) != 0; }

    const std::string& Text() const { return text_; }
    void SetText(std::string text) { text_ = std::move(text); }

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }

    // Check boxes and radio buttons.
    bool Checked() const { return checked_; }
    void SetChecked(bool checked) { checked_ = checked; }

    // Trackbars and up-downs: a range, a position kept inside it, the trackbar's tick spacing and
    // the up-down's buddy edit.
    void SetRange(int32_t minimum, int32_t maximum);
    int32_t Minimum() const { return minimum_; }
    int32_t Maximum() const { return maximum_; }
    int32_t Position() const { return position_; }
    void SetPosition(int32_t position);
    int32_t TicFrequency() const { return ticFrequency_; }
    void SetTicFrequency(int32_t frequency) { ticFrequency_ = frequency; }
    int32_t Buddy() const { return buddy_; }
    void SetBuddy(int32_t editId) { buddy_ = editId; }

    // Drop-down lists and tab controls: entries and the selected one (-1: none).
    int32_t InsertItem(int32_t index, std::string text);  // the index used, -1 when refused
    bool DeleteItem(int32_t index);
    int32_t ItemCount() const { return static_cast<int32_t>(items_.size()); }
    const std::string* ItemText(int32_t index) const;
    int32_t Selection() const { return selection_; }
    bool SetSelection(int32_t index);  // false (and no selection) for an index out of range

  private:
    int32_t Clamp(int32_t value) const;

    const ControlTemplate* source_;
    std::string text_;
    bool enabled_ = true;
    bool checked_ = false;
    int32_t minimum_ = 0;
    int32_t maximum_ = 100;
    int32_t position_ = 0;
    int32_t ticFrequency_ = 1;
    int32_t buddy_ = kNoId;
    std::vector<std::string> items_;
    int32_t selection_ = -1;
};

}  // namespace tavlin::dialogs
