// The camera unplugged while a property dialog is open over a running preview: the stream stops
// with 13, the dialog still closes, and once the camera is back the same handle streams.
#include "integration/dialog_fixture.h"
#include "integration/fault_fixture.h"

namespace tavlin::test {
namespace {

class FaultDialog : public DialogTest {
  protected:
    void StartStream() {
        frame_.assign(1280 * 1024 * 4, 0);
        ASSERT_EQ(Tavlin_CallBackPreview(camera_, frames_, frame_.data(),
                                         static_cast<int32_t>(frame_.size()), 1),
                  1);
    }

    bool Frames(int count) {
        int seen = 0;
        TavlinMessage m;
        while (seen < count && NextFrameMessage(m)) {
            if (m.message == TAVLIN_MSG_FRAME && m.wParam != 0) ++seen;
        }
        return seen == count;
    }

    bool StreamStops() {
        TavlinMessage m;
        while (NextFrameMessage(m, 8000)) {
            if (m.message == TAVLIN_MSG_FRAME && m.wParam == 0 &&
                m.lParam == TAVLIN_ERR_STREAM_STOPPED) {
                return true;
            }
        }
        return false;
    }

    void Replug() {
        TavlinVcam_Detach(kDevice);
        ASSERT_EQ(TavlinVcam_Attach(kDevice), 1);
        TavlinVcam_SetPacing(kDevice, TAVLIN_VCAM_PACING_FAST);
    }

    void ExpectRestart() {
        int32_t stopped = 0;
        EXPECT_TRUE(ReturnsWithin(kPrompt, [&] { return Tavlin_StopPreview(camera_); }, &stopped));
        EXPECT_FALSE(DeviceClaimed(kDevice));
        ClearErrors();
        TavlinMessage m;
        while (TavlinHost_PeekMessage(frames_, &m)) {
        }
        StartStream();
        EXPECT_TRUE(Frames(3));
        EXPECT_EQ(Tavlin_StopPreview(camera_), 1);
        EXPECT_EQ(Errors(), std::vector<int32_t>{});
    }

    std::vector<uint8_t> frame_;
};

TEST_F(FaultDialog, UnplugWhileTheCameraDialogIsOpen) {
    StartStream();
    ASSERT_TRUE(Frames(1));
    OpenDialog(&Tavlin_SetAnalogDlg);
    TavlinVcam_Detach(kDevice);
    EXPECT_TRUE(StreamStops());
    // The dialog answers and closes although its camera is gone.
    EXPECT_EQ(CloseWith(2), 1);
    Replug();
    ExpectRestart();
}

TEST_F(FaultDialog, UnplugWhileTheStreamFormatDialogIsOpenThenOk) {
    StartStream();
    ASSERT_TRUE(Frames(1));
    // The dialog holds the preview stopped while it is open and starts it again on OK, here on
    // a camera that is no longer there: that stream ends with 13.
    OpenDialog(&Tavlin_SetCameraDlg);
    TavlinVcam_Detach(kDevice);
    int32_t closed = -1;
    EXPECT_TRUE(ReturnsWithin(std::chrono::seconds(10), [&] { return CloseWith(1); }, &closed));
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(StreamStops());
    Replug();
    ExpectRestart();
}

}  // namespace
}  // namespace tavlin::test
