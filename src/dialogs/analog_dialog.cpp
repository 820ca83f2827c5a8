// The camera (analog) property sheet: one tab holding the analog page, OK, Cancel and Default.
#include "dialogs/analog_page.h"
#include "dialogs/dialog_session.h"
#include "dialogs/property_dialogs.h"
#include "dialogs/tab_label.h"
#include "tavlin/tavlin.h"

namespace tavlin::dialogs {

namespace {

constexpr int32_t kTabControl = 1001;
constexpr int32_t kDefaultButton = 3;
constexpr int32_t kPageX = 30;
constexpr int32_t kPageY = 25;

class AnalogSheet : public DialogProcedure {
  public:
    AnalogSheet(camera::DialogPort& camera, bool japanese)
        : camera_(camera), page_(camera), pageResource_(japanese ? 105 : 110) {}

    AnalogPage& Page() { return page_; }

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
                if (message.controlId == kTabControl && message.code == kTabSelectionChanged &&
                    sheet.Item(kTabControl)->Selection() == 0 && page_.Window() != nullptr) {
                    page_.Window()->Show(true);
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
        tabs->InsertItem(0, "Analog Gain");
        tabs->SetSelection(0);
        Dialog* page = sheet.CreatePage(*FindDialogTemplate(pageResource_), page_, kTabControl);
        page->MoveTo(kPageX, kPageY);
        page->Show(true);
    }

    bool Command(Dialog& sheet, int32_t id) {
        switch (id) {
            case kIdOk:
                page_.CommitEdits();
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

    // Gains and exposure to the sensor defaults; mirrors and automatic iris stay.
    void RestoreDefaults() {
        const camera::DialogPort::AnalogLimits limits = camera_.AnalogCapabilities();
        camera_.StoreGlobalGain(limits.globalGainDefault);
        // Written green 1, red, blue, green 2; the limits are kept in register order.
        camera_.StoreColourGain(camera::kGainRegisterGreen1, limits.colourGainDefault[0]);
        camera_.StoreColourGain(camera::kGainRegisterRed, limits.colourGainDefault[2]);
        camera_.StoreColourGain(camera::kGainRegisterBlue, limits.colourGainDefault[1]);
        camera_.StoreColourGain(camera::kGainRegisterGreen2, limits.colourGainDefault[3]);
        camera_.StoreExposure(limits.shutterDefault);
        page_.Refresh();
    }

    camera::DialogPort& camera_;
    AnalogPage page_;
    const int32_t pageResource_;
    const uint32_t faceColor_ = kButtonFaceColor;  // the sheet's tab label brush
};

}  // namespace

int32_t RunAnalogDialog(camera::DialogPort& camera, const ModalOptions& options) {
    if (!CheckDevice(camera)) return 0;
    const bool japanese = JapaneseDialogs();
    const std::shared_ptr<ModalRun> run = ModalRun::Create(options);
    AnalogSheet sheet(camera, japanese);
    AnalogPage& page = sheet.Page();
    DialogSession session(
        camera, run,
        {[&page](int32_t gain) { page.ShowValue(kGlobalGainEdit, gain); },
         [&page](int32_t lines) { page.ShowValue(kExposureEdit, lines); }, nullptr});
    if (!session.Attached()) {
        camera.Errors().Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    const settings::AnalogSettings saved = camera.ReadAnalogFromDevice();
    const int32_t savedBayerMode = camera.FilterSettingsCopy().bayerMode;

    const int32_t result = run->Execute(*FindDialogTemplate(japanese ? 104 : 111), sheet);
    if (result != kIdOk) {
        camera.RestoreAnalogSettings(saved);
        camera.UpdateFilterSettings(
            [savedBayerMode](settings::FilterSettings& f) { f.bayerMode = savedBayerMode; });
    }
    return 1;
}

}  // namespace tavlin::dialogs
