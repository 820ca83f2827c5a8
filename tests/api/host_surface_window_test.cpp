#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/export_frame.h"
#include "output/preview_window.h"
#include "tavlin/tavlin_host.h"

namespace tavlin::api {
namespace {

TEST(HostSurfaceWindowTest, ParentWindowHasTheRequestedClientArea) {
    TAVLIN_HWND parent = TavlinHost_CreateParentWindow(800, 600);
    ASSERT_NE(parent, nullptr);
    int32_t width = 0, height = 0;
    ASSERT_EQ(TavlinHost_GetClientSize(parent, &width, &height), 1);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
    int32_t x = -1, y = -1, outerWidth = 0, outerHeight = 0;
    ASSERT_EQ(TavlinHost_GetWindowRect(parent, &x, &y, &outerWidth, &outerHeight), 1);
    EXPECT_GT(outerWidth, 800) << "the frame surrounds the client area";
    EXPECT_GT(outerHeight, 600);
    EXPECT_EQ(TavlinHost_GetParent(parent), nullptr);
    EXPECT_EQ(TavlinHost_IsWindowVisible(parent), 1);
    char name[64];
    EXPECT_EQ(TavlinHost_GetClassName(parent, name, sizeof(name)), 16);
    EXPECT_STREQ(name, "TavlinHostWindow");
    EXPECT_EQ(TavlinHost_GetWindowText(parent, name, sizeof(name)), 0);

    EXPECT_EQ(TavlinHost_ShowWindow(parent, TAVLIN_SW_HIDE), 1);
    EXPECT_EQ(TavlinHost_IsWindowVisible(parent), 0);
    EXPECT_EQ(TavlinHost_ShowWindow(parent, 3), 0);
    EXPECT_EQ(TavlinHost_ShowWindow(parent, TAVLIN_SW_MINIMIZE), 1);
    ASSERT_EQ(TavlinHost_GetClientSize(parent, &width, &height), 1);
    EXPECT_EQ(width | height, 0) << "a minimised window has no client area";
    EXPECT_EQ(TavlinHost_ShowWindow(parent, TAVLIN_SW_RESTORE), 1);
    EXPECT_EQ(TavlinHost_MoveWindow(parent, 5, 6, outerWidth + 100, outerHeight), 1);
    ASSERT_EQ(TavlinHost_GetClientSize(parent, &width, &height), 1);
    EXPECT_EQ(width, 900);

    EXPECT_EQ(TavlinHost_DestroyWindow(parent), 1);
    EXPECT_EQ(TavlinHost_GetClientSize(parent, &width, &height), 0);
    EXPECT_EQ(TavlinHost_GetWindowText(parent, name, sizeof(name)), -1);
    EXPECT_EQ(TavlinHost_CreateParentWindow(-1, 10), nullptr);
    EXPECT_EQ(TavlinHost_CreateParentWindow(10, 40000), nullptr);
}

TEST(HostSurfaceWindowTest, MessageWindowsHaveNoClientArea) {
    TAVLIN_HWND messages = TavlinHost_CreateMessageWindow();
    int32_t width = 0;
    EXPECT_EQ(TavlinHost_GetClientSize(messages, &width, nullptr), 0);
    EXPECT_EQ(TavlinHost_ReadWindowPixels(messages, nullptr, 0, 24, &width, nullptr), 0);
    EXPECT_EQ(TavlinHost_IsWindowVisible(messages), 0);
    TavlinHost_DestroyWindow(messages);
}

TEST(HostSurfaceWindowTest, PreviewPixelsReadBackThroughTheHostInterface) {
    TAVLIN_HWND parent = TavlinHost_CreateParentWindow(640, 480);
    ASSERT_NE(parent, nullptr);
    output::PreviewWindow preview;
    const auto child = ToHwnd(preview.Create(&preview, ToHandle(parent), {4, 8, 3, 2}, 3, 2, 0));
    ASSERT_NE(child, nullptr);
    ASSERT_NE(preview.GetDc(), nullptr);

    char title[8];
    EXPECT_EQ(TavlinHost_GetWindowText(child, title, sizeof(title)), 18);
    EXPECT_STREQ(title, "ActiveM") << "truncated to the buffer";
    uint32_t style = 0, exStyle = 1;
    int32_t id = 0;
    ASSERT_EQ(TavlinHost_GetWindowStyle(child, &style, &exStyle, &id), 1);
    EXPECT_EQ(style, 0x52000000u);
    EXPECT_EQ(exStyle, 0u);
    EXPECT_EQ(id, 6540);
    EXPECT_EQ(TavlinHost_GetParent(child), parent);

    output::ImageBuffer image;
    ASSERT_EQ(image.Create(3, 2, 24), 1);
    for (int i = 0; i < 3 * 3; ++i) image.Bits()[i] = static_cast<uint8_t>(10 + i);  // top row
    for (int i = 0; i < 3 * 3; ++i) image.Bits()[image.Stride() + i] = static_cast<uint8_t>(50 + i);
    ASSERT_EQ(preview.Draw(image), 1);

    int32_t width = 0, height = 0;
    EXPECT_EQ(TavlinHost_ReadWindowPixels(child, nullptr, 0, 32, &width, &height), 0);
    EXPECT_EQ(width, 3);
    EXPECT_EQ(height, 2);
    std::vector<uint8_t> bgr(3 * 2 * 3);
    EXPECT_EQ(TavlinHost_ReadWindowPixels(child, bgr.data(), bgr.size() - 1, 24, &width, &height),
              0);
    ASSERT_EQ(TavlinHost_ReadWindowPixels(child, bgr.data(), bgr.size(), 24, &width, &height), 1);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(bgr[i], 10 + i);
        EXPECT_EQ(bgr[9 + i], 50 + i);
    }
    std::vector<uint8_t> bgrx(3 * 2 * 4);
    ASSERT_EQ(TavlinHost_ReadWindowPixels(child, bgrx.data(), bgrx.size(), 32, nullptr, nullptr),
              1);
    EXPECT_EQ(bgrx[4], 13);
    EXPECT_EQ(bgrx[7], 0);
    EXPECT_EQ(TavlinHost_ReadWindowPixels(child, bgrx.data(), bgrx.size(), 16, nullptr, nullptr),
              0);

    TavlinHost_ShowWindow(parent, TAVLIN_SW_HIDE);
    EXPECT_EQ(TavlinHost_IsWindowVisible(child), 0);
    EXPECT_EQ(preview.Draw(image), 0);
    preview.Close();
    EXPECT_EQ(TavlinHost_IsWindow(child), 0);
    TavlinHost_DestroyWindow(parent);
}

}  // namespace
}  // namespace tavlin::api
