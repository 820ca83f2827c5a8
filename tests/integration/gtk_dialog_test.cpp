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
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
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

// A text as the presenter laid it out: where it is drawn, the language Pango was told, how many
// characters had no glyph, and the font family of each run with the run's text.
struct ShownText {
    int32_t resource = 0;
    int32_t id = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::string language;
    int unknownGlyphs = 0;
    std::vector<std::pair<std::string, std::string>> runs;  // family, text
    std::string Text() const {
        std::string text;
        for (const auto& [family, run] : runs) text += run;
        return text;
    }
};

// Labels and group boxes have no id of their own.
constexpr int32_t kNoLabelId = -1;

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

std::vector<FcChar32> CodePoints(const std::string& text) {
    std::vector<FcChar32> points;
    const auto* bytes = reinterpret_cast<const FcChar8*>(text.data());
    int length = static_cast<int>(text.size());
    while (length > 0) {
        FcChar32 point = 0;
        const int used = FcUtf8ToUcs4(bytes, &point, length);
        if (used <= 0) break;
        points.push_back(point);
        bytes += used;
        length -= used;
    }
    return points;
}

// Kana and kanji, which a font made for Japanese must draw (a Chinese one has other forms).
bool JapaneseScript(FcChar32 point) {
    return (point >= 0x3040 && point <= 0x30FF) || (point >= 0x3400 && point <= 0x4DBF) ||
           (point >= 0x4E00 && point <= 0x9FFF) || (point >= 0xFF00 && point <= 0xFFEF);
}

// Fontconfig's own answer, independent of Pango: the installed font of that family has a glyph
// for every character of the text, and is made for Japanese when the text has kana or kanji.
// Empty when it is so, else what is wrong.
std::string FontProblem(const std::string& family, const std::string& text) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) return "no font for " + family;
    std::string problem;
    bool named = false;
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
        named = named || family == reinterpret_cast<const char*>(name);
    }
    FcCharSet* characters = nullptr;
    FcLangSet* languages = nullptr;
    const std::vector<FcChar32> points = CodePoints(text);
    if (!named) {
        problem = family + " is not installed";
    } else if (FcPatternGetCharSet(match, FC_CHARSET, 0, &characters) != FcResultMatch ||
               FcPatternGetLangSet(match, FC_LANG, 0, &languages) != FcResultMatch) {
        problem = family + " has no coverage";
    } else if (FcLangSetHasLang(languages, reinterpret_cast<const FcChar8*>("ja")) != FcLangEqual &&
               std::any_of(points.begin(), points.end(), JapaneseScript)) {
        problem = family + " is not a Japanese font";
    } else {
        for (const FcChar32 point : points) {
            if (point > 0x7F && !FcCharSetHasChar(characters, point)) {
                problem = family + " lacks U+" + std::to_string(point) + " of " + text;
            }
        }
    }
    FcPatternDestroy(match);
    return problem;
}

// The folder of a font file fontconfig finds for a family.
std::string FontFolder(const std::string& family) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str()));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    FcChar8* file = nullptr;
    std::string folder;
    if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        folder = std::filesystem::path(reinterpret_cast<const char*>(file)).parent_path();
    }
    if (match != nullptr) FcPatternDestroy(match);
    return folder;
}

struct Screen {
    std::string title;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::map<int32_t, Widget> widgets;  // by id (controls without one are left out)
    std::vector<TabLabel> tabs;
    std::vector<ShownText> texts;
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

