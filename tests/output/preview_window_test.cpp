#include "output/preview_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <thread>

#include "output/display_kernels.h"
#include "window/host_surface_window.h"

namespace tavlin::output {
namespace {

using platform::ClientSize;
using platform::SurfaceWindow;

// Pixel (x, y) of a 24-bit test image: blue = x, green = y, red = the high bits of both, so
// every pixel of a 1280 x 1024 image is distinct.
struct Rgb {
    uint8_t b, g, r;
    bool operator==(const Rgb&) const = default;
};

Rgb Expected(int32_t x, int32_t y) {
    return {static_cast<uint8_t>(x), static_cast<uint8_t>(y),
            static_cast<uint8_t>((x >> 8) | ((y >> 8) << 4))};
}

ImageBuffer CoordinateImage(int32_t width, int32_t height) {
    ImageBuffer image;
    EXPECT_EQ(image.Create(width, height, 24), 1);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const Rgb p = Expected(x, y);
            uint8_t* px = image.Bits() + y * image.Stride() + 3 * x;
            px[0] = p.b, px[1] = p.g, px[2] = p.r;
        }
    }
    return image;
}

class PreviewWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(platform::WindowClassTable::IsRegistered(kParentClass) ||
                    platform::WindowClassTable::Register(kParentClass));
        platform::WindowCreation creation;
        creation.className = kParentClass;
        creation.style = platform::kWsOverlappedWindow | platform::kWsVisible;
        creation.width = 1400;
        creation.height = 1200;
        parent_ = SurfaceWindow::Create(creation);
        ASSERT_NE(parent_, nullptr);
    }
    void TearDown() override { parent_->Destroy(); }

    // A child preview of the given client size, with its DC taken.
    platform::WindowHandle Child(PreviewWindow& preview, int32_t width, int32_t height) {
        const auto handle =
            preview.Create(this, parent_->Handle(), {10, 20, width, height}, 1280, 1024, 0);
        EXPECT_NE(handle, 0u);
        EXPECT_NE(preview.GetDc(), nullptr);
        return handle;
    }

    static std::shared_ptr<SurfaceWindow> Find(platform::WindowHandle handle) {
        return std::dynamic_pointer_cast<SurfaceWindow>(
            platform::WindowRegistry::Instance().Find(handle));
    }

    static Rgb Pixel(const std::vector<uint8_t>& pixels, ClientSize size, int32_t x, int32_t y) {
        const uint8_t* p = &pixels[(static_cast<size_t>(y) * size.width + x) * 3];
        return {p[0], p[1], p[2]};
    }

    static std::vector<uint8_t> Read(platform::WindowHandle handle, ClientSize* size) {
        std::vector<uint8_t> pixels;
        EXPECT_TRUE(Find(handle)->ReadPixels(24, &pixels, size));
        return pixels;
    }

    static constexpr char kParentClass[] = "PreviewTestParent";
    std::shared_ptr<SurfaceWindow> parent_;
};

