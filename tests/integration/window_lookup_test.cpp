// Finding the preview window through the host interface, as an application does with
// FindWindowEx and GetWindow: in a parent the application gave and as a top-level window, its
// class, title, style and size, and its pixels against the image the SDK processed; destroyed
// windows, several children in one parent, and handles that name no window in the tree.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <regex>
#include <string>
#include <vector>

#include "integration/sdk_fixture.h"

namespace tavlin::test {
namespace {

// 160 x 128 images: the sensor's 1280 x 1024 sub-sampled by 8.
constexpr int32_t kWidth = 160;
constexpr int32_t kHeight = 128;
constexpr char kChildTitle[] = "ActiveMovie Window";
constexpr char kTopLevelTitle[] = "Active Window";

std::string ClassOf(TAVLIN_HWND window) {
    char name[300] = {};
    return TavlinHost_GetClassName(window, name, sizeof name) < 0 ? "<none>" : name;
}

bool IsPreviewClass(const std::string& name) {
    return std::regex_match(name, std::regex("VideoRenderer_[0-9a-f]{8}_[0-9a-f]{8}"));
}

std::vector<TAVLIN_HWND> Children(TAVLIN_HWND parent) {
    const int32_t count = TavlinHost_EnumChildWindows(parent, nullptr, 0);
    if (count <= 0) return {};
    std::vector<TAVLIN_HWND> children(static_cast<size_t>(count));
    EXPECT_EQ(TavlinHost_EnumChildWindows(parent, children.data(), count), count);
    return children;
}

std::vector<TAVLIN_HWND> WalkSiblings(TAVLIN_HWND first) {
    std::vector<TAVLIN_HWND> seen;
    for (TAVLIN_HWND w = first; w != nullptr && seen.size() < 100;
         w = TavlinHost_GetWindow(w, TAVLIN_GW_HWNDNEXT)) {
        seen.push_back(w);
    }
    return seen;
}

class WindowLookupTest : public SdkTest {
  protected:
    void UseSmallFrames(int32_t camera) {
        ASSERT_EQ(Tavlin_SetColorMode(camera, 24), 1);
        ASSERT_EQ(Tavlin_SetSubSample(camera, 3), 1);
        ASSERT_EQ(Tavlin_SetWaitTime(camera, 0), 1);
    }

    // Streams a few frames into the preview and stops, so the window keeps the last frame drawn
    // and Tavlin_GetImage gives that same frame.
    void PreviewSomeFrames() {
        callback_.assign(static_cast<size_t>(kWidth) * kHeight * 3, 0);
        ASSERT_EQ(Tavlin_CallBackPreview(camera_, frames_, callback_.data(),
                                         static_cast<int32_t>(callback_.size()), 1),
                  1);
        int frames = 0;
        TavlinMessage m;
        while (frames < 3 && NextFrameMessage(m)) frames += m.wParam != 0 ? 1 : 0;
        ASSERT_EQ(frames, 3);
        ASSERT_EQ(Tavlin_StopPreview(camera_), 1);
    }

    // The processed image, top row first (B, G, R; 160 x 3 bytes per row need no padding).
    std::vector<uint8_t> ProcessedImage() {
        std::vector<uint8_t> image(static_cast<size_t>(kWidth) * kHeight * 3);
        EXPECT_EQ(Tavlin_GetImage(camera_, image.data(), static_cast<int32_t>(image.size()), 1), 1);
        return image;
    }

    static std::vector<uint8_t> Pixels(TAVLIN_HWND window, int32_t* width, int32_t* height) {
        EXPECT_EQ(TavlinHost_ReadWindowPixels(window, nullptr, 0, 24, width, height), 0);
        std::vector<uint8_t> pixels(static_cast<size_t>(*width) * *height * 3);
        EXPECT_EQ(
            TavlinHost_ReadWindowPixels(window, pixels.data(), pixels.size(), 24, width, height),
            1);
        return pixels;
    }

