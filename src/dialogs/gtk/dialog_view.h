// A copy of what a dialog shows, taken on the dialog's thread and handed to the GTK thread, which
// never touches the engine's objects. Templates are compiled in and never change, so views point
// at them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/dialog.h"

namespace tavlin::dialogs::gtk {

// What a dialog procedure painted on an owner-drawn tab label, in the label's own pixels.
struct PaintOp {
    enum class Kind { Fill, Text } kind = Kind::Fill;
    PixelRect rect;      // Fill
    uint32_t color = 0;  // 0x00BBGGRR: fill colour, or the text's background
    int32_t x = 0;       // Text
    int32_t y = 0;
    std::string text;
};

struct TabLabelView {
    PixelRect rect;
    std::vector<PaintOp> ops;
};

struct ControlView {
    const ControlTemplate* source = nullptr;
    std::string text;
    bool enabled = true;
    bool checked = false;
    int32_t minimum = 0;
    int32_t maximum = 0;
    int32_t position = 0;
    int32_t ticFrequency = 1;
    int32_t buddy = kNoId;
    std::vector<std::string> items;
    int32_t selection = -1;
    std::vector<TabLabelView> tabLabels;  // owner-drawn tab controls only
};

struct DialogView {
    platform::WindowHandle handle = 0;
    const DialogTemplate* source = nullptr;
    bool visible = false;
    int32_t x = 0;  // pages: pixels inside the tab control they sit in
    int32_t y = 0;
    int32_t hostControlId = kNoId;
    std::vector<ControlView> controls;
    std::vector<DialogView> pages;
};

// Measures a text in the dialog's font, in pixels.
using TextMeasure = std::function<TextExtent(const std::string&)>;

// The size of an owner-drawn tab item holding the given labels (fixed tabs: all as wide as the
// widest).
PixelRect TabItemRect(const std::vector<std::string>& labels, const TextMeasure& measure);

// Tab labels painted before, by dialog handle and control id, with the entries they showed: a
// label is painted again (as Win32 repaints an invalidated item) only when its entries change.
using TabLabelCache = std::map<std::pair<platform::WindowHandle, int32_t>,
                               std::pair<std::vector<std::string>, std::vector<TabLabelView>>>;

// Copies the dialog and its pages. Owner-drawn tab labels are painted by the dialog's procedure
// (a DrawItem message per tab) onto a recording canvas.
DialogView CaptureView(Dialog& dialog, const TextMeasure& measure, TabLabelCache& cache);

}  // namespace tavlin::dialogs::gtk
