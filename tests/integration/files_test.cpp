// Saving images and recording AVI files through the C ABI, read back by independent decoders.
#include <cstdio>
#include <fstream>
#include <thread>

#include "integration/sdk_fixture.h"

namespace tavlin::test {
namespace {

// Runs a shell command and returns its standard output; fails the test when it cannot run.
std::string RunTool(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run " << command;
        return output;
    }
    char chunk[512];
    while (fgets(chunk, sizeof(chunk), pipe) != nullptr) output += chunk;
    const int status = pclose(pipe);
    EXPECT_EQ(status, 0) << command << "\n" << output;
    return output;
}

class FilesTest : public SdkTest {
  protected:
    // A 320 x 256 colour image (1/4 sub-sampling) taken with a snapshot.
    void Snap(int32_t bits) {
        ASSERT_EQ(Tavlin_SetColorMode(camera_, bits), 1);
        ASSERT_EQ(Tavlin_SetSubSample(camera_, 2), 1);
        ASSERT_EQ(Tavlin_SnapShot(camera_, nullptr, 0, 1), 1);
    }
    std::string PathOf(const std::string& name) { return (home_ / name).string(); }
};

TEST_F(FilesTest, SavingNeedsAConvertedFrame) {
    EXPECT_EQ(Tavlin_SaveImage(camera_, PathOf("early.bmp").c_str(), 0), 0);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{1}));
    EXPECT_FALSE(std::filesystem::exists(PathOf("early.bmp")));
}

TEST_F(FilesTest, EveryFormatOpensInIndependentDecoders) {
    Snap(24);
    const std::pair<int, const char*> formats[] = {
        {0, "bmp"}, {1, "raw"}, {2, "jpg"}, {5, "png"}, {6, "tif"}};
    for (auto [format, extension] : formats) {
        const std::string path = PathOf(std::string("image.") + extension);
        ASSERT_EQ(Tavlin_SaveImage(camera_, path.c_str(), format), 1) << extension;
        if (format == 1) {
            EXPECT_EQ(std::filesystem::file_size(path), 320u * 3 * 256);
            continue;
        }
        EXPECT_NE(RunTool("identify -format '%w %h' " + path).find("320 256"), std::string::npos)
            << extension;
    }
    EXPECT_EQ(std::filesystem::file_size(PathOf("image.bmp")), 54u + 256 * 960);
    // SOF2: a progressive frame.
    EXPECT_NE(RunTool("djpeg -verbose -verbose -outfile /dev/null " + PathOf("image.jpg"))
                  .find("Start Of Frame 0xc2"),
              std::string::npos);
    RunTool("pngcheck " + PathOf("image.png"));
    RunTool("tiffinfo " + PathOf("image.tif"));
    // The BMP holds exactly what the application reads with Tavlin_GetImage (bottom-up rows).
    std::vector<uint8_t> image(960 * 256);
    ASSERT_EQ(Tavlin_GetImage(camera_, image.data(), int32_t(image.size()), 0), 1);
    std::ifstream bmp(PathOf("image.bmp"), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(bmp)), {});
    EXPECT_TRUE(std::equal(image.begin(), image.end(), bytes.begin() + 54));
}

TEST_F(FilesTest, UnknownFormatsAndBadNames) {
    Snap(8);
    EXPECT_EQ(Tavlin_SaveImage(camera_, PathOf("x.img").c_str(), 7), 0);
    EXPECT_EQ(Tavlin_SaveImage(camera_, PathOf("x.img").c_str(), -1), 0);
    EXPECT_FALSE(std::filesystem::exists(PathOf("x.img")));
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(Tavlin_SaveImage(camera_, home_.c_str(), 0), 0);  // a folder
    const char16_t lone[] = {u'a', 0xDC00, 0};
    EXPECT_EQ(Tavlin_SaveImageW(camera_, lone, 0), 0);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{1}));
    const std::u16string wide = (home_ / "k\u00e4fer.png").u16string();
    EXPECT_EQ(Tavlin_SaveImageW(camera_, wide.c_str(), 5), 1);
    EXPECT_TRUE(std::filesystem::exists(home_ / "k\u00e4fer.png"));
}

TEST_F(FilesTest, RecordingPlaysInFfprobe) {
    ASSERT_EQ(Tavlin_SetColorMode(camera_, 24), 1);
    ASSERT_EQ(Tavlin_SetSubSample(camera_, 3), 1);
    ASSERT_EQ(Tavlin_SetWaitTime(camera_, 5), 1);
    TavlinVcam_SetPacing(0, TAVLIN_VCAM_PACING_REAL_TIME);
    const std::string path = PathOf("clip.avi");
    ASSERT_EQ(Tavlin_Record(camera_, path.c_str(), 500, 0), 1);
    EXPECT_EQ(Tavlin_Record(camera_, path.c_str(), 500, 0), 0);  // one recording at a time
    EXPECT_EQ(Errors(), (std::vector<int32_t>{1}));
    // Finalised once a frame arrives after the duration.
    for (int i = 0; i < 100 && std::filesystem::file_size(path) <= 232; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(Tavlin_StopPreview(camera_), 1);
    const std::string probe = RunTool(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=width,height,nb_read_frames -of csv=p=0 " +
        path);
    int width = 0, height = 0, frames = 0;
    ASSERT_EQ(std::sscanf(probe.c_str(), "%d,%d,%d", &width, &height, &frames), 3) << probe;
    EXPECT_EQ(width, 160);
    EXPECT_EQ(height, 128);
    EXPECT_GT(frames, 1);
}

TEST_F(FilesTest, RecordRefusesBadNamesAndStopLeavesARemovableFile) {
    EXPECT_EQ(Tavlin_Record(camera_, nullptr, 100, 0), 0);
    EXPECT_EQ(Tavlin_Record(camera_, "", 100, 0), 0);
    const char16_t lone[] = {0xD800, 0};
    EXPECT_EQ(Tavlin_RecordW(camera_, lone, 100, 0), 0);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{12, 9, 9}));
    ASSERT_EQ(Tavlin_SetSubSample(camera_, 3), 1);
    const std::string path = PathOf("stopped.avi");
    ASSERT_EQ(Tavlin_Record(camera_, path.c_str(), 60000, 0), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Tavlin_Close(camera_), 1);
    EXPECT_GE(std::filesystem::file_size(path), 232u);
    EXPECT_TRUE(std::filesystem::remove(path));
    // A new recording can start afterwards.
    ASSERT_EQ(Tavlin_Record(camera_, PathOf("again.avi").c_str(), 100, 0), 1);
    EXPECT_EQ(Tavlin_StopPreview(camera_), 1);
}

}  // namespace
}  // namespace tavlin::test
