#include "dialogs/tab_label.h"

namespace tavlin::dialogs {

namespace {

constexpr size_t kMaxLabelBytes = 255;

}  // namespace

void DrawTabLabel(Dialog& sheet, int32_t tabControlId, const DrawItemRequest& request,
                  uint32_t faceColor) {
    const Control* tabs = sheet.Item(tabControlId);
    if (tabs == nullptr || request.canvas == nullptr) return;
    const std::string* label = tabs->ItemText(request.itemIndex);
    const std::string text = label != nullptr ? label->substr(0, kMaxLabelBytes) : std::string();
    Canvas& canvas = *request.canvas;
    const PixelRect& r = request.itemRect;
    canvas.FillRect(r, faceColor);
    canvas.SetBackgroundColor(kButtonFaceColor);
    const TextExtent extent = canvas.MeasureText(text);
    const int32_t x = r.left + (r.right - r.left) / 2 - extent.width / 2;
    const int32_t y = r.top + (r.bottom - r.top) / 2 - extent.height / 2;
    canvas.DrawText(x, y, text);
}

}  // namespace tavlin::dialogs
