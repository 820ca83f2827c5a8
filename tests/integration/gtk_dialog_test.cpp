// The property dialogs on a private X server, shown by the GTK presenter over a running preview:
// what the screen shows matches the dialog's state, a user's clicks reach the camera, automation
// works the same, and the server's death leaves the process and the dialog working.
// gtest first: Xlib's macros (None, Status) clash with its names.
#include <gtest/gtest.h>

#if TAVLIN_TEST_GTK
// clang-format off
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
// clang-format on

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "integration/x11_test_support.h"

namespace {

using tavlin::testing::Child;
using tavlin::testing::XServer;

// One widget as the presenter describes it: where it is on the root window and what it shows.
struct Widget {
    int32_t resource = 0;
    std::string kind;
    bool sensitive = false;
    bool drawable = false;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::string value;
};

struct TabLabel {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool mapped = false;
    std::string painted;
};

struct Screen {
    std::string title;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::map<int32_t, Widget> widgets;  // by id (controls without one are left out)
    std::vector<TabLabel> tabs;
    bool Shown() const { return width > 0 && !tabs.empty() && tabs.front().mapped; }
};

class GtkDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(XServer::Installed()) << "Xvfb is missing (scripts/install-deps.sh test)";
        ASSERT_FALSE(tavlin::testing::FindProgram("xwd").empty()) << "xwd is missing";
        server_ = std::make_unique<XServer>();
        ASSERT_TRUE(server_->Running());
        const char* tmp = std::getenv("TAVLIN_TEST_TMP");
        shots_ = tmp != nullptr ? tmp : "/tmp";
    }

    void Start(const std::string& dialog) {
        app_ = std::make_unique<Child>(
            std::vector<std::string>{tavlin::testing::HelperPath("gtk_dialog_app"), dialog},
            HelperEnvironment());
        ASSERT_TRUE(app_->Started());
        const auto opened = app_->ReadLine(20000);
        ASSERT_TRUE(opened.has_value());
        ASSERT_EQ(opened->rfind("open ", 0), 0u) << *opened;
    }

    // The helper's display, without the accessibility bus (there is none), and the
    // sanitizers' suppressions for GTK's own leaks and races.
    std::vector<std::string> HelperEnvironment() {
        const std::string folder = TAVLIN_SANITIZER_SUPPRESSIONS;
        const char* tsan = std::getenv("TSAN_OPTIONS");
        // Settings of its own, fresh for every start: a dialog always opens on the defaults.
        const std::string config = shots_ + "/gtk-dialog-config-" + std::to_string(getpid()) + "-" +
                                   std::to_string(++starts_);
        std::filesystem::remove_all(config);
        return {"DISPLAY=" + server_->Display(), "NO_AT_BRIDGE=1", "XDG_CONFIG_HOME=" + config,
                "LSAN_OPTIONS=suppressions=" + folder + "/lsan.supp",
                std::string("TSAN_OPTIONS=") + (tsan != nullptr ? tsan : "") +
                    ":suppressions=" + folder + "/tsan.supp"};
    }

    std::string Ask(const std::string& command) {
        app_->WriteLine(command);
        return app_->ReadLine(10000).value_or("");
    }

    Screen Describe() {
        app_->WriteLine("describe");
        Screen screen;
        for (;;) {
            const auto line = app_->ReadLine(10000);
            if (!line || *line == "end") break;
            std::istringstream words(*line);
            std::string what;
            words >> what;
            if (what == "window") {
                words >> screen.x >> screen.y >> screen.width >> screen.height;
                std::getline(words >> std::ws, screen.title);
            } else if (what == "tablabel") {
                int32_t id = 0;
                int index = 0;
                TabLabel tab;
                words >> id >> index >> tab.x >> tab.y >> tab.width >> tab.height >> tab.mapped;
                std::getline(words >> std::ws, tab.painted);
                screen.tabs.push_back(tab);
            } else if (what == "item") {
                Widget w;
                int32_t id = 0;
                words >> w.resource >> id >> w.kind >> w.sensitive >> w.drawable >> w.x >> w.y >>
                    w.width >> w.height;
                std::getline(words >> std::ws, w.value);
                if (id >= 0) screen.widgets[id] = w;
            }
        }
        return screen;
    }

    // The dialog once it is on screen (mapped and laid out).
    Screen WaitShown() {
        for (int attempt = 0; attempt < 100; ++attempt) {
            Screen screen = Describe();
            if (screen.Shown()) return screen;
            usleep(50000);
        }
        return {};
    }

    // Waits until `command` answers `expected`; the answer last seen otherwise.
    std::string WaitFor(const std::string& command, const std::string& expected) {
        std::string answer;
        for (int attempt = 0; attempt < 100 && answer != expected; ++attempt) {
            if (attempt > 0) usleep(30000);
            answer = Ask(command);
        }
        return answer;
    }

    void ClickAt(int x, int y) {
        Display* display = XOpenDisplay(server_->Display().c_str());
        ASSERT_NE(display, nullptr);
        XTestFakeMotionEvent(display, 0, x, y, 0);
        XSync(display, False);
        usleep(50000);
        XTestFakeButtonEvent(display, 1, True, 0);
        XTestFakeButtonEvent(display, 1, False, 0);
        XSync(display, False);
        XCloseDisplay(display);
    }

    void ClickCentre(const Widget& w) { ClickAt(w.x + w.width / 2, w.y + w.height / 2); }

    // Checks every shown control value against what the automation interface reads.
    void ExpectShownAsAutomationReads(const Screen& screen) {
        for (const auto& [id, w] : screen.widgets) {
            if (!w.drawable) continue;
            if (w.kind == "edit" || (w.kind == "static")) {
                EXPECT_EQ("text " + w.value, Ask("text " + std::to_string(id))) << id;
            } else if (w.kind == "trackbar" || w.kind == "check" || w.kind == "radio") {
                EXPECT_EQ("value " + w.value, Ask("value " + std::to_string(id))) << id;
            } else if (w.kind == "list") {
                EXPECT_EQ("selected " + w.value, Ask("selected " + std::to_string(id))) << id;
            }
        }
    }

    // The screen inside a tab label: the face colour the sheet fills it with and dark text.
    // Mapped is not yet painted, so a slow run gets a few looks.
    void ExpectPaintedLabel(const TabLabel& tab, const std::string& name) {
        const size_t total = static_cast<size_t>(tab.width * tab.height);
        size_t face = 0;
        size_t dark = 0;
        for (int attempt = 0; attempt < 30 && (face <= total / 2 || dark <= total / 50);
             ++attempt) {
            if (attempt > 0) usleep(100000);
            const auto pixels = server_->Screenshot(tab.x, tab.y, tab.width, tab.height);
            ASSERT_EQ(pixels.size(), total * 3);
            face = 0;
            dark = 0;
            for (size_t i = 0; i < pixels.size(); i += 3) {
                if (pixels[i] == 0xF0 && pixels[i + 1] == 0xF0 && pixels[i + 2] == 0xF0) ++face;
                if (pixels[i] < 0x60 && pixels[i + 1] < 0x60 && pixels[i + 2] < 0x60) ++dark;
            }
        }
        EXPECT_GT(face, total / 2) << name;
        EXPECT_GT(dark, total / 50) << name;
    }

    void KeepScreenshot(const Screen& screen, const std::string& name) {
        const std::string command = "xwd -root -silent -display " + server_->Display() +
                                    " | convert xwd:- -crop " + std::to_string(screen.width) + "x" +
                                    std::to_string(screen.height) + "+" + std::to_string(screen.x) +
                                    "+" + std::to_string(screen.y) + " +repage " + shots_ +
                                    "/dialog-" + name + ".png";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }

    void CloseAndQuit() {
        // The dialog's thread reports its end as the automation call returns: either first.
        std::vector<std::string> lines = {Ask("close"), app_->ReadLine(10000).value_or("")};
        std::sort(lines.begin(), lines.end());
        EXPECT_EQ(lines, (std::vector<std::string>{"dialog 1", "ok 1"}));
        EXPECT_EQ(Ask("quit"), "closed 1");
        EXPECT_EQ(app_->Wait(10000), 0);
    }

    std::unique_ptr<XServer> server_;
    std::unique_ptr<Child> app_;
    std::string shots_;
    int starts_ = 0;
};

