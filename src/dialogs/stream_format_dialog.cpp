// The stream format dialog: colour mode, size preset or custom size, sub-sampling, wait time and
// clock, edited in the stored settings of one camera number. Apply and OK save; the camera takes
// the saved format over only after OK.
#include "dialogs/dialog_session.h"
#include "dialogs/property_dialogs.h"
#include "dialogs/stream_format_texts.h"
#include "dialogs/tab_label.h"
#include "settings/preset_list.h"
#include "tavlin/tavlin.h"

namespace tavlin::dialogs {

namespace {

constexpr int32_t kTabControl = 1001;
constexpr int32_t kApplyButton = 1002;
constexpr int32_t kColorList = 1009;
constexpr int32_t kSizeList = 1010;
constexpr int32_t kSubSampleList = 1012;
constexpr int32_t kClockList = 1014;
constexpr int32_t kWaitTimeEdit = 1045;
// TH, TV, EH, EV, EHS, EVS.
constexpr int32_t kPresetEdits[] = {1039, 1040, 1041, 1042, 1043, 1044};
constexpr int32_t kSubSampleCodes = 4;

std::array<int32_t*, 6> PresetFields(settings::SizePreset& p) {
    return {&p.totalWidth, &p.totalHeight, &p.width, &p.height, &p.startX, &p.startY};
}

class StreamFormatDialog : public DialogProcedure {
  public:
    StreamFormatDialog(int32_t cameraNumber, bool japanese)
        : cameraNumber_(cameraNumber), texts_(StreamFormatTextsFor(japanese)) {}

    bool OnMessage(Dialog& dialog, const DialogMessage& message) override {
        switch (message.id) {
            case MessageId::InitDialog:
                Initialise(dialog);
                return true;
            case MessageId::DrawItem:
                if (message.controlId != kTabControl || message.draw == nullptr) return false;
                DrawTabLabel(dialog, kTabControl, *message.draw, faceColor_);
                return true;
            case MessageId::Command:
                return Command(dialog, message);
            default:
                return false;
        }
    }

  private:
    void Initialise(Dialog& dialog) {
        settings::LoadPresetList(cameraNumber_, list_);
        // A stored "Size" that names no preset shows the first preset (or the custom entry when
        // there is none), so nothing is read or saved through an index outside the table.
        if (list_.sizeIndex < 0 || list_.sizeIndex > list_.presetCount) {
            list_.sizeIndex = list_.presetCount > 0 ? 0 : list_.presetCount;
        }
        appliedSizeIndex_ = list_.sizeIndex;

        Control* tabs = dialog.Item(kTabControl);
        tabs->InsertItem(0, texts_.tabLabel);
        tabs->SetSelection(0);
        Fill(dialog, kColorList, texts_.colorModes);
        dialog.Item(kColorList)->SetSelection(list_.colorIndex);
        Fill(dialog, kSubSampleList, texts_.subSamples);
        const bool known = list_.subSampleIndex >= 0 && list_.subSampleIndex < kSubSampleCodes;
        dialog.Item(kSubSampleList)->SetSelection(known ? list_.subSampleIndex : 0);
        Fill(dialog, kClockList, texts_.clocks);
        dialog.Item(kClockList)->SetSelection(list_.clockIndex);

        Control* sizes = dialog.Item(kSizeList);
        for (int32_t i = 0; i < list_.presetCount; ++i) {
            const settings::SizePreset& p = list_.presets[static_cast<size_t>(i)];
            sizes->InsertItem(i, SizeEntry(p.width, p.height));
        }
        sizes->InsertItem(list_.presetCount, texts_.custom);
        sizes->SetSelection(list_.sizeIndex);

        ShowPreset(dialog, Preset(list_.sizeIndex));
        dialog.SetItemInt(kWaitTimeEdit, list_.waitTimeValue, false);
        dialog.EnableItem(kApplyButton, false);
    }

    template <size_t N>
    static void Fill(Dialog& dialog, int32_t id, const std::array<std::string, N>& entries) {
        Control* list = dialog.Item(id);
        for (size_t i = 0; i < N; ++i) list->InsertItem(static_cast<int32_t>(i), entries[i]);
    }

    // The preset an index shows; the custom entry (and anything past the table) shows defaults.
    settings::SizePreset Preset(int32_t index) const {
        if (index < 0 || index >= static_cast<int32_t>(list_.presets.size())) return {};
        return list_.presets[static_cast<size_t>(index)];
    }

    static void ShowPreset(Dialog& dialog, settings::SizePreset preset) {
        const auto fields = PresetFields(preset);
        for (size_t i = 0; i < fields.size(); ++i) {
            dialog.SetItemInt(kPresetEdits[i], *fields[i], false);
        }
    }