TEST_F(PreviewWindowTest, TopLevelWindowIsCentredAndSizedBySubSampling) {
    EXPECT_EQ(PreviewClientSize(1280, 1024, 0).width, 1280);
    EXPECT_EQ(PreviewClientSize(1280, 1024, 1).width, 640);
    EXPECT_EQ(PreviewClientSize(1280, 1024, 17).height, 512);
    EXPECT_EQ(PreviewClientSize(1280, 1024, 18).width, 320);
    EXPECT_EQ(PreviewClientSize(1280, 1024, 3).height, 128);
    EXPECT_EQ(PreviewClientSize(1280, 1024, 19).width, 160);
    EXPECT_EQ(PreviewClientSize(1280, 1024, 5).width, 1280);

    PreviewWindow preview;
    const int owner = 0;
    const auto handle = preview.Create(&owner, 0, {0, 0, 0, 7}, 1280, 1024, 2);
    ASSERT_NE(handle, 0u);
    const auto window = Find(handle);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Title(), "Active Window");
    EXPECT_EQ(window->Style(), 0x16CF0000u);
    EXPECT_EQ(window->Parent(), 0u);
    EXPECT_EQ(window->Client().width, 320);
    EXPECT_EQ(window->Client().height, 256);
    platform::WindowRect frame{0, 0, 320, 256};
    platform::AdjustWindowRectEx(&frame, 0x16CF0000, false, 0);
    const platform::WindowRect rect = window->Rect();
    EXPECT_EQ(rect.Width(), frame.Width());
    EXPECT_EQ(rect.left, (platform::ScreenSize().width - frame.Width()) / 2);
    EXPECT_EQ(rect.top, (platform::ScreenSize().height - frame.Height()) / 2);
    EXPECT_TRUE(window->IsVisible());

    char ownerBits[9];
    std::snprintf(ownerBits, sizeof(ownerBits), "%08x",
                  static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&owner)));
    EXPECT_TRUE(std::regex_match(window->ClassName(), std::regex(std::string("VideoRenderer_") +
                                                                 ownerBits + "_[0-9a-f]{8}")))
        << window->ClassName();
    EXPECT_EQ(window->ClassName(), preview.ClassName());

    preview.Close();
    EXPECT_FALSE(window->IsAlive());
    EXPECT_TRUE(platform::WindowClassTable::IsRegistered(preview.ClassName()));

    // An absurd stored capture size gives the largest window there is, not an overflow.
    PreviewWindow huge;
    const auto hugeHandle = huge.Create(&owner, 0, {0, 0, 0, 7}, INT32_MAX, INT32_MAX, 0);
    ASSERT_NE(hugeHandle, 0u);
    const auto hugeWindow = Find(hugeHandle);
    ASSERT_NE(hugeWindow, nullptr);
    EXPECT_LE(hugeWindow->Rect().Width(), platform::kMaxWindowExtent);
    EXPECT_GT(hugeWindow->Client().width, 0);
    huge.Close();
    const std::string name = preview.ClassName();
    preview.UnregisterClass();
    EXPECT_FALSE(platform::WindowClassTable::IsRegistered(name));
    EXPECT_EQ(preview.ClassName(), "");
}

TEST_F(PreviewWindowTest, NothingPlacedMeansNoWindow) {
    PreviewWindow preview;
    EXPECT_EQ(preview.Create(this, 0, {0, 0, 0, 0}, 640, 480, 0), 0u);
    EXPECT_EQ(preview.GetDc(), nullptr);
    EXPECT_EQ(preview.ClassName(), "");
    ImageBuffer image = CoordinateImage(8, 8);
    EXPECT_EQ(preview.Draw(image), 0);
}

TEST_F(PreviewWindowTest, ChildWindowTakesThePlacementInItsParent) {
    PreviewWindow preview;
    const auto handle = Child(preview, 300, 200);
    const auto window = Find(handle);
    EXPECT_EQ(window->Title(), "ActiveMovie Window");
    EXPECT_EQ(window->Style(), 0x52000000u);
    EXPECT_EQ(window->ControlId(), 6540);
    EXPECT_EQ(window->Parent(), parent_->Handle());
    EXPECT_EQ(window->Rect().left, 10);
    EXPECT_EQ(window->Rect().top, 20);
    EXPECT_EQ(window->Client().width, 300);
    EXPECT_EQ(window->Client().height, 200);

    parent_->Show(platform::kSwHide);
    EXPECT_FALSE(preview.IsVisible()) << "a child of a hidden parent is hidden";
    parent_->Show(platform::kSwShow);
    EXPECT_TRUE(preview.IsVisible());

    PreviewWindow orphan;
    EXPECT_EQ(orphan.Create(this, 0xDEAD0, {0, 0, 10, 10}, 8, 8, 0), 0u) << "no such parent";
    EXPECT_EQ(orphan.ClassName(), "");
}

