// Telling one process from a later one given the same id.
#include "platform/process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace tavlin::platform {
namespace {

TEST(ProcessTest, StatLinesWithAwkwardCommandNames) {
    const char* tail = " 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 424242 19 20\n";
    const auto plain = ParseProcessStat((std::string("77 (sleep) S") + tail).c_str());
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->state, 'S');
    EXPECT_EQ(plain->startTime, 424242u);
    // A name may contain spaces and parentheses; only the last ')' ends it.
    const auto odd = ParseProcessStat((std::string("77 (a) Z (b) R") + tail).c_str());
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->state, 'R');
    EXPECT_EQ(odd->startTime, 424242u);

    EXPECT_FALSE(ParseProcessStat(""));
    EXPECT_FALSE(ParseProcessStat("77 sleep S 1 2 3"));
    EXPECT_FALSE(ParseProcessStat("77 (sleep) S 1 2 3"));
    EXPECT_FALSE(ParseProcessStat("77 (x) S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 -5 1"));
    EXPECT_FALSE(ParseProcessStat("77 (x) S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 9x 1"));
}

TEST(ProcessTest, OwnStartTimeIsStableAndOthersAreAbsent) {
    const auto start = ProcessStartTime(CurrentProcessId());
    ASSERT_TRUE(start);
    EXPECT_NE(*start, 0u);
    EXPECT_EQ(ProcessStartTime(CurrentProcessId()), start);
    EXPECT_FALSE(ProcessStartTime(0));
    EXPECT_FALSE(ProcessStartTime(uint64_t{1} << 40));
}

}  // namespace
}  // namespace tavlin::platform
