// The viewer as a user drives it on a private X server: keys typed into its window act, the
// close box and Ctrl-C end it cleanly.
// gtest first: Xlib's macros (None, Status) clash with its names.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on

#include <cstring>

#include "integration/x11_test_support.h"

namespace {

using tavlin::testing::Child;
using tavlin::testing::XServer;

std::string ViewerPath() {
    return tavlin::testing::HelperPath("../tools/tavlin-viewer/tavlin-viewer");
}

// The viewer's top-level window: the one of window class "TavlinHostWindow".
Window FindViewerWindow(Display* display) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        return 0;
    }
    for (unsigned i = 0; i < count && found == 0; ++i) {
        XClassHint hint{};
        if (XGetClassHint(display, children[i], &hint)) {
            if (std::strcmp(hint.res_name, "TavlinHostWindow") == 0) found = children[i];
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
    }
    if (children != nullptr) XFree(children);
    return found;
}

Window WaitForViewerWindow(Display* display) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (const Window window = FindViewerWindow(display)) return window;
        usleep(100000);
    }
    return 0;
}

void TypeKey(Display* display, Window window, KeySym symbol) {
    XKeyEvent key{};
    key.type = KeyPress;
    key.display = display;
    key.window = window;
    key.root = DefaultRootWindow(display);
    key.keycode = XKeysymToKeycode(display, symbol);
    key.same_screen = True;
    XEvent event{};
    event.xkey = key;
    XSendEvent(display, window, True, KeyPressMask, &event);
    XFlush(display);
}

void PressCloseBox(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

class X11ViewerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(XServer::Installed()) << "Xvfb is missing (scripts/install-deps.sh test)";
        ASSERT_EQ(access(ViewerPath().c_str(), X_OK), 0)
            << "build the tavlin-viewer target first: " << ViewerPath();
        const char* base = std::getenv("TAVLIN_TEST_TMP");
        folder_ = std::filesystem::path(base != nullptr ? base : "/tmp") /
                  ("viewer-" + std::to_string(getpid()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_ / "config");
        std::filesystem::create_directories(folder_ / "runtime");
        ASSERT_TRUE(server_.Running());
        display_ = XOpenDisplay(server_.Display().c_str());
        ASSERT_NE(display_, nullptr);
    }
    void TearDown() override {
        if (display_ != nullptr) XCloseDisplay(display_);
        std::filesystem::remove_all(folder_);
    }

    std::unique_ptr<Child> StartViewer() {
        return std::make_unique<Child>(
            std::vector<std::string>{ViewerPath(), "--output", (folder_ / "out").string()},
            std::vector<std::string>{"DISPLAY=" + server_.Display(),
                                     "XDG_CONFIG_HOME=" + (folder_ / "config").string(),
                                     "XDG_RUNTIME_DIR=" + (folder_ / "runtime").string()});
    }

    // Waits for a line of the viewer's output that starts with `prefix`.
    static bool SeeLine(Child& viewer, const std::string& prefix) {
        for (auto line = viewer.ReadLine(20000); line; line = viewer.ReadLine(20000)) {
            if (line->find(prefix) != std::string::npos) return true;
        }
        return false;
    }

    XServer server_;
    Display* display_ = nullptr;
    std::filesystem::path folder_;
};

TEST_F(X11ViewerTest, SnapshotKeyInTheWindowSavesEveryFormatAndTheCloseBoxQuits) {
    auto viewer = StartViewer();
    const Window window = WaitForViewerWindow(display_);
    ASSERT_NE(window, 0u) << "the viewer showed no window";
    ASSERT_TRUE(SeeLine(*viewer, "frame 10"));
    TypeKey(display_, window, XK_s);
    ASSERT_TRUE(SeeLine(*viewer, "snapshot-1.tif"));
    for (const char* name :
         {"snapshot-1.bmp", "snapshot-1.raw", "snapshot-1.q100.jpg", "snapshot-1.q70.jpg",
          "snapshot-1.q20.jpg", "snapshot-1.png", "snapshot-1.tif"}) {
        const auto path = folder_ / "out" / name;
        ASSERT_TRUE(std::filesystem::exists(path)) << path;
        EXPECT_GT(std::filesystem::file_size(path), 1000u) << path;
    }
    PressCloseBox(display_, window);
    EXPECT_EQ(viewer->Wait(20000), 0);
}

TEST_F(X11ViewerTest, InterruptEndsTheViewerCleanly) {
    auto viewer = StartViewer();
    ASSERT_TRUE(SeeLine(*viewer, "frame 10"));
    kill(viewer->Pid(), SIGINT);
    EXPECT_EQ(viewer->Wait(20000), 0);
}

}  // namespace
