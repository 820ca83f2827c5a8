// The preview window of one camera: a child window in a parent the application gave, or a
// centred top-level window sized to the image, into which each converted frame is drawn, scaled
// to the client area when the sizes differ.
//
// Knows nothing of the camera: the owner passes the parent and placement, the image size and
// sub-sampling, and each frame's output image. Create, PrepareDisplayBuffer and Close run on the
// application's thread, Draw on the capture thread (under the owner's frame lock); an internal
// lock makes a Close during a Draw safe.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "output/image_buffer.h"
#include "output/sample_rows.h"
#include "window/host_surface_window.h"

namespace tavlin::output {

inline constexpr char kChildPreviewTitle[] = "ActiveMovie Window";
inline constexpr char kTopLevelPreviewTitle[] = "Active Window";
inline constexpr uint32_t kChildPreviewStyle = 0x52000000;     // child, visible, clip children
inline constexpr uint32_t kTopLevelPreviewStyle = 0x16CF0000;  // overlapped, visible, clipping
inline constexpr int32_t kPreviewControlId = 6540;

// The client size of a top-level preview: the image size divided by 2, 4 or 8 for sub-sampling
// modes 1/17, 2/18, 3/19, unchanged otherwise.
platform::ClientSize PreviewClientSize(int32_t imageWidth, int32_t imageHeight, int32_t subSample);

class PreviewWindow {
  public:
    // x, y, width, height as the application placed the child window.
    using Placement = std::array<int32_t, 4>;

    PreviewWindow() = default;
    ~PreviewWindow();
    PreviewWindow(const PreviewWindow&) = delete;
    PreviewWindow& operator=(const PreviewWindow&) = delete;

    // Registers a window class "VideoRenderer_<owner>_<tick+random>" and creates the window:
    // a child of `parent` at `placement` when a parent is given, else (placement not all zero)
    // a centred top-level window with the client size of PreviewClientSize. An earlier window is
    // closed first. Returns the window's handle, or 0 (no parent and an all-zero placement, an
    // invalid parent, no surface).
    platform::WindowHandle Create(const void* owner, platform::WindowHandle parent,
                                  const Placement& placement, int32_t imageWidth,
                                  int32_t imageHeight, int32_t subSample);

    // GetDC of the window; null when there is none.
    gdi::HDC GetDc();

    // Makes the display buffer for the client size ahead of the first frame, when the window is
    // visible with a client area: 8-bit gray for 8/16-bit output images, 24-bit otherwise.
    // Failure is harmless: Draw makes it when needed.
    void PrepareDisplayBuffer(uint16_t outputBitCount);

    // Draws the output image (8, 16, 24, 32, 48 or 64 bits; 16-bit samples of
    // `scale`): an equal-size client area gets one mirrored blit, other sizes go through the
    // scaled display buffer. Returns the blit's result; 0 when there is no window, it is hidden
    // or has no client area, or the image cannot be shown.
    int Draw(const ImageBuffer& image, SampleScale scale = {});

    // Releases the DC and destroys the window. Returns 1.
    int Close();
    // Unregisters the window class and forgets its name (after Close).
    void UnregisterClass();

    platform::WindowHandle Handle() const;
    std::string ClassName() const;
    bool IsVisible() const;
    platform::ClientSize Client() const;
    const ImageBuffer& DisplayBuffer() const { return display_; }

  private:
    bool RegisterClassFor(const void* owner);                                    // mutex_ held
    const ImageBuffer* ShownImage(const ImageBuffer& image, SampleScale scale);  // mutex_ held
    int DrawScaled(const ImageBuffer& shown, platform::ClientSize client);       // mutex_ held

    mutable std::mutex mutex_;
    std::shared_ptr<platform::SurfaceWindow> window_;
    gdi::HDC dc_ = nullptr;
    std::string className_;
    ImageBuffer display_;  // the client-size copy of scaled frames
    ImageBuffer view_;     // 8- or 24-bit reduction of a deeper output image
};

}  // namespace tavlin::output
