#include "window/host_surface_window.h"

#include <gtest/gtest.h>

namespace tavlin::platform {
namespace {

class SurfaceWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!WindowClassTable::IsRegistered(kClass)) {
            ASSERT_TRUE(WindowClassTable::Register(kClass));
        }
    }

    static std::shared_ptr<SurfaceWindow> Make(uint32_t style, WindowHandle parent, int32_t width,
                                               int32_t height) {
        WindowCreation creation;
        creation.className = kClass;
        creation.style = style;
        creation.width = width;
        creation.height = height;
        creation.parent = parent;
        creation.controlId = 77;
        return SurfaceWindow::Create(creation);
    }

    static constexpr char kClass[] = "SurfaceWindowTest";
};

TEST_F(SurfaceWindowTest, ClassesRegisterOnce) {
    EXPECT_FALSE(WindowClassTable::Register(kClass));
    EXPECT_FALSE(WindowClassTable::Register(""));
    EXPECT_TRUE(WindowClassTable::Register("SurfaceWindowTest.Other"));
    EXPECT_TRUE(WindowClassTable::Unregister("SurfaceWindowTest.Other"));
    EXPECT_FALSE(WindowClassTable::Unregister("SurfaceWindowTest.Other"));
    WindowCreation unregistered;
    unregistered.className = "SurfaceWindowTest.Other";
    EXPECT_EQ(SurfaceWindow::Create(unregistered), nullptr);
}

// Frames added to a rectangle at the limits of int32_t stay at the limits rather than wrapping.
TEST(AdjustWindowRectTest, SaturatesAtTheLimits) {
    WindowRect rect{INT32_MIN + 1, INT32_MIN + 1, INT32_MAX - 1, INT32_MAX - 1};
    ASSERT_TRUE(AdjustWindowRectEx(&rect, kWsOverlappedWindow, true, 0x200));  // client edge
    EXPECT_EQ(rect.left, INT32_MIN);
    EXPECT_EQ(rect.top, INT32_MIN);
    EXPECT_EQ(rect.right, INT32_MAX);
    EXPECT_EQ(rect.bottom, INT32_MAX);
}

TEST_F(SurfaceWindowTest, FramesAndClientAreas) {
    WindowRect rect{0, 0, 320, 256};
    ASSERT_TRUE(AdjustWindowRectEx(&rect, kWsOverlappedWindow | kWsVisible, false, 0));
    EXPECT_LT(rect.left, 0);
    EXPECT_LT(rect.top, rect.left) << "the caption sits on top";
    const auto top = Make(kWsOverlappedWindow | kWsVisible, 0, rect.Width(), rect.Height());
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->Client().width, 320);
    EXPECT_EQ(top->Client().height, 256);
    EXPECT_EQ(top->ControlId(), 0) << "only child windows carry an identifier";

    const auto child = Make(kWsChild | kWsVisible, top->Handle(), 50, 40);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->Client().width, 50) << "a child without border is all client";
    EXPECT_EQ(child->ControlId(), 77);
    const auto huge = Make(kWsChild, top->Handle(), 100000, -5);
    EXPECT_EQ(huge->Rect().Width(), kMaxWindowExtent);
    EXPECT_EQ(huge->Rect().Height(), 0);
    huge->Destroy();

    top->Destroy();
    EXPECT_FALSE(child->IsVisible()) << "its parent is gone";
    EXPECT_EQ(Make(kWsChild, top->Handle(), 5, 5), nullptr) << "stale parent";
    child->Destroy();
    EXPECT_EQ(child->GetDc(), nullptr);
}

TEST_F(SurfaceWindowTest, DcSurvivesResizeAndPaintLandsOnTheSurface) {
    const auto window = Make(kWsChild | kWsVisible, 0, 4, 3);
    const gdi::HDC dc = window->GetDc();
    ASSERT_NE(dc, nullptr);
    EXPECT_TRUE(window->ReleaseDc(dc));
    window->Move(0, 0, 6, 2);
    EXPECT_EQ(window->GetDc(), dc);

    gdi::BITMAPINFO info{};
    info.bmiHeader = {40, 1, 1, 1, 24, gdi::BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const gdi::HBITMAP source =
        gdi::CreateDIBSection(nullptr, &info, gdi::DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(source, nullptr);
    static_cast<uint8_t*>(bits)[0] = 9;
    static_cast<uint8_t*>(bits)[2] = 200;
    const gdi::HDC sourceDc = gdi::CreateCompatibleDC(nullptr);
    const gdi::HGDIOBJ previous = gdi::SelectObject(sourceDc, source);
    EXPECT_EQ(window->Paint([&](gdi::HDC target, ClientSize client) {
        EXPECT_EQ(client.width, 6);
        return gdi::StretchBlt(target, 0, 0, client.width, client.height, sourceDc, 0, 0, 1, 1,
                               gdi::SRCCOPY);
    }),
              1);
    std::vector<uint8_t> pixels;
    ClientSize size;
    ASSERT_TRUE(window->ReadPixels(24, &pixels, &size));
    ASSERT_EQ(pixels.size(), 6u * 2 * 3);
    EXPECT_EQ(pixels[pixels.size() - 3], 9);
    EXPECT_EQ(pixels[pixels.size() - 1], 200);
    EXPECT_FALSE(window->ReadPixels(8, &pixels, &size));

    window->Show(kSwMinimize);
    EXPECT_EQ(window->Paint([](gdi::HDC, ClientSize) { return 1; }), 0) << "no client area";
    gdi::SelectObject(sourceDc, previous);
    gdi::DeleteObject(source);
    gdi::DeleteDC(sourceDc);
    window->Destroy();
}

}  // namespace
}  // namespace tavlin::platform