    static void ReadPreset(const Dialog& dialog, settings::SizePreset& preset) {
        const auto fields = PresetFields(preset);
        for (size_t i = 0; i < fields.size(); ++i) {
            // A field whose text is not a number keeps its value.
            if (const auto value = dialog.ItemInt(kPresetEdits[i], false)) *fields[i] = *value;
        }
    }

    bool Command(Dialog& dialog, const DialogMessage& message) {
        const int32_t id = message.controlId;
        if (message.code == kListSelectionChanged) {
            if (id == kSizeList) SizeChosen(dialog);
            dialog.EnableItem(kApplyButton, true);
            return true;
        }
        if (message.code == kEditChanged) {
            dialog.EnableItem(kApplyButton, true);
            return true;
        }
        if (message.code != kButtonClicked) return false;
        switch (id) {
            case kApplyButton:
                Collect(dialog);
                Save();
                return true;
            case kIdOk:
                Collect(dialog);
                Save();
                dialog.EndDialog(kIdOk);
                return true;
            case kIdCancel:
                dialog.EndDialog(kIdCancel);
                return true;
            default:
                return false;
        }
    }

    void SizeChosen(Dialog& dialog) {
        const int32_t selection = dialog.Item(kSizeList)->Selection();
        if (selection < 0) return;
        list_.sizeIndex = selection;
        // The custom entry keeps whatever the edits show.
        if (selection < list_.presetCount) ShowPreset(dialog, Preset(selection));
    }

    void Collect(Dialog& dialog) {
        auto take = [&dialog](int32_t listId, int32_t& field) {
            const int32_t selection = dialog.Item(listId)->Selection();
            if (selection >= 0) field = selection;  // no selection keeps the stored value
        };
        take(kColorList, list_.colorIndex);
        take(kSizeList, list_.sizeIndex);
        take(kSubSampleList, list_.subSampleIndex);
        take(kClockList, list_.clockIndex);
        if (const auto wait = dialog.ItemInt(kWaitTimeEdit, false)) list_.waitTimeValue = *wait;

        Control* sizes = dialog.Item(kSizeList);
        const int32_t capacity = static_cast<int32_t>(list_.presets.size());
        if (list_.sizeIndex == list_.presetCount && list_.presetCount < capacity) {
            // The custom size becomes a new preset, inserted before the custom entry.
            settings::SizePreset& added = list_.presets[static_cast<size_t>(list_.presetCount)];
            ReadPreset(dialog, added);
            sizes->InsertItem(list_.presetCount, SizeEntry(added.width, added.height));
            sizes->SetSelection(list_.presetCount);
            ++list_.presetCount;
        } else if (list_.sizeIndex >= list_.presetCount) {
            // The table is full: the custom size has no place to go, so the preset in use stays.
            list_.sizeIndex = appliedSizeIndex_;
            sizes->SetSelection(list_.sizeIndex);
            ShowPreset(dialog, Preset(list_.sizeIndex));
        } else {
            settings::SizePreset& edited = list_.presets[static_cast<size_t>(list_.sizeIndex)];
            ReadPreset(dialog, edited);
            sizes->DeleteItem(list_.sizeIndex);
            sizes->InsertItem(list_.sizeIndex, SizeEntry(edited.width, edited.height));
            sizes->SetSelection(list_.sizeIndex);
        }
        dialog.EnableItem(kApplyButton, false);
    }

    void Save() {
        settings::SavePresetList(cameraNumber_, list_);
        appliedSizeIndex_ = list_.sizeIndex;
    }

    const int32_t cameraNumber_;
    const StreamFormatTexts texts_;
    settings::PresetList list_;
    int32_t appliedSizeIndex_ = 0;                 // the "Size" stored now
    const uint32_t faceColor_ = kButtonFaceColor;  // the tab label brush
};

}  // namespace

int32_t RunStreamFormatDialog(camera::DialogPort& camera, const ModalOptions& options) {
    if (!CheckDevice(camera)) return 0;
    const std::shared_ptr<ModalRun> run = ModalRun::Create(options);
    DialogSession session(camera, run, {});
    if (!session.Attached()) {
        camera.Errors().Report(TAVLIN_ERR_NO_DEVICE);
        return 0;
    }
    const bool japanese = JapaneseDialogs();
    const int32_t mode = camera.AcquisitionMode();
    if (mode == 1 || mode == 2) {
        camera.StopPreview();
    } else if (mode == 3) {
        camera.PauseTriggerLoop(true);
    }

    StreamFormatDialog dialog(camera.DeviceObjectNumber(), japanese);
    const int32_t result = run->Execute(*FindDialogTemplate(japanese ? 101 : 106), dialog);
    if (result == kIdOk) camera.ReloadStreamFormat();

    if (mode == 1) {
        camera.StartPreview();
    } else if (mode == 2) {
        camera.Capture();
    } else if (mode == 3) {
        camera.PauseTriggerLoop(false);
    }
    return 1;
}

}  // namespace tavlin::dialogs
