// The messages dialog procedures receive, with the notification codes they tell apart, and the
// drawing surface an owner-drawn item is painted on.
#pragma once

#include <cstdint>
#include <string>

namespace tavlin::dialogs {

enum class MessageId {
    InitDialog,  // once, after the controls exist and before the dialog is shown
    Command,     // controlId + code: a click, an edit change, a list selection change
    Notify,      // controlId + code: tab control notifications
    HScroll,     // controlId: a trackbar was moved; code says how
    DrawItem,    // controlId + draw: an owner-drawn item must be painted
    Close,       // the close box; unhandled it becomes a Cancel command
};

// Command ids of the standard buttons and the results EndDialog hands back.
inline constexpr int32_t kIdOk = 1;
inline constexpr int32_t kIdCancel = 2;

// Notification codes.
inline constexpr int32_t kButtonClicked = 0;
inline constexpr int32_t kListSelectionChanged = 1;
inline constexpr int32_t kEditChanged = 0x300;
inline constexpr int32_t kTabSelectionChanging = -552;
inline constexpr int32_t kTabSelectionChanged = -551;

// Trackbar scroll codes.
inline constexpr int32_t kScrollThumbPosition = 4;

// COLOR_BTNFACE of the classic theme, as 0x00BBGGRR.
inline constexpr uint32_t kButtonFaceColor = 0x00F0F0F0;

struct PixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

struct TextExtent {
    int32_t width = 0;
    int32_t height = 0;
};

// Where an owner-drawn item is painted. A presenter hands in its own surface; tests hand in a
// recording one.
class Canvas {
  public:
    virtual ~Canvas() = default;
    virtual void FillRect(const PixelRect& rect, uint32_t color) = 0;
    virtual void SetBackgroundColor(uint32_t color) = 0;
    virtual TextExtent MeasureText(const std::string& text) = 0;
    virtual void DrawText(int32_t x, int32_t y, const std::string& text) = 0;
};

struct DrawItemRequest {
    int32_t itemIndex = 0;  // the tab to paint
    PixelRect itemRect;
    Canvas* canvas = nullptr;
};

struct DialogMessage {
    MessageId id = MessageId::Command;
    int32_t controlId = 0;
    int32_t code = 0;
    intptr_t value = 0;
    DrawItemRequest* draw = nullptr;
};

}  // namespace tavlin::dialogs
