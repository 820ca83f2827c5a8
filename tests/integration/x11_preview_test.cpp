// Previews on a real X server (a private Xvfb): what the screen shows is the frame the application
// buffer received, scaled as the headless surface scales it, with or without shared memory; and
// the server or the application's window going away never stops the acquisition.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "integration/x11_test_support.h"

namespace {

using tavlin::testing::Child;
using tavlin::testing::HelperPath;
using tavlin::testing::XServer;

constexpr int kImageWidth = 640;
constexpr int kImageHeight = 512;

struct Placement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

std::string TempFolder() {
    const char* base = std::getenv("TAVLIN_TEST_TMP");
    const std::filesystem::path folder =
        std::filesystem::path(base != nullptr ? base : "/tmp") /
        ("x11-" + std::to_string(getpid()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder / "config");
    std::filesystem::create_directories(folder / "runtime");
    return folder.string();
}

std::vector<std::string> Environment(const XServer& server, const std::string& folder) {
    return {"DISPLAY=" + server.Display(), "XDG_CONFIG_HOME=" + folder + "/config",
            "XDG_RUNTIME_DIR=" + folder + "/runtime"};
}

// The client area as the blit paths draw a 24-bit image of w x h (B, G, R rows, top row first,
// rows padded to 4 bytes): copied at equal size, else nearest neighbour with the scaled path's
// float steps. Returned as R, G, B rows, top row first, like a screenshot.
std::vector<uint8_t> ExpectedClient(const std::vector<uint8_t>& image, int w, int h, int width,
                                    int height) {
    const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
    const float fx = static_cast<float>(w) / static_cast<float>(width);
    const float fy = static_cast<float>(h) / static_cast<float>(height);
    std::vector<uint8_t> expected;
    expected.reserve(static_cast<size_t>(width) * height * 3);
    for (int row = 0; row < height; ++row) {
        int sourceRow = row;
        if (w != width || h != height) {
            const int i = height - 1 - row;  // the display buffer is bottom-up
            const int sy = std::min(static_cast<int>(static_cast<float>(i) * fy), h - 1);
            sourceRow = h - sy - 1;
        }
        for (int column = 0; column < width; ++column) {
            const int sx = (w != width || h != height)
                               ? std::min(static_cast<int>(static_cast<float>(column) * fx), w - 1)
                               : column;
            const uint8_t* bgr = image.data() + sourceRow * stride + static_cast<size_t>(sx) * 3;
            expected.insert(expected.end(), {bgr[2], bgr[1], bgr[0]});
        }
    }
    return expected;
}

size_t CountDifferences(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return std::max(a.size(), b.size());
    size_t differences = 0;
    for (size_t i = 0; i < a.size(); ++i) differences += a[i] != b[i];
    return differences;
}

class X11PreviewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(XServer::Installed())
            << "Xvfb is missing: these tests need an X server (scripts/install-deps.sh test)";
        ASSERT_FALSE(tavlin::testing::FindProgram("xwd").empty()) << "xwd (x11-apps) is missing";
        folder_ = TempFolder();
    }

