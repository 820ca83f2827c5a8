// The page of the camera property dialog: global gain, the four colour gains and exposure as
// trackbar + edit + up-down rows, automatic iris and mirror boxes, and the exposure in
// milliseconds. Every change goes to the camera at once.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "camera/dialog_port.h"
#include "dialogs/dialog.h"

namespace tavlin::dialogs {

inline constexpr int32_t kGlobalGainEdit = 1015;
inline constexpr int32_t kExposureEdit = 1027;

class AnalogPage : public DialogProcedure {
  public:
    explicit AnalogPage(camera::DialogPort& camera);

    bool OnMessage(Dialog& dialog, const DialogMessage& message) override;

    // The page window once created (null before).
    Dialog* Window() const { return window_; }
    // Shows a value in one of the page's edits, which applies it as a user's typing would.
    void ShowValue(int32_t editId, int32_t value);
    // Trackbars, then edits, from the settings (after Default).
    void Refresh();
    // Takes the values the edits hold into the settings (OK).
    void CommitEdits();

  private:
    enum class Target { GlobalGain, ColourGain, Exposure };
    struct Row {
        int32_t trackbar;
        int32_t edit;
        int32_t upDown;
        int32_t minimum;
        int32_t maximum;
        Target target;
        int32_t reg;  // colour gain register
    };

    void Initialise(Dialog& page);
    void EditChanged(Dialog& page, const Row& row);
    void ButtonClicked(Dialog& page, int32_t id);
    void ShowMilliseconds(Dialog& page);
    const Row* RowOfEdit(int32_t edit) const;
    const Row* RowOfTrackbar(int32_t trackbar) const;
    // The edit's number within the row's range; nothing while it holds no number.
    std::optional<int32_t> RowValue(const Dialog& page, const Row& row) const;
    int32_t Setting(const settings::AnalogSettings& analog, const Row& row) const;
    void Apply(const Row& row, int32_t value);

    camera::DialogPort& camera_;
    std::array<Row, 6> rows_;
    Dialog* window_ = nullptr;
    bool ready_ = false;
};

}  // namespace tavlin::dialogs