    void Start(const std::string& dialog, const std::vector<std::string>& environment = {}) {
        std::vector<std::string> variables = HelperEnvironment();
        variables.insert(variables.end(), environment.begin(), environment.end());
        app_ = std::make_unique<Child>(
            std::vector<std::string>{tavlin::testing::HelperPath("gtk_dialog_app"), dialog},
            variables);
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
            if (what == "text") {
                std::istringstream fields(*line);
                std::vector<std::string> f;
                for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
                if (f.size() < 9) continue;
                ShownText text;
                text.resource = std::stoi(f[1]);
                text.id = std::stoi(f[2]);
                text.x = std::stoi(f[3]);
                text.y = std::stoi(f[4]);
                text.width = std::stoi(f[5]);
                text.height = std::stoi(f[6]);
                text.language = f[7];
                text.unknownGlyphs = std::stoi(f[8]);
                for (size_t i = 9; i + 1 < f.size(); i += 2) text.runs.emplace_back(f[i], f[i + 1]);
                screen.texts.push_back(text);
            } else if (what == "window") {
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

// Ink in a text's place on a screenshot of the whole screen: pixels well apart from the place's
// most frequent colour (its background), so grayed text counts too.
size_t InkPixels(const std::vector<uint8_t>& screen, int screenWidth, int screenHeight,
                 const ShownText& text) {
    std::vector<uint32_t> colours;
    for (int y = std::max(text.y, 0); y < std::min(text.y + text.height, screenHeight); ++y) {
        for (int x = std::max(text.x, 0); x < std::min(text.x + text.width, screenWidth); ++x) {
            const size_t at = (static_cast<size_t>(y) * screenWidth + x) * 3;
            colours.push_back(screen[at] << 16 | screen[at + 1] << 8 | screen[at + 2]);
        }
    }
    std::map<uint32_t, size_t> counts;
    for (const uint32_t colour : colours) ++counts[colour];
    uint32_t background = 0;
    size_t most = 0;
    for (const auto& [colour, count] : counts) {
        if (count > most) std::tie(background, most) = std::make_pair(colour, count);
    }
    constexpr int kApart = 0x40;
    return static_cast<size_t>(std::count_if(colours.begin(), colours.end(), [&](uint32_t c) {
        for (const int shift : {16, 8, 0}) {
            const int channel = static_cast<int>((c >> shift) & 0xFF);
            if (std::abs(channel - static_cast<int>((background >> shift) & 0xFF)) > kApart) {
                return true;
            }
        }
        return false;
    }));
}

// Every Japanese template on screen once (101 stream format; 104 + 105 analog; 102 + 103 + 113
// image with the gray page) under a Japanese locale: each text is laid out for Japanese, every
// character has a glyph, the fonts drawing the Japanese runs are Japanese fonts covering them
// (asked of fontconfig), and the labels' places on screen hold drawn text. The stream format
// dialog is shown again with fontconfig limited to DejaVu, which has no Japanese: the same
// check then finds the missing glyphs, and the labels look different.
TEST_F(GtkDialogTest, JapaneseDialogsDrawTheirTextsWithJapaneseFonts) {
    // Fontconfig keeps its configuration and caches for the process until told otherwise.
    struct FontconfigUse {
        ~FontconfigUse() { FcFini(); }
    } fontconfigUse;
    constexpr int kScreenWidth = 1920;
    constexpr int kScreenHeight = 1080;
    const std::string japanese = "LC_ALL=ja_JP.UTF-8";
    const struct {
        const char* mode;
        std::set<int32_t> resources;
    } cases[] = {{"stream", {101}}, {"analog", {104, 105}}, {"gray", {102, 103, 113}}};
    std::map<std::pair<int32_t, std::string>, std::vector<uint8_t>> streamLabels;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        ASSERT_NO_FATAL_FAILURE(Start(c.mode, {japanese}));
        Screen screen = WaitShown();
        ASSERT_TRUE(screen.Shown());
        EXPECT_EQ(screen.title, "プロパティ");
        for (const TabLabel& tab : screen.tabs) ExpectPaintedLabel(tab, tab.painted);
        const auto full = server_->Screenshot(0, 0, kScreenWidth, kScreenHeight);
        ASSERT_EQ(full.size(), static_cast<size_t>(kScreenWidth) * kScreenHeight * 3);
        std::set<int32_t> resources;
        size_t japaneseTexts = 0;
        for (const ShownText& text : screen.texts) {
            SCOPED_TRACE(text.Text());
            resources.insert(text.resource);
            EXPECT_EQ(text.language, "ja");
            if (IsAscii(text.Text())) continue;
            ++japaneseTexts;
            EXPECT_EQ(text.unknownGlyphs, 0);
            for (const auto& [family, run] : text.runs) {
                if (!IsAscii(run)) {
                    EXPECT_EQ(FontProblem(family, run), "");
                }
            }
            // Ink for every character (8 pt text has 17 pixels or more of it per character here);
            // an empty place has none.
            const size_t characters = CodePoints(text.Text()).size();
            EXPECT_GE(InkPixels(full, kScreenWidth, kScreenHeight, text), 6 * characters)
                << text.x << "," << text.y << " " << text.width << "x" << text.height;
            if (c.mode == std::string("stream")) {
                std::vector<uint8_t>& kept = streamLabels[{text.id, text.Text()}];
                for (int y = text.y; y < text.y + text.height; ++y) {
                    const auto row =
                        full.begin() + (static_cast<long>(y) * kScreenWidth + text.x) * 3;
                    kept.insert(kept.end(), row, row + static_cast<long>(text.width) * 3);
                }
            }
        }
        // The sheets' buttons and tab, and the stream format dialog's labels.
        EXPECT_GE(japaneseTexts, c.mode == std::string("stream") ? 20u : 2u);
        for (const int32_t resource : c.resources)
            EXPECT_TRUE(resources.count(resource)) << resource;
        KeepScreenshot(screen, std::string(c.mode) + "-ja");
        CloseAndQuit();
    }

    // The same dialog with no font for Japanese.
    const std::string dejavu = FontFolder("DejaVu Sans");
    ASSERT_FALSE(dejavu.empty());
    const std::string config = shots_ + "/fonts-without-japanese-" + std::to_string(getpid());
    std::filesystem::create_directories(config);
    std::ofstream(config + "/fonts.conf")
        << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
        << "<fontconfig><dir>" << dejavu << "</dir><cachedir>" << config
        << "/cache</cachedir></fontconfig>\n";
    ASSERT_NO_FATAL_FAILURE(
        Start("stream", {japanese, "FONTCONFIG_FILE=" + config + "/fonts.conf"}));
    const Screen screen = WaitShown();
    ASSERT_TRUE(screen.Shown());
    const auto full = server_->Screenshot(0, 0, kScreenWidth, kScreenHeight);
    ASSERT_EQ(full.size(), static_cast<size_t>(kScreenWidth) * kScreenHeight * 3);
    size_t compared = 0;
    size_t differing = 0;
    for (const ShownText& text : screen.texts) {
        if (IsAscii(text.Text())) continue;
        SCOPED_TRACE(text.Text());
        EXPECT_GT(text.unknownGlyphs, 0);
        const auto kept = streamLabels.find({text.id, text.Text()});
        if (kept == streamLabels.end() || text.id != kNoLabelId) continue;
        std::vector<uint8_t> pixels;
        for (int y = text.y; y < text.y + text.height; ++y) {
            const auto row = full.begin() + (static_cast<long>(y) * kScreenWidth + text.x) * 3;
            pixels.insert(pixels.end(), row, row + static_cast<long>(text.width) * 3);
        }
        ++compared;
        if (pixels != kept->second) ++differing;
    }
    EXPECT_GT(compared, 10u);
    EXPECT_EQ(differing, compared);
    CloseAndQuit();
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