    // Runs the helper in a preview mode and checks the screen against its last frame.
    // `launcher` runs the helper (e.g. in a namespace of its own).
    void ExpectScreenShowsFrame(const XServer& server, const std::vector<std::string>& mode,
                                const std::vector<std::string>& launcher = {}) {
        ASSERT_TRUE(server.Running());
        const std::string frameFile = folder_ + "/frame.bgr";
        std::vector<std::string> argv = {HelperPath("x11_preview_app")};
        argv.insert(argv.end(), mode.begin(), mode.end());
        argv.insert(argv.begin() + 2, frameFile);
        argv.insert(argv.begin(), launcher.begin(), launcher.end());
        Child app(argv, Environment(server, folder_));
        ASSERT_TRUE(app.Started());
        const auto line = app.ReadLine(30000);
        ASSERT_TRUE(line.has_value()) << "the application showed no preview";
        Placement at;
        std::string word;
        std::istringstream(*line) >> word >> at.x >> at.y >> at.width >> at.height;
        ASSERT_EQ(word, "window") << *line;

        std::ifstream file(frameFile, std::ios::binary);
        const std::vector<uint8_t> frame{std::istreambuf_iterator<char>(file), {}};
        ASSERT_EQ(frame.size(), static_cast<size_t>(kImageWidth) * 3 * kImageHeight);
        const std::vector<uint8_t> expected =
            ExpectedClient(frame, kImageWidth, kImageHeight, at.width, at.height);
        // The last frame reaches the server shortly after the application has it.
        size_t differences = expected.size();
        for (int attempt = 0; attempt < 50 && differences != 0; ++attempt) {
            differences =
                CountDifferences(server.Screenshot(at.x, at.y, at.width, at.height), expected);
            if (differences != 0) usleep(100000);
        }
        EXPECT_EQ(differences, 0u) << "the screen differs from the frame the application received";
        app.WriteLine("done");
        EXPECT_EQ(app.Wait(20000), 0);
    }

    std::string folder_;
};

TEST_F(X11PreviewTest, TopLevelPreviewShowsTheApplicationsFrame) {
    XServer server;
    ExpectScreenShowsFrame(server, {"toplevel"});
}

TEST_F(X11PreviewTest, TopLevelPreviewResizedOnScreenScalesToTheNewClientArea) {
    XServer server;
    ExpectScreenShowsFrame(server, {"resized"});
}

TEST_F(X11PreviewTest, ChildPreviewFillsTheApplicationsWindow) {
    XServer server;
    ExpectScreenShowsFrame(server, {"child"});
}

TEST_F(X11PreviewTest, ChildPreviewSmallerThanTheImageIsScaled) {
    XServer server;
    ExpectScreenShowsFrame(server, {"child", "320", "256"});
}

TEST_F(X11PreviewTest, ChildPreviewOfAnotherAspectIsScaledUnevenly) {
    XServer server;
    ExpectScreenShowsFrame(server, {"child", "499", "301"});
}

TEST_F(X11PreviewTest, ServerWithoutSharedMemoryShowsTheSameFrame) {
    XServer server({"-extension", "MIT-SHM"});
    ExpectScreenShowsFrame(server, {"toplevel"});
}

// In an IPC namespace of its own the application's shared memory is invisible to the server,
// which then refuses every attach: frames must arrive by plain XPutImage instead.
TEST_F(X11PreviewTest, ServerRefusingSharedMemoryShowsTheSameFrame) {
    const std::string unshare = tavlin::testing::FindProgram("unshare");
    if (unshare.empty() || std::system((unshare + " --ipc true 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "unshare --ipc is not permitted here";
    }
    XServer server;
    ExpectScreenShowsFrame(server, {"toplevel"}, {unshare, "--ipc"});
}

TEST_F(X11PreviewTest, AcquisitionOutlivesTheServer) {
    XServer server;
    ASSERT_TRUE(server.Running());
    Child app({HelperPath("x11_preview_app"), "survive-server"}, Environment(server, folder_));
    ASSERT_EQ(app.ReadLine(30000).value_or(""), "streaming");
    server.Kill();
    app.WriteLine("killed");
    EXPECT_EQ(app.ReadLine(30000).value_or(""), "frames-after 20");
    EXPECT_EQ(app.Wait(20000), 0);
}

TEST_F(X11PreviewTest, ParentDestroyedUnderARunningPreview) {
    XServer server;
    ASSERT_TRUE(server.Running());
    Child app({HelperPath("x11_preview_app"), "destroy-parent"}, Environment(server, folder_));
    ASSERT_EQ(app.ReadLine(30000).value_or(""), "streaming");
    EXPECT_EQ(app.ReadLine(30000).value_or(""), "frames-after 20");
    EXPECT_EQ(app.ReadLine(30000).value_or(""), "wrapper-alive 0");
    EXPECT_EQ(app.Wait(20000), 0);
}

}  // namespace