TEST_F(GtkDialogTest, EachDialogShowsItsTitleTabsAndValues) {
    const struct {
        const char* mode;
        std::vector<std::string> tabs;
        int32_t sampleId;  // a control that must be on screen
    } cases[] = {
        {"analog", {"Analog Gain"}, 1015},
        {"gray", {"Image Filter", "Gray Filter"}, 2002},
        {"stream", {"Stream Format"}, 1010},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        ASSERT_NO_FATAL_FAILURE(Start(c.mode));
        const Screen screen = WaitShown();
        ASSERT_TRUE(screen.Shown());
        EXPECT_EQ(screen.title, "Property");
        ASSERT_EQ(screen.tabs.size(), c.tabs.size());
        for (size_t i = 0; i < c.tabs.size(); ++i) {
            EXPECT_EQ(screen.tabs[i].painted, c.tabs[i]);
            ExpectPaintedLabel(screen.tabs[i], c.tabs[i]);
        }
        ASSERT_TRUE(screen.widgets.count(c.sampleId));
        EXPECT_TRUE(screen.widgets.at(c.sampleId).drawable);
        ExpectShownAsAutomationReads(screen);
        KeepScreenshot(screen, c.mode);
        CloseAndQuit();
    }
}

TEST_F(GtkDialogTest, AutomationDrivesTheDialogOnScreen) {
    ASSERT_NO_FATAL_FAILURE(Start("analog"));
    Screen screen = WaitShown();
    ASSERT_TRUE(screen.Shown());
    const std::string before = Ask("camera");
    ASSERT_NE(before.substr(0, 10), "camera 20 ");
    EXPECT_EQ(Ask("set 1015 20"), "ok 1");
    // The screen follows: the edit, its trackbar, and the camera took the gain.
    for (int attempt = 0; attempt < 100 && screen.widgets[1013].value != "20"; ++attempt) {
        usleep(30000);
        screen = Describe();
    }
    EXPECT_EQ(screen.widgets[1015].value, "20");
    EXPECT_EQ(screen.widgets[1013].value, "20");
    EXPECT_EQ(Ask("camera").substr(0, 10), "camera 20 ");
    // Close box: cancelled, the camera is put back.
    std::vector<std::string> lines = {Ask("close"), app_->ReadLine(10000).value_or("")};
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"dialog 1", "ok 1"}));
    EXPECT_EQ(Ask("camera"), before);
    EXPECT_EQ(Ask("quit"), "closed 1");
    EXPECT_EQ(app_->Wait(10000), 0);
}

