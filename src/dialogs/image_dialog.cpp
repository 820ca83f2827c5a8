// The image and gray filter sheet: the image filter page, and in the gray colour modes the gray
// filter page on a second tab; OK, Cancel and Default.
#include <optional>

#include "camera/color_mode.h"
#include "dialogs/dialog_session.h"
#include "dialogs/filter_pages.h"
#include "dialogs/property_dialogs.h"
#include "dialogs/tab_label.h"
#include "tavlin/tavlin.h"

namespace tavlin::dialogs {

namespace {

constexpr int32_t kTabControl = 1001;
constexpr int32_t kDefaultButton = 3;
constexpr int32_t kPageX = 30;
constexpr int32_t kPageY = 25;

struct SheetResources {
    int32_t sheet;
    int32_t imagePage;
    int32_t grayPage;
};

// Every stored value other than the two gray modes is treated as colour.
bool GrayColorMode(int32_t colorMode) {
    return camera::IsGrayMode(colorMode);
}

ImagePageFlags FlagsFor(int32_t colorMode) {
    ImagePageFlags flags;
    if (GrayColorMode(colorMode)) {
        // Brightness, contrast, sharpness and gamma only.
        flags.rows = {true, true, false, false, true, false, false, false, true};
        flags.whiteBalance = false;
    } else {
        flags.rows.fill(true);
        flags.whiteBalance = true;
    }
    return flags;
}

class ImageSheet : public DialogProcedure {
  public:
    ImageSheet(camera::DialogPort& camera, const SheetResources& resources, int32_t colorMode)
        : camera_(camera), resources_(resources), imagePage_(camera, FlagsFor(colorMode)) {
        if (GrayColorMode(colorMode)) grayPage_.emplace(camera);
    }

    // Mode 0: controls from the settings (after a measurement); mode 1: settings from the edits.
    void Refresh(RefreshMode mode) {
        imagePage_.Refresh(mode);
        if (grayPage_) grayPage_->Refresh(mode);
    }

    bool OnMessage(Dialog& sheet, const DialogMessage& message) override {
        switch (message.id) {
            case MessageId::InitDialog:
                Initialise(sheet);
                return true;
            case MessageId::DrawItem:
                if (message.controlId != kTabControl || message.draw == nullptr) return false;
                DrawTabLabel(sheet, kTabControl, *message.draw, faceColor_);
                return true;
            case MessageId::Notify:
                if (message.controlId == kTabControl && message.code == kTabSelectionChanged) {
                    ShowTab(sheet.Item(kTabControl)->Selection());
                }
                return true;
            case MessageId::Command:
                return Command(sheet, message.controlId);
            default:
                return false;
        }
    }

  private:
    void Initialise(Dialog& sheet) {
        Control* tabs = sheet.Item(kTabControl);
        tabs->InsertItem(0, "Image Filter");
        tabs->SetSelection(0);
        Dialog* image =
            sheet.CreatePage(*FindDialogTemplate(resources_.imagePage), imagePage_, kTabControl);
        image->MoveTo(kPageX, kPageY);
        image->Show(true);
        if (!grayPage_) return;
        tabs->InsertItem(1, "Gray Filter");
        Dialog* gray =
            sheet.CreatePage(*FindDialogTemplate(resources_.grayPage), *grayPage_, kTabControl);
        gray->MoveTo(kPageX, kPageY);
        gray->Show(false);
    }

    void ShowTab(int32_t selection) {
        if (selection != 0 && selection != 1) return;
        if (imagePage_.Window() != nullptr) imagePage_.Window()->Show(selection == 0);
        if (grayPage_ && grayPage_->Window() != nullptr) grayPage_->Window()->Show(selection == 1);
    }

    bool Command(Dialog& sheet, int32_t id) {
        switch (id) {
            case kIdOk:
                Refresh(RefreshMode::ToSettings);
                sheet.EndDialog(kIdOk);
                return true;
            case kIdCancel:
                sheet.EndDialog(kIdCancel);
                return true;
            case kDefaultButton:
                RestoreDefaults();
                return true;
            default:
                return false;
        }
    }

    // Neutral adjustments; gray mode and the automatic settings stay.
    void RestoreDefaults() {
        camera_.UpdateFilterSettings([](settings::FilterSettings& f) {
            f.brightness = 0;
            f.contrast = 0;
            f.hue = 0;
            f.saturation = 0;
            f.sharpness = 0;
            f.bayerGainR = 100;
            f.bayerGainG = 100;
            f.bayerGainB = 100;
            f.gamma = 100;
            f.bayerMode = 3;
        });
        imagePage_.Refresh(RefreshMode::FromSettings);
        if (!grayPage_) return;
        camera_.UpdateFilterSettings([](settings::FilterSettings& f) {
            f.gray.grayGainR = f.gray.grayGainG1 = f.gray.grayGainG2 = f.gray.grayGainB = 128;
            f.gray.grayOffsetR = f.gray.grayOffsetG1 = f.gray.grayOffsetG2 = f.gray.grayOffsetB = 0;
        });
        grayPage_->Refresh(RefreshMode::FromSettings);
    }

    camera::DialogPort& camera_;
    const SheetResources resources_;
    ImageFilterPage imagePage_;
    std::optional<GrayFilterPage> grayPage_;
    const uint32_t faceColor_ = kButtonFaceColor;  // the sheet's tab label brush
};

}  // namespace

int32_t RunImageDialog(camera::DialogPort& camera, const ModalOptions& options) {
    if (!CheckDevice(camera)) return 0;
    const bool japanese = JapaneseDialogs();
    const SheetResources resources =
        japanese ? SheetResources{102, 103, 113} : SheetResources{108, 107, 112};
    const std::shared_ptr<ModalRun> run = ModalRun::Create(options);
    ImageSheet sheet(camera, resources, camera.ColorModeIndex());
    DialogSession session(
        camera, run, {nullptr, nullptr, [&sheet] { sheet.Refresh(RefreshMode::FromSettings); }});
    if (!session.Attached()) {
        camera.Errors().Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    const settings::FilterSettings saved = camera.FilterSettingsCopy();
    const int32_t result = run->Execute(*FindDialogTemplate(resources.sheet), sheet);
    if (result != kIdOk) camera.RestoreFilterSettings(saved);
    return 1;
}

}  // namespace tavlin::dialogs
