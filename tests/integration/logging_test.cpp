// Diagnostic logging seen from an application: what an open, acquisition, failure and close log
// through the callback, and what a separate process prints with and without the environment.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "integration/sdk_fixture.h"
#include "support/child_process.h"
#include "tavlin/tavlin_ext.h"

namespace tavlin::test {
namespace {

struct Message {
    int32_t level;
    std::string category;
    int32_t camera;
    std::string text;
};

struct Collected {
    std::mutex mutex;
    std::vector<Message> messages;

    // The first message of the category whose text holds `part`, or null.
    const Message* Find(const std::string& category, const std::string& part) {
        std::lock_guard<std::mutex> guard(mutex);
        for (const Message& m : messages) {
            if (m.category == category && m.text.find(part) != std::string::npos) return &m;
        }
        return nullptr;
    }
};

void Collect(void* context, int32_t level, const char* category, int32_t camera, int64_t,
             const char* message) {
    auto* collected = static_cast<Collected*>(context);
    std::lock_guard<std::mutex> guard(collected->mutex);
    collected->messages.push_back({level, category, camera, message});
}

class LoggingTest : public SdkTest {
  protected:
    LoggingTest() { openCamera_ = false; }

    void TearDown() override {
        EXPECT_EQ(TavlinExt_SetLogCallback(nullptr, nullptr, 0), 1);
        SdkTest::TearDown();
    }
};

TEST_F(LoggingTest, OpenAcquisitionFailureAndCloseAreLoggedWithTheHandle) {
    Collected log;
    ASSERT_EQ(TavlinExt_SetLogCallback(Collect, &log, TAVLIN_EXT_LOG_DEBUG), 1);
    Open();
    const int32_t handle = camera_;
    std::vector<uint8_t> image(1280 * 1024 * 8);
    ASSERT_EQ(Tavlin_StartPreview(handle), 1);
    ASSERT_EQ(Tavlin_StopPreview(handle), 1);
    ASSERT_EQ(Tavlin_Capture(handle), 1);
    ASSERT_EQ(Tavlin_SnapShot(handle, image.data(), static_cast<int32_t>(image.size()), 1), 1);
    EXPECT_EQ(Tavlin_SetColorMode(handle, 99), 0);
    ASSERT_EQ(Tavlin_Release(handle), 1);
    camera_ = 0;

    const std::pair<const char*, const char*> expected[] = {
        {"camera", "camera handle"},
        {"device", "served by the in-process virtual camera"},
        {"camera", "opened on device 0"},
        {"camera", "mode idle -> preview"},
        {"camera", "mode preview -> idle"},
        {"camera", "mode idle -> capture"},
        {"camera", "snapshot in capture mode"},
        {"camera", "error 9 recorded in"},
        {"camera", "mode capture -> idle"},
        {"camera", "closed"},
    };
    for (const auto& [category, part] : expected) {
        const Message* m = log.Find(category, part);
        ASSERT_NE(m, nullptr) << category << ": " << part;
        EXPECT_EQ(m->camera, handle) << part;
        EXPECT_GE(m->level, TAVLIN_EXT_LOG_ERROR) << part;
        EXPECT_LE(m->level, TAVLIN_EXT_LOG_DEBUG) << part;
    }
    // The line names the operation that failed and the error in words.
    const std::string& refused = log.Find("camera", "error 9 recorded in")->text;
    EXPECT_NE(refused.find("SetColorMode"), std::string::npos) << refused;
    EXPECT_NE(refused.find(": invalid argument"), std::string::npos) << refused;
    // The preview's transfer thread logs for the camera that started it.
    const Message* run = log.Find("transfer", "transfer run ended");
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(run->camera, handle);
}

TEST_F(LoggingTest, LevelsOutsideTheRangeAreRefused) {
    Collected log;
    EXPECT_EQ(TavlinExt_SetLogCallback(Collect, &log, 6), 0);
    EXPECT_EQ(TavlinExt_SetLogCallback(Collect, &log, -1), 0);
    EXPECT_EQ(TavlinExt_SetLogLevels("camera:loud"), 0);
    EXPECT_EQ(TavlinExt_SetLogLevels(""), 1);
}

// Runs the log_client helper with the logging variables given (and no others), its stderr into
// a file; gives its exit status and what it printed there.
std::pair<int, std::string> RunClient(const std::string& folder, const char* levels,
                                      const char* file, const char* argument = nullptr) {
    const std::string program = TestBinaryDir() + "/log_client";
    const std::string errors = folder + "/stderr";
    pid_t pid = fork();
    if (pid == 0) {
        unsetenv("TAVLIN_LOG_LEVELS");
        unsetenv("TAVLIN_LOG_FILE");
        if (levels != nullptr) setenv("TAVLIN_LOG_LEVELS", levels, 1);
        if (file != nullptr) setenv("TAVLIN_LOG_FILE", file, 1);
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0) _exit(126);
        dup2(fd, 2);
        execl(program.c_str(), program.c_str(), argument, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    std::ifstream in(errors);
    std::stringstream text;
    text << in.rdbuf();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str()};
}

size_t LineCount(const std::string& text) {
    size_t lines = 0;
    for (const char c : text) lines += c == '\n' ? 1 : 0;
    return lines;
}

TEST_F(LoggingTest, ProcessPrintsNothingUnlessAskedAndOneLineForBadValues) {
    const std::string folder = home_.string();
    const auto silent = RunClient(folder, nullptr, nullptr, "fail");
    EXPECT_EQ(silent.first, 0);
    EXPECT_EQ(silent.second, "");

    const auto bad = RunClient(folder, "camera:loud,lens:info", nullptr, "fail");
    EXPECT_EQ(bad.first, 0);
    EXPECT_EQ(LineCount(bad.second), 1u) << bad.second;
    EXPECT_EQ(bad.second.rfind("tavlin: logging: ignored TAVLIN_LOG_LEVELS", 0), 0u);

    const std::string unopenable = folder + "/no/such/folder/log";
    const auto badFile = RunClient(folder, nullptr, unopenable.c_str());
    EXPECT_EQ(badFile.first, 0);
    EXPECT_EQ(LineCount(badFile.second), 1u) << badFile.second;

    // To the file: appended there, and stderr stays quiet.
    const std::string logFile = folder + "/sdk.log";
    const auto toFile = RunClient(folder, "*:info", logFile.c_str(), "fail");
    EXPECT_EQ(toFile.first, 0);
    EXPECT_EQ(toFile.second, "");
    std::ifstream in(logFile);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find(" info camera pid="), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("opened on device 0"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find(" warn camera "), std::string::npos) << text.str();
    EXPECT_EQ(text.str().find(" debug "), std::string::npos) << text.str();

    // Without a file, to stderr.
    const auto toStderr = RunClient(folder, "camera:debug", nullptr);
    EXPECT_EQ(toStderr.first, 0);
    EXPECT_NE(toStderr.second.find("snapshot in idle mode"), std::string::npos);
    EXPECT_EQ(toStderr.second.find(" device pid="), std::string::npos) << toStderr.second;
}

}  // namespace
}  // namespace tavlin::test
