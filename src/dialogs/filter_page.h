// What the image filter page and the gray filter page share: rows of trackbar + edit + up-down
// bound to one filter setting each, stored as typed (no range limit), and the refresh in both
// directions.
#pragma once

#include <cstdint>
#include <vector>

#include "camera/dialog_port.h"
#include "dialogs/dialog.h"

namespace tavlin::dialogs {

inline constexpr int32_t kOnceButton = 2074;
inline constexpr int32_t kAllFramesBox = 1035;
inline constexpr int32_t kFirstBayerRadio = 1030;

enum class RefreshMode {
    FromSettings = 0,  // controls show the settings
    ToSettings = 1,    // settings take what the edits hold
};

class FilterPage : public DialogProcedure {
  public:
    using Field = int32_t& (*)(settings::FilterSettings&);
    struct Row {
        int32_t trackbar;
        int32_t edit;
        int32_t upDown;
        int32_t minimum;
        int32_t maximum;
        int32_t ticFrequency;
        Field field;
        bool enabled;
    };

    FilterPage(camera::DialogPort& camera, std::vector<Row> rows);

    bool OnMessage(Dialog& page, const DialogMessage& message) override;
    Dialog* Window() const { return window_; }
    virtual void Refresh(RefreshMode mode);

  protected:
    // The page's own controls: initialisation after the rows, and its buttons.
    virtual void InitialiseButtons(Dialog& page, const settings::FilterSettings& current) = 0;
    virtual void ButtonClicked(Dialog& page, int32_t id) = 0;

    void Update(const std::function<void(settings::FilterSettings&)>& change);
    settings::FilterSettings Current() const { return camera_.FilterSettingsCopy(); }
    // Checks the radio button of value among count buttons from first (none outside 0..count-1).
    static void CheckRadio(Dialog& page, int32_t first, int32_t count, int32_t value);

    camera::DialogPort& camera_;

  private:
    void Initialise(Dialog& page);
    void EditChanged(Dialog& page, const Row& row);
    void Scrolled(Dialog& page, const Row& row);
    const Row* RowOf(int32_t id) const;

    std::vector<Row> rows_;
    Dialog* window_ = nullptr;
    bool ready_ = false;
    // While the controls are set from the settings their change notifications store nothing:
    // the values came from the settings, and a measurement stored meanwhile must not be undone.
    bool refreshing_ = false;
};

}  // namespace tavlin::dialogs