    // The one top-level window with the preview's title and class pattern.
    static TAVLIN_HWND FindTopLevelPreview() {
        TAVLIN_HWND found = nullptr;
        for (TAVLIN_HWND w = TavlinHost_FindWindow(nullptr, kTopLevelTitle); w != nullptr;
             w = TavlinHost_FindWindowEx(nullptr, w, nullptr, kTopLevelTitle)) {
            if (!IsPreviewClass(ClassOf(w))) continue;
            EXPECT_EQ(found, nullptr) << "a second top-level preview";
            found = w;
        }
        return found;
    }

    std::vector<uint8_t> callback_;
};

TEST_F(WindowLookupTest, ChildPreviewIsFoundInItsParentAndShowsTheProcessedImage) {
    UseSmallFrames(camera_);
    TAVLIN_HWND parent = TavlinHost_CreateParentWindow(400, 300);
    ASSERT_NE(parent, nullptr);
    ASSERT_EQ(Tavlin_SetPreviewWindow(camera_, parent, 10, 20, kWidth, kHeight), 1);
    PreviewSomeFrames();

    const TAVLIN_HWND preview = TavlinHost_FindWindowEx(parent, nullptr, nullptr, kChildTitle);
    ASSERT_NE(preview, nullptr);
    const std::string className = ClassOf(preview);
    EXPECT_TRUE(IsPreviewClass(className)) << className;
    std::string shouted = className;
    for (char& c : shouted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(TavlinHost_FindWindowEx(parent, nullptr, shouted.c_str(), "activemovie window"),
              preview)
        << "class names and titles compare ignoring case";
    EXPECT_EQ(TavlinHost_FindWindowEx(parent, nullptr, className.c_str(), "ActiveMovie"), nullptr);
    EXPECT_EQ(TavlinHost_FindWindow(className.c_str(), nullptr), nullptr) << "not top-level";
    EXPECT_EQ(TavlinHost_GetWindow(parent, TAVLIN_GW_CHILD), preview);
    EXPECT_EQ(Children(parent), std::vector<TAVLIN_HWND>{preview});
    EXPECT_EQ(TavlinHost_GetParent(preview), parent);

    uint32_t style = 0, exStyle = 1;
    int32_t controlId = 0, x = 0, y = 0, width = 0, height = 0;
    ASSERT_EQ(TavlinHost_GetWindowStyle(preview, &style, &exStyle, &controlId), 1);
    EXPECT_EQ(style, 0x52000000u);
    EXPECT_EQ(exStyle, 0u);
    EXPECT_EQ(controlId, 6540);
    ASSERT_EQ(TavlinHost_GetWindowRect(preview, &x, &y, nullptr, nullptr), 1);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 20);
    const std::vector<uint8_t> pixels = Pixels(preview, &width, &height);
    EXPECT_EQ(width, kWidth);
    EXPECT_EQ(height, kHeight);
    const std::vector<uint8_t> image = ProcessedImage();
    ASSERT_NE(std::count(image.begin(), image.end(), image[0]), std::ptrdiff_t(image.size()))
        << "a scene with detail, so equal pixels mean something";
    EXPECT_TRUE(pixels == image) << "the client area shows the last processed frame";
    EXPECT_TRUE(callback_ == image);

    // Closing destroys the window: it is found no more, and its stale handle leads nowhere.
    ASSERT_EQ(Tavlin_Close(camera_), 1);
    EXPECT_EQ(TavlinHost_IsWindow(preview), 0);
    EXPECT_EQ(TavlinHost_FindWindowEx(parent, nullptr, nullptr, kChildTitle), nullptr);
    EXPECT_EQ(TavlinHost_FindWindowEx(parent, preview, nullptr, nullptr), nullptr);
    EXPECT_EQ(TavlinHost_FindWindowEx(preview, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(TavlinHost_GetWindow(parent, TAVLIN_GW_CHILD), nullptr);
    EXPECT_EQ(TavlinHost_GetWindow(preview, TAVLIN_GW_HWNDFIRST), nullptr);
    EXPECT_EQ(TavlinHost_EnumChildWindows(parent, nullptr, 0), 0);
    EXPECT_EQ(TavlinHost_EnumChildWindows(preview, nullptr, 0), -1);
    TavlinHost_DestroyWindow(parent);
}

TEST_F(WindowLookupTest, ScaledChildShowsEveryOtherColumnAndTheOddRows) {
    UseSmallFrames(camera_);
    TAVLIN_HWND parent = TavlinHost_CreateParentWindow(200, 200);
    ASSERT_NE(parent, nullptr);
    ASSERT_EQ(Tavlin_SetPreviewWindow(camera_, parent, 0, 0, kWidth / 2, kHeight / 2), 1);
    PreviewSomeFrames();

    const TAVLIN_HWND preview = TavlinHost_FindWindowEx(parent, nullptr, nullptr, kChildTitle);
    ASSERT_NE(preview, nullptr);
    int32_t width = 0, height = 0;
    const std::vector<uint8_t> pixels = Pixels(preview, &width, &height);
    ASSERT_EQ(width, kWidth / 2);
    ASSERT_EQ(height, kHeight / 2);
    const std::vector<uint8_t> image = ProcessedImage();
    int mismatches = 0;
    for (int32_t row = 0; row < height; ++row) {
        for (int32_t col = 0; col < width; ++col) {
            const size_t shown = (static_cast<size_t>(row) * width + col) * 3;
            const size_t source = (static_cast<size_t>(2 * row + 1) * kWidth + 2 * col) * 3;
            for (int c = 0; c < 3; ++c) mismatches += pixels[shown + c] != image[source + c];
        }
    }
    EXPECT_EQ(mismatches, 0);
    Tavlin_Close(camera_);
    TavlinHost_DestroyWindow(parent);
}

TEST_F(WindowLookupTest, TopLevelPreviewIsTheNewestTopLevelWindow) {
    UseSmallFrames(camera_);
    ASSERT_EQ(Tavlin_SetPreviewWindow(camera_, nullptr, 0, 0, 100, 100), 1);
    PreviewSomeFrames();

    const TAVLIN_HWND preview = FindTopLevelPreview();
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(TavlinHost_FindWindow(nullptr, nullptr), preview) << "linked at the top";
    EXPECT_EQ(TavlinHost_GetWindow(preview, TAVLIN_GW_HWNDFIRST), preview);
    EXPECT_EQ(TavlinHost_GetWindow(preview, TAVLIN_GW_HWNDPREV), nullptr);
    EXPECT_EQ(TavlinHost_GetWindow(preview, TAVLIN_GW_CHILD), nullptr);
    EXPECT_EQ(TavlinHost_FindWindow(ClassOf(preview).c_str(), kTopLevelTitle), preview);
    EXPECT_EQ(TavlinHost_GetParent(preview), nullptr);
    uint32_t style = 0;
    int32_t controlId = -1, width = 0, height = 0;
    ASSERT_EQ(TavlinHost_GetWindowStyle(preview, &style, nullptr, &controlId), 1);
    EXPECT_EQ(style, 0x16CF0000u);
    EXPECT_EQ(controlId, 0);
    ASSERT_EQ(TavlinHost_GetClientSize(preview, &width, &height), 1);
    EXPECT_EQ(width, kWidth);
    EXPECT_EQ(height, kHeight);
    const std::vector<uint8_t> pixels = Pixels(preview, &width, &height);
    EXPECT_TRUE(pixels == ProcessedImage()) << "the client area shows the last processed frame";

    // An older top-level window comes after it; a newer one goes in front.
    TAVLIN_HWND newer = TavlinHost_CreateParentWindow(10, 10);
    ASSERT_NE(newer, nullptr);
    EXPECT_EQ(TavlinHost_FindWindow(nullptr, nullptr), newer);
    EXPECT_EQ(TavlinHost_GetWindow(newer, TAVLIN_GW_HWNDNEXT), preview);
    EXPECT_EQ(TavlinHost_GetWindow(preview, TAVLIN_GW_HWNDPREV), newer);

    ASSERT_EQ(Tavlin_Close(camera_), 1);
    EXPECT_EQ(FindTopLevelPreview(), nullptr);
    EXPECT_NE(TavlinHost_GetWindow(newer, TAVLIN_GW_HWNDNEXT), preview);
    EXPECT_EQ(TavlinHost_FindWindowEx(nullptr, preview, nullptr, nullptr), nullptr)
        << "a destroyed window is no place to continue from";
    TavlinHost_DestroyWindow(newer);
}

TEST_F(WindowLookupTest, SeveralPreviewsInOneParentComeInCreationOrder) {
    ASSERT_EQ(TavlinVcam_Attach(1), 1);
    TavlinVcam_SetPacing(1, TAVLIN_VCAM_PACING_FAST);
    const int32_t second = Tavlin_Initialize(window_);
    ASSERT_NE(second, 0);
    ASSERT_EQ(Tavlin_SetDeviceNumber(second, 1), 1);
    UseSmallFrames(camera_);
    UseSmallFrames(second);
    TAVLIN_HWND parent = TavlinHost_CreateParentWindow(400, 200);
    TAVLIN_HWND otherParent = TavlinHost_CreateParentWindow(100, 100);
    ASSERT_NE(parent, nullptr);
    ASSERT_NE(otherParent, nullptr);
    ASSERT_EQ(Tavlin_SetPreviewWindow(camera_, parent, 0, 0, kWidth, kHeight), 1);
    ASSERT_EQ(Tavlin_SetPreviewWindow(second, parent, 200, 0, kWidth, kHeight), 1);
    ASSERT_EQ(Tavlin_Preview(camera_), 1);
    ASSERT_EQ(Tavlin_Preview(second), 1);

    const TAVLIN_HWND first = TavlinHost_FindWindowEx(parent, nullptr, nullptr, kChildTitle);
    ASSERT_NE(first, nullptr);
    const TAVLIN_HWND next = TavlinHost_FindWindowEx(parent, first, nullptr, kChildTitle);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(TavlinHost_FindWindowEx(parent, next, nullptr, kChildTitle), nullptr);
    int32_t x = -1;
    ASSERT_EQ(TavlinHost_GetWindowRect(next, &x, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(x, 200) << "the second camera's preview was made second";
    EXPECT_NE(ClassOf(first), ClassOf(next)) << "each preview has a class of its own";
    EXPECT_EQ(TavlinHost_FindWindowEx(parent, nullptr, ClassOf(next).c_str(), nullptr), next);
    EXPECT_EQ(WalkSiblings(TavlinHost_GetWindow(parent, TAVLIN_GW_CHILD)),
              (std::vector<TAVLIN_HWND>{first, next}));
    EXPECT_EQ(TavlinHost_GetWindow(next, TAVLIN_GW_HWNDFIRST), first);
    EXPECT_EQ(TavlinHost_GetWindow(first, TAVLIN_GW_HWNDLAST), next);
    EXPECT_EQ(TavlinHost_GetWindow(next, TAVLIN_GW_HWNDPREV), first);
    EXPECT_EQ(TavlinHost_FindWindowEx(otherParent, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(TavlinHost_FindWindowEx(otherParent, first, nullptr, nullptr), nullptr)
        << "childAfter must be a child of the parent searched";

    // The list: its size first, then a capacity of one writes one handle only.
    EXPECT_EQ(TavlinHost_EnumChildWindows(parent, nullptr, 0), 2);
    TAVLIN_HWND listed[3] = {nullptr, nullptr, parent};
    EXPECT_EQ(TavlinHost_EnumChildWindows(parent, listed, 1), 2);
    EXPECT_EQ(listed[0], first);
    EXPECT_EQ(listed[1], nullptr);
    EXPECT_EQ(TavlinHost_EnumChildWindows(parent, listed, -5), 2);
    EXPECT_EQ(TavlinHost_EnumChildWindows(parent, listed, 3), 2);
    EXPECT_EQ(listed[1], next);
    EXPECT_EQ(listed[2], parent) << "nothing written past the count";

    // One preview closed: the walk goes straight to the other.
    ASSERT_EQ(Tavlin_Close(camera_), 1);
    EXPECT_EQ(Children(parent), std::vector<TAVLIN_HWND>{next});
    EXPECT_EQ(TavlinHost_FindWindowEx(parent, nullptr, nullptr, kChildTitle), next);
    EXPECT_EQ(TavlinHost_FindWindowEx(parent, first, nullptr, nullptr), nullptr);

    // The parent destroyed under a running preview: the preview lives on (its camera still
    // owns it) but has left the tree, so nothing leads to it any more.
    ASSERT_EQ(TavlinHost_DestroyWindow(parent), 1);
    EXPECT_EQ(TavlinHost_IsWindow(next), 1);
    EXPECT_EQ(TavlinHost_FindWindowEx(parent, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(TavlinHost_EnumChildWindows(parent, nullptr, 0), -1);
    EXPECT_EQ(TavlinHost_GetWindow(next, TAVLIN_GW_HWNDFIRST), nullptr);
    for (TAVLIN_HWND w = TavlinHost_FindWindow(nullptr, nullptr); w != nullptr;
         w = TavlinHost_GetWindow(w, TAVLIN_GW_HWNDNEXT)) {
        EXPECT_NE(w, next) << "not a top-level window either";
    }
    EXPECT_EQ(Tavlin_Close(second), 1);
    EXPECT_EQ(TavlinHost_IsWindow(next), 0);
    EXPECT_EQ(Tavlin_Release(second), 1);
    TavlinHost_DestroyWindow(otherParent);
}

TEST_F(WindowLookupTest, HandlesOutsideTheTreeAndOddTextFindNothing) {
    TAVLIN_HWND parent = TavlinHost_CreateParentWindow(50, 50);
    ASSERT_NE(parent, nullptr);
    const auto neverIssued = reinterpret_cast<TAVLIN_HWND>(uintptr_t{0x4321});
    // Message windows are message-only: not top-level windows, not parents.
    for (TAVLIN_HWND w = TavlinHost_FindWindow(nullptr, nullptr); w != nullptr;
         w = TavlinHost_GetWindow(w, TAVLIN_GW_HWNDNEXT)) {
        EXPECT_NE(w, window_);
    }
    for (TAVLIN_HWND bad : {window_, neverIssued}) {
        EXPECT_EQ(TavlinHost_FindWindowEx(bad, nullptr, nullptr, nullptr), nullptr);
        EXPECT_EQ(TavlinHost_FindWindowEx(nullptr, bad, nullptr, nullptr), nullptr);
        EXPECT_EQ(TavlinHost_GetWindow(bad, TAVLIN_GW_HWNDFIRST), nullptr);
        EXPECT_EQ(TavlinHost_GetWindow(bad, TAVLIN_GW_CHILD), nullptr);
        EXPECT_EQ(TavlinHost_EnumChildWindows(bad, nullptr, 0), -1);
    }
    EXPECT_EQ(TavlinHost_GetWindowText(window_, nullptr, 0), -1) << "no title, not even empty";
    EXPECT_EQ(TavlinHost_GetClassName(window_, nullptr, 0), -1);
    EXPECT_EQ(TavlinHost_GetParent(window_), nullptr);
    EXPECT_EQ(TavlinHost_GetWindow(nullptr, TAVLIN_GW_CHILD), nullptr);
    for (int32_t command : {-1, 4, 6, 1000}) {
        EXPECT_EQ(TavlinHost_GetWindow(parent, command), nullptr) << command;
    }

    const std::string longClass(257, 'T');
    const std::string hugeTitle(1 << 20, 'x');
    EXPECT_EQ(TavlinHost_FindWindow(longClass.c_str(), nullptr), nullptr);
    EXPECT_EQ(TavlinHost_FindWindow(nullptr, hugeTitle.c_str()), nullptr);
    EXPECT_EQ(TavlinHost_FindWindow("TavlinHostWindowX", nullptr), nullptr);
    EXPECT_EQ(TavlinHost_FindWindow("TavlinHostWindo", nullptr), nullptr);
    EXPECT_EQ(TavlinHost_FindWindow("TAVLINHOSTWINDOW", ""), parent);
    EXPECT_EQ(TavlinHost_DestroyWindow(parent), 1);
    EXPECT_EQ(TavlinHost_FindWindowEx(parent, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(TavlinHost_GetWindow(parent, TAVLIN_GW_HWNDFIRST), nullptr);
}

}  // namespace
}  // namespace tavlin::test
