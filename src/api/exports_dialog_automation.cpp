// The host interface's dialog automation: finding open dialogs and driving their controls.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "api/export_frame.h"
#include "dialogs/automation.h"
#include "dialogs/modal_run.h"
#include "tavlin/tavlin_host.h"

using tavlin::api::ToHandle;
using tavlin::api::ToHwnd;
namespace automation = tavlin::dialogs::automation;

namespace {

// Copies what fits without cutting a UTF-8 sequence; returns the whole length.
int32_t CopyText(const std::string& text, char* buffer, int32_t size) {
    if (buffer != nullptr && size > 0) {
        size_t count = std::min(text.size(), static_cast<size_t>(size) - 1);
        // Step back over continuation bytes of a character that does not fit whole.
        if (count < text.size()) {
            while (count > 0 && (static_cast<unsigned char>(text[count]) & 0xC0) == 0x80) --count;
        }
        std::memcpy(buffer, text.data(), count);
        buffer[count] = '\0';
    }
    return static_cast<int32_t>(text.size());
}

// Runs a call that may allocate; nothing unwinds into C.
template <typename Result, typename Call>
Result Guarded(Result failed, Call&& call) noexcept {
    try {
        return call();
    } catch (...) {
        return failed;
    }
}

}  // namespace

extern "C" {

int64_t TavlinHost_CurrentThreadId(void) {
    return static_cast<int64_t>(::gettid());
}

TAVLIN_HWND TavlinHost_FindCameraDialog(int32_t camera, int32_t timeoutMs) {
    return Guarded<TAVLIN_HWND>(
        nullptr, [&] { return ToHwnd(automation::FindCameraDialog(camera, timeoutMs)); });
}

TAVLIN_HWND TavlinHost_FindThreadDialog(int64_t threadId, int32_t timeoutMs) {
    return Guarded<TAVLIN_HWND>(
        nullptr, [&] { return ToHwnd(automation::FindThreadDialog(threadId, timeoutMs)); });
}

TAVLIN_HWND TavlinHost_DialogPage(TAVLIN_HWND dialog, int32_t index) {
    return Guarded<TAVLIN_HWND>(nullptr,
                                [&] { return ToHwnd(automation::Page(ToHandle(dialog), index)); });
}

int32_t TavlinHost_DialogIsVisible(TAVLIN_HWND dialog) {
    return Guarded(-1, [&] { return automation::Visible(ToHandle(dialog)); });
}

int32_t TavlinHost_DialogGetResourceId(TAVLIN_HWND dialog) {
    return Guarded(-1, [&] {
        int32_t id = -1;
        return automation::ResourceId(ToHandle(dialog), id) ? id : -1;
    });
}

int32_t TavlinHost_DialogGetTitle(TAVLIN_HWND dialog, char* buffer, int32_t size) {
    return Guarded(-1, [&] {
        std::string title;
        return automation::Title(ToHandle(dialog), title) ? CopyText(title, buffer, size) : -1;
    });
}

int32_t TavlinHost_DialogGetItemText(TAVLIN_HWND dialog, int32_t id, char* buffer, int32_t size) {
    return Guarded(-1, [&] {
        std::string text;
        return automation::ItemText(ToHandle(dialog), id, text) ? CopyText(text, buffer, size) : -1;
    });
}

int32_t TavlinHost_DialogGetEntryCount(TAVLIN_HWND dialog, int32_t id) {
    return Guarded(-1, [&] { return automation::ItemCount(ToHandle(dialog), id); });
}

int32_t TavlinHost_DialogGetEntryText(TAVLIN_HWND dialog, int32_t id, int32_t index, char* buffer,
                                      int32_t size) {
    return Guarded(-1, [&] {
        std::string text;
        return automation::ItemEntry(ToHandle(dialog), id, index, text)
                   ? CopyText(text, buffer, size)
                   : -1;
    });
}

int32_t TavlinHost_DialogGetItemValue(TAVLIN_HWND dialog, int32_t id, int32_t* value) {
    if (value == nullptr) return 0;
    return Guarded(0, [&] { return automation::ItemValue(ToHandle(dialog), id, *value) ? 1 : 0; });
}

int32_t TavlinHost_DialogIsItemChecked(TAVLIN_HWND dialog, int32_t id) {
    return Guarded(-1, [&] { return automation::ItemChecked(ToHandle(dialog), id); });
}

int32_t TavlinHost_DialogIsItemEnabled(TAVLIN_HWND dialog, int32_t id) {
    return Guarded(-1, [&] { return automation::ItemEnabled(ToHandle(dialog), id); });
}

int32_t TavlinHost_DialogGetItemRange(TAVLIN_HWND dialog, int32_t id, int32_t* minimum,
                                      int32_t* maximum) {
    return Guarded(0, [&] {
        int32_t low = 0;
        int32_t high = 0;
        if (!automation::ItemRange(ToHandle(dialog), id, low, high)) return 0;
        if (minimum != nullptr) *minimum = low;
        if (maximum != nullptr) *maximum = high;
        return 1;
    });
}

int32_t TavlinHost_DialogSetItemText(TAVLIN_HWND dialog, int32_t id, const char* text) {
    if (text == nullptr) return 0;
    return Guarded(0, [&] { return automation::SetItemText(ToHandle(dialog), id, text) ? 1 : 0; });
}

int32_t TavlinHost_DialogMoveTrackbar(TAVLIN_HWND dialog, int32_t id, int32_t position) {
    return Guarded(
        0, [&] { return automation::MoveTrackbar(ToHandle(dialog), id, position) ? 1 : 0; });
}

int32_t TavlinHost_DialogClick(TAVLIN_HWND dialog, int32_t id) {
    return Guarded(0, [&] { return automation::Click(ToHandle(dialog), id) ? 1 : 0; });
}

int32_t TavlinHost_DialogSelectEntry(TAVLIN_HWND dialog, int32_t id, int32_t index) {
    return Guarded(0, [&] { return automation::SelectEntry(ToHandle(dialog), id, index) ? 1 : 0; });
}

int32_t TavlinHost_DialogSpin(TAVLIN_HWND dialog, int32_t id, int32_t steps) {
    return Guarded(0, [&] { return automation::Spin(ToHandle(dialog), id, steps) ? 1 : 0; });
}

int32_t TavlinHost_DialogClose(TAVLIN_HWND dialog) {
    return Guarded(0, [&] { return automation::Close(ToHandle(dialog)) ? 1 : 0; });
}

int32_t TavlinHost_SetDialogIdleTimeout(int32_t milliseconds) {
    return tavlin::dialogs::SetIdleTimeout(milliseconds);
}

}  // extern "C"
