// Saving images and recording AVI files through the C ABI, read back by independent decoders.
#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <thread>

#include "integration/sdk_fixture.h"
#include "platform/clock.h"
#include "support/child_process.h"

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

uint32_t Le32At(const std::string& path, std::streamoff offset) {
    std::ifstream in(path, std::ios::binary);
    uint8_t b[4] = {};
    in.seekg(offset);
    in.read(reinterpret_cast<char*>(b), 4);
    return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

// Frames ffprobe decodes from an AVI file.
int DecodedFrames(const std::string& path) {
    const std::string probe = RunTool(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames "
        "-of csv=p=0 " +
        path);
    return std::atoi(probe.c_str());
}

// True once an AVI file holds its index and the sizes that include it.
bool Finalised(const std::string& path) {
    const uint64_t frames = Le32At(path, 48);
    const uint64_t chunk = Le32At(path, 60);  // suggested buffer size: a frame chunk
    const uint64_t size = std::filesystem::file_size(path);
    return frames > 0 && size == Le32At(path, 4) + 8 && size == 232 + frames * (chunk + 16) + 8;
}

// Waits up to 4 s for an AVI file to be finalised.
void WaitFinalised(const std::string& path) {
    for (int i = 0; i < 200; ++i) {
        if (Finalised(path)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ADD_FAILURE() << path << " was not finalised";
}

// The soft file size limit of this process for the life of the object.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        const rlimit limit{bytes, saved_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

  private:
    rlimit saved_{};
};

class FilesTest : public TransportTest {
  protected:
    // A 320 x 256 colour image (1/4 sub-sampling) taken with a snapshot.
    void Snap(int32_t bits) {
        ASSERT_EQ(Tavlin_SetColorMode(camera_, bits), 1);
        ASSERT_EQ(Tavlin_SetSubSample(camera_, 2), 1);
        ASSERT_EQ(Tavlin_SnapShot(camera_, nullptr, 0, 1), 1);
    }
    std::string PathOf(const std::string& name) { return (home_ / name).string(); }
};

TEST_P(FilesTest, SavingNeedsAConvertedFrame) {
    EXPECT_EQ(Tavlin_SaveImage(camera_, PathOf("early.bmp").c_str(), 0), 0);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{1}));
    EXPECT_FALSE(std::filesystem::exists(PathOf("early.bmp")));
}

