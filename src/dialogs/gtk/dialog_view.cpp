#include "dialogs/gtk/dialog_view.h"

#include <algorithm>

namespace tavlin::dialogs::gtk {

namespace {

constexpr int32_t kTabPaddingX = 6;
constexpr int32_t kTabPaddingY = 3;

// Keeps what a procedure paints, to be replayed on screen by the GTK thread.
class RecordingCanvas : public Canvas {
  public:
    RecordingCanvas(const TextMeasure& measure, std::vector<PaintOp>& ops)
        : measure_(measure), ops_(ops) {}

    void FillRect(const PixelRect& rect, uint32_t color) override {
        PaintOp op;
        op.kind = PaintOp::Kind::Fill;
        op.rect = rect;
        op.color = color;
        ops_.push_back(std::move(op));
    }
    void SetBackgroundColor(uint32_t color) override { background_ = color; }
    TextExtent MeasureText(const std::string& text) override { return measure_(text); }
    void DrawText(int32_t x, int32_t y, const std::string& text) override {
        PaintOp op;
        op.kind = PaintOp::Kind::Text;
        op.color = background_;
        op.x = x;
        op.y = y;
        op.text = text;
        ops_.push_back(std::move(op));
    }

  private:
    const TextMeasure& measure_;
    std::vector<PaintOp>& ops_;
    uint32_t background_ = kButtonFaceColor;
};

ControlView CaptureControl(const Control& control) {
    ControlView view;
    view.source = &control.Template();
    view.text = control.Text();
    view.enabled = control.Enabled();
    view.checked = control.Checked();
    view.minimum = control.Minimum();
    view.maximum = control.Maximum();
    view.position = control.Position();
    view.ticFrequency = control.TicFrequency();
    view.buddy = control.Buddy();
    for (int32_t i = 0; i < control.ItemCount(); ++i) view.items.push_back(*control.ItemText(i));
    view.selection = control.Selection();
    return view;
}

void PaintTabLabels(Dialog& dialog, ControlView& view, const TextMeasure& measure) {
    const PixelRect item = TabItemRect(view.items, measure);
    for (int32_t i = 0; i < static_cast<int32_t>(view.items.size()); ++i) {
        TabLabelView label;
        label.rect = item;
        RecordingCanvas canvas(measure, label.ops);
        DrawItemRequest request;
        request.itemIndex = i;
        request.itemRect = item;
        request.canvas = &canvas;
        dialog.Send({MessageId::DrawItem, view.source->id, 0, 0, &request});
        view.tabLabels.push_back(std::move(label));
    }
}

}  // namespace

PixelRect TabItemRect(const std::vector<std::string>& labels, const TextMeasure& measure) {
    TextExtent widest = measure("");
    for (const std::string& label : labels) {
        const TextExtent extent = measure(label);
        widest.width = std::max(widest.width, extent.width);
        widest.height = std::max(widest.height, extent.height);
    }
    return {0, 0, widest.width + 2 * kTabPaddingX, widest.height + 2 * kTabPaddingY};
}

DialogView CaptureView(Dialog& dialog, const TextMeasure& measure, TabLabelCache& cache) {
    DialogView view;
    view.handle = dialog.Handle();
    view.source = &dialog.Template();
    view.visible = dialog.Visible();
    view.x = dialog.X();
    view.y = dialog.Y();
    view.hostControlId = dialog.HostControlId();
    for (const Control& control : dialog.Controls()) {
        view.controls.push_back(CaptureControl(control));
        ControlView& added = view.controls.back();
        if (control.Kind() != ControlKind::Tab ||
            (control.Template().style & kStyleOwnerDrawTabs) == 0) {
            continue;
        }
        auto& cached = cache[{dialog.Handle(), control.Id()}];
        if (cached.first != added.items || cached.second.empty()) {
            PaintTabLabels(dialog, added, measure);
            cached = {added.items, added.tabLabels};
        } else {
            added.tabLabels = cached.second;
        }
    }
    for (const auto& page : dialog.Pages()) {
        view.pages.push_back(CaptureView(*page, measure, cache));
    }
    return view;
}

}  // namespace tavlin::dialogs::gtk
