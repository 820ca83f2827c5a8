// A camera on a device number of its own (the claim table is machine-wide), with helpers that
// collect what a call recorded in the history and what it posted to the notification window.
#pragma once

#include <vector>

#include "integration/sdk_fixture.h"

namespace tavlin::test {

class OwnDeviceTest : public SdkTest {
  protected:
    static constexpr int32_t kDevice = 13;

    OwnDeviceTest() { openCamera_ = false; }

    void SetUp() override {
        SdkTest::SetUp();
        ASSERT_EQ(TavlinVcam_Attach(kDevice), 1);
        TavlinVcam_SetPacing(kDevice, TAVLIN_VCAM_PACING_FAST);
        Open();
        ASSERT_EQ(Tavlin_SetDeviceNumber(camera_, kDevice), 1);
        ASSERT_EQ(Tavlin_SetSubSample(camera_, 3), 1);
        ASSERT_EQ(Tavlin_SetWaitTime(camera_, 0), 1);
        ClearErrors();
    }

    // Error codes posted to the notification window since the last call, oldest first.
    std::vector<int32_t> Posted() {
        std::vector<int32_t> codes;
        TavlinMessage m;
        while (TavlinHost_PeekMessage(window_, &m)) {
            if (m.message == TAVLIN_MSG_ERROR) codes.push_back(int32_t(m.lParam));
        }
        return codes;
    }

    void DrainFrames() {
        TavlinMessage m;
        while (TavlinHost_PeekMessage(frames_, &m)) {
        }
    }
};

}  // namespace tavlin::test
