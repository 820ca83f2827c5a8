#include "camera/error_reporter.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace tavlin::camera {
namespace {

TEST(ErrorReporterTest, PopsNewestFirstThenZero) {
    ErrorReporter errors;
    errors.Report(9);
    errors.Report(1);
    errors.Report(7);
    EXPECT_EQ(errors.PopLast(), 7);
    EXPECT_EQ(errors.PopLast(), 1);
    EXPECT_EQ(errors.PopLast(), 9);
    EXPECT_EQ(errors.PopLast(), 0);
}

TEST(ErrorReporterTest, TwentyFirstFailureDropsTheOldest) {
    ErrorReporter errors;
    for (int code = 1; code <= 21; ++code) errors.Report(code);
    for (int expected = 21; expected >= 2; --expected) EXPECT_EQ(errors.PopLast(), expected);
    EXPECT_EQ(errors.PopLast(), 0);  // the 21st read: the first failure is gone
}

TEST(ErrorReporterTest, RecordsBeforePostingAndPostOnlyLeavesHistory) {
    auto window = std::make_shared<platform::HostWindow>();
    const auto handle = platform::WindowRegistry::Instance().Add(window);
    ErrorReporter errors;
    errors.SetNotifyWindow(handle);
    errors.Report(5);
    errors.PostOnly(11);

    platform::Message m;
    ASSERT_TRUE(window->Queue().Get(m, 0));
    EXPECT_EQ(m.message, kMsgError);
    EXPECT_EQ(m.wParam, 0u);
    EXPECT_EQ(m.lParam, 5);
    ASSERT_TRUE(window->Queue().Get(m, 0));
    EXPECT_EQ(m.lParam, 11);
    EXPECT_EQ(errors.PopLast(), 5);
    EXPECT_EQ(errors.PopLast(), 0);
    platform::WindowRegistry::Instance().Remove(handle);
}

TEST(ErrorReporterTest, PostOnlyWithoutWindowGoesToTheCallingThreadsQueue) {
    ErrorReporter errors;
    errors.Report(3);  // no window: recorded, not posted anywhere
    errors.PostOnly(9);
    platform::Message m;
    ASSERT_TRUE(platform::ThreadQueue().Get(m, 0));
    EXPECT_EQ(m.window, 0u);
    EXPECT_EQ(m.lParam, 9);
    EXPECT_FALSE(platform::ThreadQueue().Get(m, 0));
}

TEST(ErrorReporterTest, ConcurrentReportersNeitherLoseNorTearEntries) {
    ErrorReporter errors;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&errors, t] {
            for (int i = 0; i < 5; ++i) errors.Report(t + 1);
        });
    }
    for (auto& thread : threads) thread.join();
    int counts[5] = {};
    for (int i = 0; i < 20; ++i) {
        const int code = errors.PopLast();
        ASSERT_GE(code, 1);
        ASSERT_LE(code, 4);
        ++counts[code];
    }
    for (int t = 1; t <= 4; ++t) EXPECT_EQ(counts[t], 5);
    EXPECT_EQ(errors.PopLast(), 0);
}

}  // namespace
}  // namespace tavlin::camera
