// Automation against what does not exist or cannot be done, dialogs for two cameras at once, a
// second dialog for one camera, and a dialog nobody answers.
#include <chrono>
#include <thread>

#include "integration/dialog_fixture.h"

namespace tavlin::test {
namespace {

class DialogAutomationTest : public DialogTest {};

TEST_F(DialogAutomationTest, CallsOnMissingDialogsAndItemsFail) {
    const TAVLIN_HWND nothing = reinterpret_cast<TAVLIN_HWND>(uintptr_t{0x7777});
    int32_t value = 0;
    char text[16];
    EXPECT_EQ(TavlinHost_DialogClick(nullptr, 1), 0);
    EXPECT_EQ(TavlinHost_DialogClick(nothing, 1), 0);
    EXPECT_EQ(TavlinHost_DialogClick(window_, 1), 0);  // a message window is not a dialog
    EXPECT_EQ(TavlinHost_DialogGetItemText(nothing, 1, text, sizeof text), -1);
    EXPECT_EQ(TavlinHost_DialogIsVisible(nothing), -1);
    EXPECT_EQ(TavlinHost_FindCameraDialog(camera_, 0), nullptr);
    EXPECT_EQ(Tavlin_SetAnalogDlg(camera_ + 12345, nullptr), 0);  // unknown camera handle

    OpenDialog(Tavlin_SetAnalogDlg);
    EXPECT_EQ(TavlinHost_DialogClick(dialog_, 4242), 0);
    EXPECT_EQ(TavlinHost_DialogGetItemText(dialog_, 4242, text, sizeof text), -1);
    EXPECT_EQ(TavlinHost_DialogGetItemValue(dialog_, 4242, &value), 0);
    EXPECT_EQ(TavlinHost_DialogIsItemChecked(dialog_, 4242), -1);
    EXPECT_EQ(TavlinHost_DialogIsItemEnabled(dialog_, 4242), -1);
    EXPECT_EQ(TavlinHost_DialogGetEntryCount(dialog_, 1015), -1);    // an edit has no entries
    EXPECT_EQ(TavlinHost_DialogSetItemText(dialog_, 1013, "5"), 0);  // a trackbar
    EXPECT_EQ(TavlinHost_DialogSetItemText(dialog_, 1015, nullptr), 0);
    EXPECT_EQ(TavlinHost_DialogMoveTrackbar(dialog_, 1015, 5), 0);  // an edit
    EXPECT_EQ(TavlinHost_DialogSelectEntry(dialog_, 1001, 1), 0);   // one tab only
    EXPECT_EQ(TavlinHost_DialogSpin(dialog_, 1013, 1), 0);
    EXPECT_EQ(TavlinHost_DialogGetItemValue(dialog_, 1015, nullptr), 0);
    EXPECT_EQ(Text(1015), "14");  // nothing changed on the way
    EXPECT_EQ(Tavlin_GetGlobalGain(camera_, nullptr), 14);

    const TAVLIN_HWND sheet = dialog_;
    EXPECT_EQ(CloseWith(2), 1);
    EXPECT_EQ(TavlinHost_DialogClick(sheet, 1), 0);  // closed dialogs answer nothing
    EXPECT_EQ(TavlinHost_DialogIsVisible(sheet), -1);
    EXPECT_EQ(TavlinHost_IsWindow(sheet), 0);
}

TEST_F(DialogAutomationTest, ASecondDialogForTheSameCameraIsRefused) {
    OpenDialog(Tavlin_SetImageDlg);
    EXPECT_EQ(Tavlin_SetAnalogDlg(camera_, nullptr), 0);
    EXPECT_EQ(Tavlin_SetCameraDlg(camera_, nullptr), 0);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{1, 1}));
    EXPECT_EQ(TavlinHost_FindCameraDialog(camera_, 0), dialog_);
    EXPECT_EQ(CloseWith(1), 1);
    // Once closed, the camera takes a dialog again.
    OpenDialog(Tavlin_SetAnalogDlg);
    EXPECT_EQ(CloseWith(1), 1);
}

TEST_F(DialogAutomationTest, DialogsForTwoCamerasRunOnTwoThreadsAtOnce) {
    constexpr int32_t kOther = 10;
    ASSERT_EQ(TavlinVcam_Attach(kOther), 1);
    const int32_t other = Tavlin_Initialize(window_);
    ASSERT_NE(other, 0);
    ASSERT_EQ(Tavlin_SetDeviceNumber(other, kOther), 1);

    OpenDialog(Tavlin_SetAnalogDlg);
    int64_t otherThread = 0;
    std::atomic<int32_t> otherResult{-1};
    std::thread second([&] {
        otherThread = TavlinHost_CurrentThreadId();
        otherResult = Tavlin_SetAnalogDlg(other, nullptr);
    });
    const TAVLIN_HWND otherDialog = TavlinHost_FindCameraDialog(other, 5000);
    ASSERT_NE(otherDialog, nullptr);
    EXPECT_NE(otherDialog, dialog_);
    EXPECT_EQ(TavlinHost_FindThreadDialog(otherThread, 0), otherDialog);

    ASSERT_TRUE(Type(1015, "30"));
    ASSERT_EQ(TavlinHost_DialogSetItemText(otherDialog, 1015, "40"), 1);
    uint16_t reg = 0;
    ASSERT_EQ(TavlinVcam_ReadSensorRegister(kOther, 53, &reg), 1);
    EXPECT_EQ(reg, 40);
    EXPECT_EQ(SensorRegister(53), 30);

    EXPECT_EQ(TavlinHost_DialogClick(otherDialog, 2), 1);  // the other one cancels
    second.join();
    EXPECT_EQ(otherResult.load(), 1);
    EXPECT_EQ(CloseWith(1), 1);
    EXPECT_EQ(Tavlin_GetGlobalGain(camera_, nullptr), 30);
    EXPECT_EQ(Tavlin_GetGlobalGain(other, nullptr), 14);
    EXPECT_EQ(Tavlin_Release(other), 1);
}

TEST_F(DialogAutomationTest, ADialogNobodyAnswersIsCancelledAfterTheIdleTimeOut) {
    const int32_t previous = TavlinHost_SetDialogIdleTimeout(300);
    OpenDialog(Tavlin_SetAnalogDlg);
    ASSERT_TRUE(Type(1015, "33"));
    EXPECT_EQ(Tavlin_GetGlobalGain(camera_, nullptr), 33);
    // Each call counts as an answer, so the dialog stays while it is being driven.
    for (int i = 0; i < 4; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        ASSERT_EQ(TavlinHost_DialogIsVisible(dialog_), 1);
    }
    EXPECT_EQ(Finish(), 1);  // then it ends on its own, as with the close box
    EXPECT_EQ(Tavlin_GetGlobalGain(camera_, nullptr), 14);
    EXPECT_EQ(TavlinHost_SetDialogIdleTimeout(previous), 300);
}

}  // namespace
}  // namespace tavlin::test
