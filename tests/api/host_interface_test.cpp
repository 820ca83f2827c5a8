#include "window/host_window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tavlin/tavlin_host.h"

namespace tavlin::platform {
namespace {

TEST(HostWindowTest, MessagesArriveInOrderWithTheirParameters) {
    TAVLIN_HWND w = TavlinHost_CreateMessageWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(TavlinHost_IsWindow(w), 1);
    EXPECT_EQ(TavlinHost_PostMessage(w, 0x8003, 0, 7), 1);
    EXPECT_EQ(TavlinHost_PostMessage(w, 0x8002, 0xDEADBEEF, 0), 1);
    EXPECT_EQ(TavlinHost_PendingMessages(w), 2);
    TavlinMessage m{};
    ASSERT_EQ(TavlinHost_PeekMessage(w, &m), 1);
    EXPECT_EQ(m.message, 0x8003u);
    EXPECT_EQ(m.lParam, 7);
    ASSERT_EQ(TavlinHost_GetMessage(w, &m, 0), 1);
    EXPECT_EQ(m.message, 0x8002u);
    EXPECT_EQ(m.wParam, 0xDEADBEEFu);
    EXPECT_EQ(TavlinHost_PeekMessage(w, &m), 0);
    EXPECT_EQ(TavlinHost_DestroyWindow(w), 1);
}

TEST(HostWindowTest, DestroyedAndUnknownWindowsRefusePostsAndReads) {
    TAVLIN_HWND w = TavlinHost_CreateMessageWindow();
    TavlinHost_PostMessage(w, 1, 2, 3);
    ASSERT_EQ(TavlinHost_DestroyWindow(w), 1);
    EXPECT_EQ(TavlinHost_DestroyWindow(w), 0);
    EXPECT_EQ(TavlinHost_IsWindow(w), 0);
    EXPECT_EQ(TavlinHost_PostMessage(w, 1, 2, 3), 0);
    TavlinMessage m{};
    EXPECT_EQ(TavlinHost_GetMessage(w, &m, 10), 0);
    EXPECT_EQ(TavlinHost_GetMessage(reinterpret_cast<TAVLIN_HWND>(0x42), &m, 0), 0);
    // A new window never takes over the old handle.
    TAVLIN_HWND fresh = TavlinHost_CreateMessageWindow();
    EXPECT_NE(fresh, w);
    TavlinHost_DestroyWindow(fresh);
}

TEST(HostWindowTest, BlockingReadWakesForAPostFromAnotherThread) {
    TAVLIN_HWND w = TavlinHost_CreateMessageWindow();
    std::thread poster([w] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        TavlinHost_PostMessage(w, 0x8002, 1, 2);
    });
    TavlinMessage m{};
    EXPECT_EQ(TavlinHost_GetMessage(w, &m, 5000), 1);
    EXPECT_EQ(m.lParam, 2);
    poster.join();
    EXPECT_EQ(TavlinHost_GetMessage(w, &m, 10), 0);  // times out when nothing comes
    TavlinHost_DestroyWindow(w);
}

TEST(HostWindowTest, DestroyWakesABlockedReader) {
    TAVLIN_HWND w = TavlinHost_CreateMessageWindow();
    const auto window = WindowRegistry::Instance().Find(reinterpret_cast<WindowHandle>(w));
    std::thread reader([window] {
        Message m;
        EXPECT_FALSE(window->Queue().Get(m, -1));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    TavlinHost_DestroyWindow(w);
    reader.join();
}

TEST(HostWindowTest, NullWindowPostsStayWithThePostingThread) {
    EXPECT_EQ(TavlinHost_PostMessage(nullptr, 0x8003, 0, 11), 1);
    std::thread other([] {
        TavlinMessage m{};
        EXPECT_EQ(TavlinHost_GetThreadMessage(&m, 0), 0);  // not this thread's post
    });
    other.join();
    TavlinMessage m{};
    ASSERT_EQ(TavlinHost_GetThreadMessage(&m, 0), 1);
    EXPECT_EQ(m.window, nullptr);
    EXPECT_EQ(m.lParam, 11);
}

TEST(HostWindowTest, AFullQueueRefusesInsteadOfGrowing) {
    MessageQueue queue;
    for (size_t i = 0; i < MessageQueue::kCapacity; ++i) ASSERT_TRUE(queue.Post({0, 1, 0, 0}));
    EXPECT_FALSE(queue.Post({0, 1, 0, 0}));
    Message m;
    ASSERT_TRUE(queue.Get(m, 0));
    EXPECT_TRUE(queue.Post({0, 1, 0, 0}));
}

}  // namespace
}  // namespace tavlin::platform