TEST_F(PreviewWindowTest, HalfSizeClientShowsEvenColumnsAndOddRows) {
    ImageBuffer image = CoordinateImage(1280, 1024);
    PreviewWindow preview;
    const auto handle = Child(preview, 640, 512);
    ASSERT_EQ(preview.Draw(image), 1);
    ClientSize size;
    const auto pixels = Read(handle, &size);
    ASSERT_EQ(size.width, 640);
    ASSERT_EQ(size.height, 512);
    for (int32_t y = 0; y < 512; y += 37) {
        for (int32_t x = 0; x < 640; x += 41) {
            ASSERT_EQ(Pixel(pixels, size, x, y), Expected(2 * x, 2 * y + 1)) << x << "," << y;
        }
    }
    EXPECT_EQ(Pixel(pixels, size, 639, 511), Expected(1278, 1023)) << "row 1023 at the bottom";
    EXPECT_EQ(preview.DisplayBuffer().Width(), 640);
}

TEST_F(PreviewWindowTest, EqualSizeDrawsTopRowFirstWithoutTheDisplayBuffer) {
    ImageBuffer image = CoordinateImage(64, 48);
    PreviewWindow preview;
    const auto handle = Child(preview, 64, 48);
    ASSERT_EQ(preview.Draw(image), 1);
    EXPECT_FALSE(preview.DisplayBuffer().Usable());
    ClientSize size;
    const auto pixels = Read(handle, &size);
    for (int32_t y = 0; y < 48; ++y) {
        for (int32_t x = 0; x < 64; ++x) ASSERT_EQ(Pixel(pixels, size, x, y), Expected(x, y));
    }
}

