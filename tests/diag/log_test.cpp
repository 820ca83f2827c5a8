#include "diag/log.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tavlin::diag {
namespace {

Levels Parsed(const std::string& text, bool expectGood = true) {
    Levels levels;
    std::string problems;
    EXPECT_EQ(ParseLevels(text, levels, problems), expectGood) << text << ": " << problems;
    return levels;
}

Level Of(const Levels& levels, Category category) {
    return levels.of[static_cast<size_t>(category)];
}

TEST(LogLevels, CategoriesAndWildcardApplyLeftToRight) {
    const Levels mixed = Parsed("*:warn,transfer:debug");
    EXPECT_EQ(Of(mixed, Category::Transfer), Level::Debug);
    for (const Category c : {Category::Device, Category::Usb, Category::Dialogs}) {
        EXPECT_EQ(Of(mixed, c), Level::Warn);
    }
    // A later item wins, a wildcard included, and a duplicate is no error.
    EXPECT_EQ(Of(Parsed("transfer:debug,*:error"), Category::Transfer), Level::Error);
    EXPECT_EQ(Of(Parsed("camera:info,camera:trace"), Category::Camera), Level::Trace);
    // A bare level is every category's; names are case-blind; "warning" is "warn".
    EXPECT_EQ(Of(Parsed("debug"), Category::Settings), Level::Debug);
    EXPECT_EQ(Of(Parsed("USB:Warning"), Category::Usb), Level::Warn);
    EXPECT_EQ(Of(Parsed("*:trace,vcam:off"), Category::Vcam), Level::Off);
}

TEST(LogLevels, SpacesAndEmptyItemsAreIgnored) {
    const Levels spaced = Parsed("  daemon : info ,, ,\toutput:error ,");
    EXPECT_EQ(Of(spaced, Category::Daemon), Level::Info);
    EXPECT_EQ(Of(spaced, Category::Output), Level::Error);
    EXPECT_EQ(Of(spaced, Category::Camera), Level::Off);
    const Levels empty = Parsed("");
    for (const Level l : empty.of) EXPECT_EQ(l, Level::Off);
    Parsed(" , ");
}

TEST(LogLevels, BadItemsAreNamedAndTheGoodOnesStillApply) {
    Levels levels;
    std::string problems;
    EXPECT_FALSE(ParseLevels("camera:info,lens:debug,usb:loud,device,:warn,a:b:c,settings:", levels,
                             problems));
    EXPECT_EQ(Of(levels, Category::Camera), Level::Info);
    EXPECT_EQ(Of(levels, Category::Usb), Level::Off);
    EXPECT_NE(problems.find("'lens:debug' (unknown category)"), std::string::npos) << problems;
    EXPECT_NE(problems.find("'usb:loud' (unknown level)"), std::string::npos) << problems;
    EXPECT_NE(problems.find("'device' (unknown level)"), std::string::npos) << problems;
    EXPECT_NE(problems.find("':warn' (expected category:level)"), std::string::npos) << problems;
    EXPECT_NE(problems.find("'a:b:c' (expected category:level)"), std::string::npos) << problems;
    EXPECT_NE(problems.find("'settings:' (expected category:level)"), std::string::npos)
        << problems;
    EXPECT_EQ(problems.find('\n'), std::string::npos);
}

// A scratch folder and a clean logging state for each test; logging ends off.
class LogOutput : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* base = std::getenv("TAVLIN_TEST_TMP");
        folder_ = std::filesystem::path(base != nullptr ? base : "/tmp") /
                  ("diag-" + std::to_string(getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        warnings_ = (folder_ / "warnings").string();
        Configure(nullptr, nullptr);
    }

    void TearDown() override {
        SetCallback(nullptr, nullptr, Level::Off);
        Configure(nullptr, nullptr);
        std::filesystem::remove_all(folder_);
    }

    // Applies the pair as the environment would be, warnings to the warnings file.
    void Configure(const char* levels, const char* file) {
        const int fd = ::open(warnings_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        ConfigureFrom(levels, file, fd);
        ::close(fd);
    }

    static std::vector<std::string> Lines(const std::string& path) {
        std::ifstream in(path);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    std::filesystem::path folder_;
    std::string warnings_;
};

TEST_F(LogOutput, NothingIsOnUnlessAsked) {
    for (size_t c = 0; c < kCategoryCount; ++c) {
        EXPECT_FALSE(On(static_cast<Category>(c), Level::Error));
    }
    Configure("", "");
    EXPECT_FALSE(On(Category::Camera, Level::Error));
    EXPECT_TRUE(Lines(warnings_).empty());
}

TEST_F(LogOutput, BadValuesGiveExactlyOneWarningLine) {
    Configure("lens:debug,camera:loud,,*:", (folder_ / "no" / "such" / "log").c_str());
    const auto lines = Lines(warnings_);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("tavlin: logging: ignored TAVLIN_LOG_LEVELS 'lens:debug'", 0), 0u)
        << lines[0];
    EXPECT_NE(lines[0].find("'camera:loud'"), std::string::npos);
    EXPECT_NE(lines[0].find("TAVLIN_LOG_FILE"), std::string::npos);
    // The unusable file is ignored: nothing is on, as none of the levels parsed.
    EXPECT_FALSE(On(Category::Camera, Level::Error));

    // A file alone that cannot be opened leaves logging off, with its one line.
    Configure(nullptr, "/");
    EXPECT_EQ(Lines(warnings_).size(), 2u);
    EXPECT_FALSE(On(Category::Camera, Level::Error));

    // Good values say nothing.
    Configure("*:info", (folder_ / "log").c_str());
    EXPECT_EQ(Lines(warnings_).size(), 2u);
}

TEST_F(LogOutput, FileGetsTheLevelsAskedAndIsAppendedTo) {
    const std::string file = (folder_ / "sdk.log").string();
    std::ofstream(file) << "earlier line\n";
    Configure("*:warn,transfer:debug", file.c_str());
    EXPECT_TRUE(On(Category::Transfer, Level::Debug));
    EXPECT_FALSE(On(Category::Transfer, Level::Trace));
    EXPECT_FALSE(On(Category::Camera, Level::Info));
    TAVLIN_LOG(Transfer, Debug, "short read %d", 7);
    TAVLIN_LOG(Camera, Info, "not wanted");
    {
        const CameraScope scope(4242);
        TAVLIN_LOG(Camera, Error, "two\nlines");
    }
    const auto lines = Lines(file);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "earlier line");
    EXPECT_NE(lines[1].find(" debug transfer "), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find(" cam=- short read 7"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find(" error camera "), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find(" cam=4242 two lines"), std::string::npos) << lines[2];

    // A file alone logs at info.
    Configure(nullptr, file.c_str());
    EXPECT_TRUE(On(Category::Dialogs, Level::Info));
    EXPECT_FALSE(On(Category::Dialogs, Level::Debug));
    EXPECT_TRUE(Lines(warnings_).empty());
}

TEST_F(LogOutput, LineCarriesTimeLevelCategoryProcessThreadAndCamera) {
    const std::regex format(
        R"(tavlin (\d+)\.(\d{9}) (error|warn|info|debug|trace) ([a-z]+) pid=(\d+) tid=(\d+) )"
        R"(cam=(-|-?\d+) (.*))");
    std::smatch m;
    const std::string line =
        FormatLine(Category::Usb, Level::Warn, 12 * 1000000000LL + 34, -17, "a b\rc");
    ASSERT_TRUE(std::regex_match(line, m, format)) << line;
    EXPECT_EQ(m[1], "12");
    EXPECT_EQ(m[2], "000000034");
    EXPECT_EQ(m[3], "warn");
    EXPECT_EQ(m[4], "usb");
    EXPECT_EQ(std::stol(m[5]), static_cast<long>(getpid()));
    EXPECT_EQ(m[7], "-17");
    EXPECT_EQ(m[8], "a b c");
    // The thread id is the kernel's, not a library counter: another thread shows another.
    std::string other;
    std::thread([&] { other = FormatLine(Category::Usb, Level::Warn, 0, 0, ""); }).join();
    std::smatch n;
    ASSERT_TRUE(std::regex_match(other, n, format)) << other;
    EXPECT_NE(m[6], n[6]);
    EXPECT_EQ(n[7], "-");
    for (size_t c = 0; c < kCategoryCount; ++c) {
        const std::string name = CategoryName(static_cast<Category>(c));
        EXPECT_TRUE(
            std::regex_match(FormatLine(static_cast<Category>(c), Level::Trace, 0, 0, ""), format))
            << name;
    }
}

struct Received {
    std::mutex mutex;
    std::vector<std::string> messages;
    std::vector<int32_t> levels;
    std::vector<int32_t> cameras;
    std::vector<int64_t> times;
};

void Collect(void* context, int32_t level, const char* category, int32_t camera,
             int64_t timestampNs, const char* message) {
    auto* received = static_cast<Received*>(context);
    std::lock_guard<std::mutex> guard(received->mutex);
    received->messages.push_back(std::string(category) + ": " + message);
    received->levels.push_back(level);
    received->cameras.push_back(camera);
    received->times.push_back(timestampNs);
}

int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

TEST_F(LogOutput, CallbackGetsItsLevelsWithCameraAndMonotonicTime) {
    Received received;
    ASSERT_TRUE(SetCallback(Collect, &received, Level::Info));
    EXPECT_TRUE(On(Category::Settings, Level::Info));
    EXPECT_FALSE(On(Category::Settings, Level::Debug));
    const int64_t before = NowNs();
    {
        const CameraScope scope(77);
        TAVLIN_LOG(Settings, Info, "moved %s", "aside");
        TAVLIN_LOG(Settings, Debug, "not passed");
        TAVLIN_LOG_CAM(Daemon, Warn, 5, "named camera");
    }
    const int64_t after = NowNs();
    ASSERT_EQ(received.messages.size(), 2u);
    EXPECT_EQ(received.messages[0], "settings: moved aside");
    EXPECT_EQ(received.levels[0], 3);
    EXPECT_EQ(received.cameras[0], 77);
    EXPECT_EQ(received.messages[1], "daemon: named camera");
    EXPECT_EQ(received.cameras[1], 5);
    EXPECT_GE(received.times[0], before);
    EXPECT_LE(received.times[1], after);
    // The file/stderr output stays off: nothing was written there.
    EXPECT_TRUE(Lines(warnings_).empty());

    // Replaced: only the new one hears; removed: nobody, and logging is off again.
    Received second;
    ASSERT_TRUE(SetCallback(Collect, &second, Level::Trace));
    TAVLIN_LOG(Imaging, Trace, "to the second");
    ASSERT_TRUE(SetCallback(nullptr, nullptr, Level::Trace));
    TAVLIN_LOG(Imaging, Error, "to nobody");
    EXPECT_EQ(received.messages.size(), 2u);
    ASSERT_EQ(second.messages.size(), 1u);
    EXPECT_EQ(second.messages[0], "imaging: to the second");
    EXPECT_FALSE(On(Category::Imaging, Level::Error));
}

// A callback that logs (as an SDK call it makes would) and tries to replace itself.
std::atomic<int> gReentered{0};
std::atomic<int> gSetInsideRefused{0};
void LogAgain(void*, int32_t, const char*, int32_t, int64_t, const char*) {
    gReentered.fetch_add(1);
    TAVLIN_LOG(Camera, Error, "from inside");
    if (!SetCallback(nullptr, nullptr, Level::Off)) gSetInsideRefused.fetch_add(1);
}

TEST_F(LogOutput, CallbackIsNotReenteredAndCannotReplaceItself) {
    ASSERT_TRUE(SetCallback(LogAgain, nullptr, Level::Error));
    TAVLIN_LOG(Camera, Error, "outside");
    EXPECT_EQ(gReentered.load(), 1);
    EXPECT_EQ(gSetInsideRefused.load(), 1);
}

// After removal returns, the removed callback never runs, however many threads log meanwhile.
std::atomic<bool> gRemoved{false};
std::atomic<int> gCallsAfterRemoval{0};
std::atomic<int> gCalls{0};
void Watch(void*, int32_t, const char*, int32_t, int64_t, const char*) {
    gCalls.fetch_add(1);
    if (gRemoved.load()) gCallsAfterRemoval.fetch_add(1);
}
void Other(void*, int32_t, const char*, int32_t, int64_t, const char*) {}

TEST_F(LogOutput, RemovalWaitsForCallsInProgressOnOtherThreads) {
    std::atomic<bool> stop{false};
    std::vector<std::thread> loggers;
    for (int t = 0; t < 3; ++t) {
        loggers.emplace_back([&stop, t] {
            while (!stop.load()) TAVLIN_LOG_CAM(Transfer, Debug, t + 1, "frame %d", t);
        });
    }
    // At least 200 rounds, and on until the loggers have reached the callback: on a loaded
    // machine the rounds can all pass before a logging thread gets a core.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int round = 0;
         round < 200 || (gCalls.load() == 0 && std::chrono::steady_clock::now() < deadline);
         ++round) {
        // Watch is installed only while the flag is down, and the flag goes up once it is
        // replaced or removed.
        gRemoved.store(false);
        ASSERT_TRUE(SetCallback(Watch, nullptr, Level::Debug));
        ASSERT_TRUE(SetCallback(Other, nullptr, Level::Debug));
        gRemoved.store(true);
        std::this_thread::yield();
        gRemoved.store(false);
        ASSERT_TRUE(SetCallback(Watch, nullptr, Level::Debug));
        ASSERT_TRUE(SetCallback(nullptr, nullptr, Level::Off));
        gRemoved.store(true);
        std::this_thread::yield();
    }
    stop.store(true);
    for (auto& t : loggers) t.join();
    EXPECT_EQ(gCallsAfterRemoval.load(), 0);
    EXPECT_GT(gCalls.load(), 0);
}

TEST_F(LogOutput, LevelsSetByTheProgramReplaceTheEnvironments) {
    const std::string file = (folder_ / "sdk.log").string();
    Configure("*:error", file.c_str());
    EXPECT_TRUE(SetLevels("*:info,output:debug"));
    EXPECT_TRUE(On(Category::Output, Level::Debug));
    EXPECT_TRUE(On(Category::Usb, Level::Info));
    TAVLIN_LOG(Output, Debug, "still to the file");
    // A bad text changes nothing.
    EXPECT_FALSE(SetLevels("*:loud"));
    EXPECT_TRUE(On(Category::Output, Level::Debug));
    EXPECT_TRUE(SetLevels(nullptr));
    EXPECT_FALSE(On(Category::Output, Level::Error));
    ASSERT_EQ(Lines(file).size(), 1u);
    EXPECT_NE(Lines(file)[0].find("still to the file"), std::string::npos);
    EXPECT_TRUE(Lines(warnings_).empty());
}

}  // namespace
}  // namespace tavlin::diag
