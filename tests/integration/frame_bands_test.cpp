// The camera's image stages in row bands through the C ABI: the same image whatever
// TAVLIN_WORKERS says, the helper threads made for the first large frame, and gone when the
// camera is released while it streams.
#include <dirent.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "integration/sdk_fixture.h"

namespace tavlin::test {
namespace {

// Threads of this process named as the camera names its band helpers.
int BandHelpers() {
    int count = 0;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return -1;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string name;
        if (std::getline(comm, name) && name == "tavlin-bands") ++count;
    }
    closedir(tasks);
    return count;
}

class FrameBandsTest : public SdkTest {
  protected:
    static constexpr int32_t kWidth = 1280;
    static constexpr int32_t kHeight = 1024;
    static constexpr int32_t kStride = kWidth * 3;

    void SetUp() override {
        const char* saved = getenv("TAVLIN_WORKERS");
        saved_ = saved != nullptr ? std::optional<std::string>(saved) : std::nullopt;
        SdkTest::SetUp();
    }
    void TearDown() override {
        SdkTest::TearDown();
        if (saved_) {
            setenv("TAVLIN_WORKERS", saved_->c_str(), 1);
        } else {
            unsetenv("TAVLIN_WORKERS");
        }
    }

    // Full-size colour 24 with every adjustment on, on one random raw frame replayed.
    void Configure() {
        std::vector<uint8_t> raw(size_t(kWidth) * kHeight);
        std::mt19937 random(1210);
        for (uint8_t& sample : raw) sample = static_cast<uint8_t>(random());
        ASSERT_EQ(TavlinVcam_SetRawFrames(0, raw.data(), 8, 1), 1);
        ASSERT_EQ(Tavlin_SetColorMode(camera_, 24), 1);
        ASSERT_EQ(Tavlin_SetSubSample(camera_, 0), 1);
        ASSERT_EQ(Tavlin_SetWaitTime(camera_, 0), 1);
        ASSERT_EQ(Tavlin_SetGamma(camera_, 150), 1);
        ASSERT_EQ(Tavlin_SetContrast(camera_, 30), 1);
        ASSERT_EQ(Tavlin_SetBrightness(camera_, 20), 1);
        ASSERT_EQ(Tavlin_SetSharpness(camera_, 10), 1);
        ASSERT_EQ(Tavlin_SetHue(camera_, 40), 1);
        ASSERT_EQ(Tavlin_SetSaturation(camera_, 30), 1);
    }

    std::vector<uint8_t> SnapWith(const char* workers) {
        if (camera_ != 0) {
            EXPECT_EQ(Tavlin_Release(camera_), 1);
        }
        camera_ = 0;
        setenv("TAVLIN_WORKERS", workers, 1);
        Open();
        Configure();
        std::vector<uint8_t> image(size_t(kStride) * kHeight, 0);
        EXPECT_EQ(Tavlin_Capture(camera_), 1);
        EXPECT_EQ(Tavlin_SnapShot(camera_, image.data(), int32_t(image.size()), 1), 1);
        EXPECT_EQ(BandHelpers(), std::atoi(workers) - 1);  // the frame did run in bands
        EXPECT_EQ(Tavlin_StopPreview(camera_), 1);
        return image;
    }

    std::optional<std::string> saved_;
};

TEST_F(FrameBandsTest, TheImageIsTheSameWhateverTheWorkers) {
    const std::vector<uint8_t> single = SnapWith("1");
    for (const char* workers : {"2", "3"}) {
        const std::vector<uint8_t> banded = SnapWith(workers);
        ASSERT_TRUE(banded == single) << workers << " workers";
    }
    EXPECT_TRUE(Errors().empty());
}

TEST_F(FrameBandsTest, HelpersComeWithTheFirstLargeFrameAndGoOnReleaseWhileStreaming) {
    setenv("TAVLIN_WORKERS", "3", 1);
    Configure();
    EXPECT_EQ(BandHelpers(), 0);
    std::vector<uint8_t> image(size_t(kStride) * kHeight, 0);
    ASSERT_EQ(Tavlin_CallBackPreview(camera_, frames_, image.data(), int32_t(image.size()), 1), 1);
    int delivered = 0;
    TavlinMessage m;
    while (delivered < 5 && NextFrameMessage(m, 20000)) {
        if (m.message == TAVLIN_MSG_FRAME && m.wParam != 0) ++delivered;
    }
    ASSERT_EQ(delivered, 5);
    EXPECT_EQ(BandHelpers(), 2);  // made once, kept between frames
    // Released while frames still come: the acquiring thread and then the helpers are joined.
    EXPECT_EQ(Tavlin_Release(camera_), 1);
    camera_ = 0;
    EXPECT_EQ(BandHelpers(), 0);
}

}  // namespace
}  // namespace tavlin::test