TEST_F(GtkDialogTest, ClicksOnScreenChangeTheCamera) {
    ASSERT_NO_FATAL_FAILURE(Start("analog"));
    const Screen screen = WaitShown();
    ASSERT_TRUE(screen.Shown());
    ASSERT_EQ(Ask("camera"), "camera 14 0 0 0");
    // The mirror check box, clicked as a user would.
    ClickCentre(screen.widgets.at(1028));
    EXPECT_EQ(WaitFor("camera", "camera 14 1 0 0"), "camera 14 1 0 0");
    EXPECT_EQ(Ask("value 1028"), "value 1");
    // The up arrow of the global gain's spin button (its right end) counts on from the edit.
    const Widget& spin = screen.widgets.at(1015);
    ClickAt(spin.x + spin.width - 4, spin.y + spin.height / 2);
    EXPECT_EQ(WaitFor("camera", "camera 15 1 0 0"), "camera 15 1 0 0");
    EXPECT_EQ(Ask("text 1015"), "text 15");
    EXPECT_EQ(Ask("value 1013"), "value 15");
    // OK keeps both.
    ClickCentre(screen.widgets.at(1));
    EXPECT_EQ(app_->ReadLine(10000).value_or(""), "dialog 1");
    EXPECT_EQ(Ask("camera"), "camera 15 1 0 0");
    EXPECT_EQ(Ask("quit"), "closed 1");
    EXPECT_EQ(app_->Wait(10000), 0);
}

TEST_F(GtkDialogTest, ServerKilledWhileTheDialogIsOpen) {
    ASSERT_NO_FATAL_FAILURE(Start("analog"));
    ASSERT_TRUE(WaitShown().Shown());
    server_->Kill();
    usleep(300000);
    // The process lives on: frames keep coming, the dialog answers automation and closes.
    const std::string first = Ask("frames");
    ASSERT_EQ(first.rfind("frames ", 0), 0u) << first;
    const int before = std::stoi(first.substr(7));
    int after = before;
    for (int attempt = 0; attempt < 100 && after < before + 5; ++attempt) {
        usleep(30000);
        after = std::stoi(Ask("frames").substr(7));
    }
    EXPECT_GE(after, before + 5);
    EXPECT_EQ(Ask("set 1015 21"), "ok 1");
    EXPECT_EQ(Ask("text 1015"), "text 21");
    EXPECT_TRUE(Describe().widgets.empty());
    CloseAndQuit();
}

}  // namespace

#else

TEST(GtkDialogTest, NeedsGtkAndXTest) {
    GTEST_SKIP() << "built without GTK 3 or libXtst: dialogs are headless, nothing to show";
}

#endif  // TAVLIN_TEST_GTK
