#include "dialogs/control.h"

#include <algorithm>

namespace tavlin::dialogs {

Control::Control(const ControlTemplate& source) : source_(&source), text_(source.text) {}

int32_t Control::Clamp(int32_t value) const {
    // A range may be given upside down (an up-down counting backwards).
    const int32_t low = std::min(minimum_, maximum_);
    const int32_t high = std::max(minimum_, maximum_);
    return std::clamp(value, low, high);
}

void Control::SetRange(int32_t minimum, int32_t maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
    position_ = Clamp(position_);
}

void Control::SetPosition(int32_t position) {
    position_ = Clamp(position);
}

int32_t Control::InsertItem(int32_t index, std::string text) {
    const int32_t count = ItemCount();
    if (index == -1) index = count;  // append
    if (index < 0 || index > count) return -1;
    items_.insert(items_.begin() + index, std::move(text));
    if (selection_ >= index) ++selection_;
    return index;
}

bool Control::DeleteItem(int32_t index) {
    if (index < 0 || index >= ItemCount()) return false;
    items_.erase(items_.begin() + index);
    if (selection_ == index) {
        selection_ = -1;
    } else if (selection_ > index) {
        --selection_;
    }
    return true;
}

const std::string* Control::ItemText(int32_t index) const {
    if (index < 0 || index >= ItemCount()) return nullptr;
    return &items_[static_cast<size_t>(index)];
}

bool Control::SetSelection(int32_t index) {
    if (index < 0 || index >= ItemCount()) {
        selection_ = -1;
        return false;
    }
    selection_ = index;
    return true;
}

}  // namespace tavlin::dialogs