TEST_F(PreviewWindowTest, EveryOutputDepthShowsItsEightBitValues) {
    for (int depth : {8, 16, 32, 48, 64}) {
        for (int32_t clientWidth : {40, 80}) {  // equal size and doubled
            ImageBuffer image;
            ASSERT_EQ(image.Create(40, 30, depth), 1);
            const int wide = depth == 16 || depth == 48 || depth == 64;
            const int samples = depth / (wide ? 16 : 8);
            for (int32_t y = 0; y < 30; ++y) {
                for (int32_t x = 0; x < 40; ++x) {
                    for (int c = 0; c < samples; ++c) {
                        const int v = (x * 5 + y * 3 + c * 60) & 0xFF;
                        uint8_t* p = image.Bits() + y * image.Stride();
                        if (wide) {
                            const int v10 = (v << 2) | 3;
                            p[(x * samples + c) * 2] = static_cast<uint8_t>(v10);
                            p[(x * samples + c) * 2 + 1] = static_cast<uint8_t>(v10 >> 8);
                        } else {
                            p[x * samples + c] = static_cast<uint8_t>(v);
                        }
                    }
                }
            }
            PreviewWindow preview;
            const auto handle = Child(preview, clientWidth, clientWidth * 3 / 4);
            ASSERT_EQ(preview.Draw(image), 1) << depth;
            EXPECT_EQ(preview.DisplayBuffer().Usable(), depth == 16 || clientWidth != 40) << depth;
            ClientSize size;
            const auto pixels = Read(handle, &size);
            const int scale = clientWidth / 40;
            for (int32_t y = 0; y < size.height; y += 7) {
                for (int32_t x = 0; x < size.width; x += 3) {
                    const int32_t sx = x / scale, sy = y / scale;
                    const Rgb got = Pixel(pixels, size, x, y);
                    const uint8_t b = (sx * 5 + sy * 3) & 0xFF;
                    const Rgb want = samples == 1 ? Rgb{b, b, b}
                                                  : Rgb{b, static_cast<uint8_t>((b + 60) & 0xFF),
                                                        static_cast<uint8_t>((b + 120) & 0xFF)};
                    ASSERT_EQ(got, want)
                        << depth << " client " << clientWidth << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST_F(PreviewWindowTest, HiddenOrMinimisedWindowsAreNotDrawn) {
    ImageBuffer image = CoordinateImage(32, 32);
    PreviewWindow preview;
    const auto handle = Child(preview, 32, 32);
    const auto window = Find(handle);
    window->Show(platform::kSwHide);
    EXPECT_EQ(preview.Draw(image), 0);
    window->Show(platform::kSwMinimize);
    EXPECT_EQ(preview.Draw(image), 0);
    window->Show(platform::kSwRestore);
    ASSERT_EQ(preview.Draw(image), 1);
    ClientSize size;
    EXPECT_EQ(Pixel(Read(handle, &size), size, 31, 31), Expected(31, 31));
    window->Destroy();
    EXPECT_EQ(preview.Draw(image), 0) << "destroyed by the application";
}

TEST_F(PreviewWindowTest, ResizedClientAreaRemakesTheDisplayBuffer) {
    ImageBuffer image = CoordinateImage(100, 80);
    PreviewWindow preview;
    const auto handle = Child(preview, 50, 40);
    preview.PrepareDisplayBuffer(24);
    EXPECT_EQ(preview.DisplayBuffer().Width(), 50);
    ASSERT_EQ(preview.Draw(image), 1);
    Find(handle)->Move(0, 0, 200, 160);
    ASSERT_EQ(preview.Draw(image), 1);
    EXPECT_EQ(preview.DisplayBuffer().Width(), 200);
    ClientSize size;
    const auto pixels = Read(handle, &size);
    EXPECT_EQ(size.width, 200);
    EXPECT_EQ(Pixel(pixels, size, 199, 0), Expected(99, 0));
    EXPECT_EQ(Pixel(pixels, size, 0, 159), Expected(0, 79));
}

TEST_F(PreviewWindowTest, CloseWhileAnotherThreadDraws) {
    ImageBuffer image = CoordinateImage(64, 64);
    PreviewWindow preview;
    const auto handle = Child(preview, 96, 96);
    std::atomic<bool> stop{false};
    std::thread drawer([&] {
        while (!stop) preview.Draw(image);
    });
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 20; ++i) {
        if (auto window = Find(handle)) window->ReadPixels(32, &pixels, nullptr);
    }
    preview.Close();
    stop = true;
    drawer.join();
    EXPECT_EQ(preview.Draw(image), 0);
}

TEST(ScaleFlipKernelTest, StepsAreTruncatedSinglePrecisionProducts) {
    // Three source columns over seven: 3/7 steps give columns 0 0 0 1 1 2 2; rows are flipped.
    ImageBuffer source, display;
    ASSERT_EQ(source.Create(3, 2, 8), 1);
    ASSERT_EQ(display.Create(7, 4, 8), 1);
    const uint8_t values[2][3] = {{1, 2, 3}, {4, 5, 6}};  // memory row 0 is the top
    for (int y = 0; y < 2; ++y) std::copy_n(values[y], 3, source.Bits() + y * source.Stride());
    ASSERT_EQ(
        display.StretchTransfer(ScaleFlip8Kernel, &source, nullptr, nullptr, nullptr, nullptr), 1);
    const int columns[7] = {0, 0, 0, 1, 1, 2, 2};
    for (int i = 0; i < 4; ++i) {
        const int sourceRow = 1 - i / 2;  // display memory rows run bottom-up
        for (int j = 0; j < 7; ++j) {
            EXPECT_EQ(display.Bits()[i * display.Stride() + j], values[sourceRow][columns[j]])
                << i << "," << j;
        }
    }
    ImageBuffer colour;
    ASSERT_EQ(colour.Create(7, 4, 24), 1);
    EXPECT_EQ(colour.StretchTransfer(ScaleFlip8Kernel, &source, nullptr, nullptr, nullptr, nullptr),
              0)
        << "pixel sizes must match the kernel";
}

}  // namespace
}  // namespace tavlin::output
