#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <thread>

#include "platform/clock.h"
#include "platform/language.h"
#include "platform/sync.h"
#include "platform/text_convert.h"

namespace tavlin::platform {
namespace {

TEST(TextConvertTest, RoundTripsEveryPlane) {
    const std::u16string wide = u"cam\u00e9ra \u65e5\u672c \U0001F4F7";
    const auto narrow = Utf16ToUtf8(wide);
    ASSERT_TRUE(narrow.has_value());
    EXPECT_EQ(*narrow, "cam\xc3\xa9ra \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x93\xb7");
    const auto back = Utf8ToUtf16(*narrow);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, wide);
}

TEST(TextConvertTest, UnpairedSurrogatesFail) {
    EXPECT_FALSE(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))).has_value());
    EXPECT_FALSE(Utf16ToUtf8(std::u16string(1, char16_t(0xDC00))).has_value());
    const char16_t reversed[] = {0xDC00, 0xD800};
    EXPECT_FALSE(Utf16ToUtf8(std::u16string_view(reversed, 2)).has_value());
}

TEST(TextConvertTest, MalformedUtf8Fails) {
    for (const char* bad :
         {"\x80", "\xc3", "\xe6\x97", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xff"}) {
        EXPECT_FALSE(Utf8ToUtf16(bad).has_value()) << "accepted " << bad;
    }
}

TEST(TextConvertTest, BoundedWideStringNeedsTheTerminatorWithinTheLimit) {
    const char16_t text[] = u"abc";
    EXPECT_EQ(BoundedWideString(text, 3)->size(), 3u);
    EXPECT_FALSE(BoundedWideString(text, 2).has_value());
    EXPECT_FALSE(BoundedWideString(nullptr, 10).has_value());
}

TEST(LanguageTest, JapaneseLocalesGive1041) {
    const char* saved = getenv("LC_ALL");
    const std::string keep = saved ? saved : "";
    setenv("LC_ALL", "ja_JP.UTF-8", 1);
    EXPECT_EQ(SystemLanguageId(), 1041);
    setenv("LC_ALL", "jav_ID", 1);
    EXPECT_EQ(SystemLanguageId(), 1033);
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    EXPECT_EQ(SystemLanguageId(), 1033);
    if (saved)
        setenv("LC_ALL", keep.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

TEST(EventTest, AutoResetReleasesOneWaitAndResets) {
    Event event(Event::Reset::Auto);
    EXPECT_EQ(event.Wait(0), WaitResult::TimedOut);
    event.Set();
    EXPECT_EQ(event.Wait(0), WaitResult::Signaled);
    EXPECT_EQ(event.Wait(10), WaitResult::TimedOut);
}

TEST(EventTest, ManualResetStaysSetForEveryWaiter) {
    Event event(Event::Reset::Manual);
    std::atomic<int> woken{0};
    std::thread a([&] {
        if (event.Wait(5000) == WaitResult::Signaled) ++woken;
    });
    std::thread b([&] {
        if (event.Wait(5000) == WaitResult::Signaled) ++woken;
    });
    event.Set();
    a.join();
    b.join();
    EXPECT_EQ(woken.load(), 2);
    EXPECT_EQ(event.Wait(0), WaitResult::Signaled);
    event.ResetEvent();
    EXPECT_EQ(event.Wait(0), WaitResult::TimedOut);
}

TEST(ClockTest, TicksAdvanceWithSleep) {
    const uint32_t start = TickCount();
    SleepMs(20);
    EXPECT_GE(static_cast<uint32_t>(TickCount() - start), 19u);
}

}  // namespace
}  // namespace tavlin::platform