TEST_P(FilesTest, EveryFormatOpensInIndependentDecoders) {
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

TEST_P(FilesTest, UnknownFormatsAndBadNames) {
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

TEST_P(FilesTest, RecordingPlaysInFfprobe) {
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

TEST_P(FilesTest, RecordRefusesBadNamesAndStopLeavesARemovableFile) {
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

TEST_P(FilesTest, NamesThatCannotBeFilesFailAndTheCameraGoesOn) {
    Snap(8);
    const std::string tooLong = PathOf(std::string(300, 'n') + ".bmp");  // beyond NAME_MAX
    std::string deep = PathOf("deep");                                   // beyond PATH_MAX
    while (deep.size() <= 4200) deep += "/abcdefghij";
    for (int format = 0; format <= 6; ++format) {
        EXPECT_EQ(Tavlin_SaveImage(camera_, tooLong.c_str(), format), 0) << format;
        EXPECT_EQ(Tavlin_SaveImage(camera_, (deep + "/x").c_str(), format), 0) << format;
        EXPECT_EQ(Tavlin_SaveImage(camera_, PathOf("no/such/x").c_str(), format), 0) << format;
    }
    EXPECT_TRUE(Errors().empty()) << "failures inside the writer record no error";
    // Wide names: a lone high surrogate, and one whose UTF-8 form needs more than 1023 bytes.
    const char16_t lone[] = {u'a', 0xD800, 0};
    const std::u16string huge(350, u'\u8a9e');
    EXPECT_EQ(Tavlin_SaveImageW(camera_, lone, 0), 0);
    EXPECT_EQ(Tavlin_SaveImageW(camera_, huge.c_str(), 0), 0);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{1, 1}));
    // Narrow names are bytes: one that is not UTF-8 names a file all the same.
    const std::string latin1 = PathOf("caf\xe9.bmp");
    EXPECT_EQ(Tavlin_SaveImage(camera_, latin1.c_str(), 0), 1);
    EXPECT_TRUE(std::filesystem::exists(latin1));
    // Recording to names that cannot be created: error 12, and the camera records afterwards.
    EXPECT_EQ(Tavlin_Record(camera_, home_.c_str(), 100, 0), 0);
    EXPECT_EQ(Tavlin_Record(camera_, (deep + "/x.avi").c_str(), 100, 0), 0);
    EXPECT_EQ(Tavlin_RecordW(camera_, huge.c_str(), 100, 0), 0);
    EXPECT_EQ(Errors(), (std::vector<int32_t>{12, 12, 12}));
    ASSERT_EQ(Tavlin_SnapShot(camera_, nullptr, 0, 1), 1);
    EXPECT_EQ(Tavlin_SaveImage(camera_, PathOf("after.png").c_str(), 5), 1);
}

// The file size limit stands in for a full disk. Its signal keeps its default action here: had
// the SDK let it through, it would have ended this test program.
TEST_P(FilesTest, FullDiskFailsSavesAndEndsTheRecordingWhileThePreviewGoesOn) {
    ASSERT_EQ(Tavlin_SetColorMode(camera_, 24), 1);
    ASSERT_EQ(Tavlin_SetSubSample(camera_, 3), 1);  // 160 x 128: frame chunks of 61448 bytes
    ASSERT_EQ(Tavlin_SetWaitTime(camera_, 5), 1);
    TavlinVcam_SetPacing(0, TAVLIN_VCAM_PACING_REAL_TIME);
    ASSERT_EQ(Tavlin_SnapShot(camera_, nullptr, 0, 1), 1);
    const std::string clip = PathOf("full.avi");
    {
        const FileSizeLimit limit(232 + 2 * 61448 + 1000);
        for (int format : {0, 1, 6}) {
            EXPECT_EQ(
                Tavlin_SaveImage(camera_, PathOf("big" + std::to_string(format)).c_str(), format),
                1)
                << "fits: " << format;
        }
        const FileSizeLimit tiny(1000);
        for (int format = 0; format <= 6; ++format) {
            const std::string path = PathOf("full" + std::to_string(format));
            const int32_t saved = Tavlin_SaveImage(camera_, path.c_str(), format);
            // A small JPEG or PNG may fit; whatever does not must fail.
            if (format <= 2 || format == 6) {
                EXPECT_EQ(saved, 0) << format;
            }
            if (saved == 1) {
                EXPECT_LT(std::filesystem::file_size(path), 1000u) << format;
            }
        }
    }
    {
        const FileSizeLimit limit(232 + 2 * 61448 + 1000);
        ASSERT_EQ(Tavlin_Record(camera_, clip.c_str(), 60000, 0), 1);
        // The third frame does not fit: the recording is finalised with two.
        WaitFinalised(clip);
    }
    EXPECT_EQ(Le32At(clip, 48), 2u);
    EXPECT_EQ(DecodedFrames(clip), 2);
    // The preview never stopped: a new recording gets frames at once.
    const std::string again = PathOf("again.avi");
    ASSERT_EQ(Tavlin_Record(camera_, again.c_str(), 200, 0), 1);
    WaitFinalised(again);
    EXPECT_GT(DecodedFrames(again), 1);
    EXPECT_EQ(Tavlin_StopPreview(camera_), 1);
    EXPECT_TRUE(Errors().empty());
}

// A recording whose process is killed keeps what its last header update stated: a file that
// plays (and decodes without error) at least up to that frame; players that read on find the
// whole frames written after it too.
TEST_P(FilesTest, KilledRecordingPlaysUpToItsLastHeaderUpdate) {
    // The recording process plugs in a camera of its own; the emulated bus serves only this one.
    if (Reach() == Transport::kUsb) GTEST_SKIP() << "the recording child runs in-process only";
    ASSERT_EQ(Tavlin_Release(camera_), 1);  // the recording process needs the camera
    camera_ = 0;
    const std::string clip = PathOf("killed.avi");
    ChildProcess child;
    ASSERT_TRUE(child.Start("record_child", {clip}));
    const std::string line = child.ReadLine();
    ASSERT_EQ(line.rfind("recording ", 0), 0u) << line;
    // Killed while frames keep coming, most likely in the middle of one.
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    child.Kill();
    EXPECT_EQ(child.Wait(), -1);

    const uint32_t frames = Le32At(clip, 48);
    const uint32_t chunk = 8 + 160 * 128 * 3;
    EXPECT_GE(frames, 2u);
    EXPECT_EQ(Le32At(clip, 140), frames);
    EXPECT_EQ(Le32At(clip, 224), 4 + frames * chunk);
    EXPECT_EQ(Le32At(clip, 4), 224 + frames * chunk);
    EXPECT_GE(std::filesystem::file_size(clip), 232 + uint64_t{frames} * chunk);
    EXPECT_GE(DecodedFrames(clip), static_cast<int>(frames));
    EXPECT_EQ(RunTool("ffmpeg -v error -i " + clip + " -f null -"), "") << "decoding errors";
    EXPECT_TRUE(std::filesystem::remove(clip));
}

// The millisecond tick count wraps every 49.7 days of uptime, and cameras on production lines
// run that long: each case starts the count just before (or just after) the wrap.
class TickWrapTest : public FilesTest {
  protected:
    void TearDown() override {
        FilesTest::TearDown();
        platform::StartTicksAt(static_cast<uint32_t>(platform::MonotonicNs() / 1000000));
    }
    void UseRealTimeFrames() {
        ASSERT_EQ(Tavlin_SetColorMode(camera_, 24), 1);
        ASSERT_EQ(Tavlin_SetSubSample(camera_, 3), 1);
        ASSERT_EQ(Tavlin_SetWaitTime(camera_, 5), 1);
        TavlinVcam_SetPacing(0, TAVLIN_VCAM_PACING_REAL_TIME);
    }
};

TEST_P(TickWrapTest, RecordingThatStartsBeforeTheWrapLastsItsDuration) {
    UseRealTimeFrames();
    const std::string path = PathOf("wrap.avi");
    platform::StartTicksAt(0xFFFFFFFFu - 100);
    const auto called = std::chrono::steady_clock::now();
    ASSERT_EQ(Tavlin_Record(camera_, path.c_str(), 800, 0), 1);
    // Finalised only by the first frame more than 800 ms after the first recorded one.
    for (int i = 0; i < 500 && !Finalised(path); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const auto finalised = std::chrono::steady_clock::now();
    ASSERT_TRUE(Finalised(path));
    EXPECT_GE(finalised - called, std::chrono::milliseconds(800));
    EXPECT_GT(Le32At(path, 48), 2u);
    EXPECT_EQ(DecodedFrames(path), static_cast<int>(Le32At(path, 48)));
    EXPECT_EQ(Tavlin_StopPreview(camera_), 1);
}

TEST_P(TickWrapTest, NegativeDurationJustAfterTheWrapKeepsOneFrame) {
    UseRealTimeFrames();
    const std::string path = PathOf("negative.avi");
    platform::StartTicksAt(1);
    ASSERT_EQ(Tavlin_Record(camera_, path.c_str(), -5000, 0), 1);
    WaitFinalised(path);
    EXPECT_EQ(Le32At(path, 48), 1u);
    EXPECT_EQ(Tavlin_StopPreview(camera_), 1);
}

TEST_P(TickWrapTest, FrameRateIsMeasuredAcrossTheWrap) {
    UseRealTimeFrames();
    std::vector<uint8_t> image(160 * 3 * 128);
    platform::StartTicksAt(0xFFFFFFFFu - 300);
    ASSERT_EQ(Tavlin_CallBackPreview(camera_, frames_, image.data(), int32_t(image.size()), 1), 1);
    // Rates are computed over a second or more: read on until two have been, both after the wrap.
    int32_t rate = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2600);
    TavlinMessage m;
    while (std::chrono::steady_clock::now() < until && TavlinHost_GetMessage(frames_, &m, 1000)) {
        if (m.message == TAVLIN_MSG_FRAME && m.wParam != 0) {
            rate = ReadRecord(reinterpret_cast<const TavlinFrameInfo*>(m.wParam)).frameRate;
        }
    }
    EXPECT_GT(platform::TickCount(), 1000u);  // the count has wrapped
    EXPECT_GT(rate, 0);
    // Tenths of frames per second: no wrap-sized elapsed time, no division by a tiny one.
    EXPECT_LT(rate, 100000);
    EXPECT_EQ(Tavlin_StopPreview(camera_), 1);
}

TAVLIN_INSTANTIATE_TRANSPORTS(FilesTest);
TAVLIN_INSTANTIATE_TRANSPORTS(TickWrapTest);

}  // namespace
}  // namespace tavlin::test
