// The window lookup while other threads make and destroy parents and previews in them: every
// answer is a window that had that place in the tree, and nothing races (run under tsan too).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "api/export_frame.h"
#include "output/preview_window.h"
#include "tavlin/tavlin_host.h"

namespace tavlin::api {
namespace {

constexpr char kChildTitle[] = "ActiveMovie Window";

// Makes a parent with a preview in it, then takes them down parent first (orphaning the
// preview for a moment) or preview first, in turns.
void MakeAndDestroy(int rounds) {
    for (int i = 0; i < rounds; ++i) {
        TAVLIN_HWND parent = TavlinHost_CreateParentWindow(16, 16);
        ASSERT_NE(parent, nullptr);
        output::PreviewWindow preview;
        ASSERT_NE(preview.Create(&preview, ToHandle(parent), {0, 0, 8, 8}, 8, 8, 0), 0u);
        if (i % 2 == 0) TavlinHost_DestroyWindow(parent);
        preview.Close();
        TavlinHost_DestroyWindow(parent);
    }
}

// One look at the tree; false when an answer contradicts the tree it came from.
bool LookOnce() {
    TAVLIN_HWND top[64];
    const int32_t count = TavlinHost_EnumChildWindows(nullptr, top, 64);
    if (count < 0) return false;
    for (int32_t i = 0; i < std::min(count, 64); ++i) {
        const TAVLIN_HWND child = TavlinHost_FindWindowEx(top[i], nullptr, nullptr, kChildTitle);
        if (child == nullptr) continue;
        // Destroyed meanwhile is fine; anything else must be what was asked for.
        const TAVLIN_HWND parent = TavlinHost_GetParent(child);
        if (parent != nullptr && parent != top[i]) return false;
        char title[32] = {};
        const int32_t length = TavlinHost_GetWindowText(child, title, sizeof title);
        if (length >= 0 && std::strcmp(title, kChildTitle) != 0) return false;
        if (TavlinHost_GetWindow(child, TAVLIN_GW_HWNDNEXT) == child) return false;
    }
    return true;
}

TEST(WindowLookupConcurrencyTest, LookupsRunWhileWindowsComeAndGo) {
    std::atomic<int> makersLeft{2};
    std::atomic<int> contradictions{0};
    std::vector<std::thread> threads;
    for (int m = 0; m < 2; ++m) {
        threads.emplace_back([&] {
            MakeAndDestroy(150);
            --makersLeft;
        });
    }
    for (int w = 0; w < 2; ++w) {
        threads.emplace_back([&] {
            int looks = 0;
            while (makersLeft.load() > 0 || looks < 10) {
                if (!LookOnce()) ++contradictions;
                ++looks;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(contradictions.load(), 0);
}

}  // namespace
}  // namespace tavlin::api
