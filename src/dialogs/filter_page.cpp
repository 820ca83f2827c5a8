#include "dialogs/filter_page.h"

#include <algorithm>

namespace tavlin::dialogs {

FilterPage::FilterPage(camera::DialogPort& camera, std::vector<Row> rows)
    : camera_(camera), rows_(std::move(rows)) {}

bool FilterPage::OnMessage(Dialog& page, const DialogMessage& message) {
    switch (message.id) {
        case MessageId::InitDialog:
            Initialise(page);
            return true;
        case MessageId::HScroll:
            if (const Row* row = RowOf(message.controlId)) Scrolled(page, *row);
            return true;
        case MessageId::Command:
            if (message.code == kEditChanged) {
                const Row* row = RowOf(message.controlId);
                if (row != nullptr && row->edit == message.controlId) EditChanged(page, *row);
                return true;
            }
            if (message.code == kButtonClicked) {
                ButtonClicked(page, message.controlId);
                return true;
            }
            return false;
        default:
            return false;
    }
}

void FilterPage::Initialise(Dialog& page) {
    window_ = &page;
    ready_ = false;
    settings::FilterSettings current = Current();
    for (const Row& row : rows_) {
        const int32_t value = row.field(current);
        Control* trackbar = page.Item(row.trackbar);
        trackbar->SetRange(row.minimum, row.maximum);
        trackbar->SetPosition(value);
        trackbar->SetTicFrequency(row.ticFrequency);
        Control* upDown = page.Item(row.upDown);
        upDown->SetRange(row.minimum, row.maximum);
        upDown->SetPosition(value);
        upDown->SetBuddy(row.edit);
        page.SetItemInt(row.edit, value, true);
        for (const int32_t id : {row.trackbar, row.upDown, row.edit}) {
            page.EnableItem(id, row.enabled);
        }
    }
    InitialiseButtons(page, current);
    ready_ = true;
}

void FilterPage::EditChanged(Dialog& page, const Row& row) {
    if (!ready_ || refreshing_) return;
    const std::optional<int32_t> value = page.ItemInt(row.edit, true);
    if (!value) return;  // nothing to store until the text is a number again
    Update([&row, &value](settings::FilterSettings& f) { row.field(f) = *value; });
    page.Item(row.trackbar)->SetPosition(*value);
}

void FilterPage::Scrolled(Dialog& page, const Row& row) {
    const int32_t position = page.Item(row.trackbar)->Position();
    page.SetItemInt(row.edit, position, true);
    Update([&row, position](settings::FilterSettings& f) { row.field(f) = position; });
}

void FilterPage::Refresh(RefreshMode mode) {
    if (window_ == nullptr) return;
    Dialog& page = *window_;
    if (mode == RefreshMode::FromSettings) {
        settings::FilterSettings current = Current();
        refreshing_ = true;
        for (const Row& row : rows_) {
            page.Item(row.trackbar)->SetPosition(row.field(current));
            page.SetItemInt(row.edit, row.field(current), true);
        }
        refreshing_ = false;
        return;
    }
    for (const Row& row : rows_) {
        const std::optional<int32_t> value = page.ItemInt(row.edit, true);
        if (value) Update([&row, &value](settings::FilterSettings& f) { row.field(f) = *value; });
    }
}

void FilterPage::Update(const std::function<void(settings::FilterSettings&)>& change) {
    camera_.UpdateFilterSettings(change);
}

void FilterPage::CheckRadio(Dialog& page, int32_t first, int32_t count, int32_t value) {
    for (int32_t i = 0; i < count; ++i) page.CheckButton(first + i, i == value);
}

const FilterPage::Row* FilterPage::RowOf(int32_t id) const {
    const auto found = std::find_if(rows_.begin(), rows_.end(), [id](const Row& r) {
        return r.trackbar == id || r.edit == id;
    });
    return found == rows_.end() ? nullptr : &*found;
}

}  // namespace tavlin::dialogs
