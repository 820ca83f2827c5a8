#include "output/preview_window.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "output/display_kernels.h"
#include "platform/clock.h"
#include "sensor/sensor_geometry.h"

namespace tavlin::output {

namespace {

constexpr int kClassNameAttempts = 8;

platform::WindowCreation ChildCreation(platform::WindowHandle parent,
                                       const PreviewWindow::Placement& placement) {
    platform::WindowCreation creation;
    creation.title = kChildPreviewTitle;
    creation.style = kChildPreviewStyle;
    creation.x = placement[0];
    creation.y = placement[1];
    creation.width = placement[2];
    creation.height = placement[3];
    creation.parent = parent;
    creation.controlId = kPreviewControlId;
    return creation;
}

platform::WindowCreation TopLevelCreation(platform::ClientSize client) {
    // No window is larger than the window system allows; clamped first, the frame cannot overflow.
    const auto extent = [](int32_t v) { return std::clamp(v, 0, platform::kMaxWindowExtent); };
    platform::WindowRect rect{0, 0, extent(client.width), extent(client.height)};
    platform::AdjustWindowRectEx(&rect, kTopLevelPreviewStyle, false, 0);
    const platform::ClientSize screen = platform::ScreenSize();
    platform::WindowCreation creation;
    creation.title = kTopLevelPreviewTitle;
    creation.style = kTopLevelPreviewStyle;
    creation.x = std::max(0, (screen.width + rect.left - rect.right) / 2);
    creation.y = std::max(0, (screen.height + rect.top - rect.bottom) / 2);
    creation.width = rect.Width();
    creation.height = rect.Height();
    return creation;
}

bool SameSize(const ImageBuffer& image, platform::ClientSize client) {
    return image.Width() == client.width && image.Height() == client.height;
}

}  // namespace

platform::ClientSize PreviewClientSize(int32_t imageWidth, int32_t imageHeight, int32_t subSample) {
    // Stored settings' codes 17..19 size it as 1..3 do; unknown codes leave the image size.
    const int32_t code = subSample >= 17 && subSample <= 19 ? subSample - 16 : subSample;
    const int32_t divisor = std::max(sensor::SubSampleDivisor(code), int32_t{1});
    return {imageWidth / divisor, imageHeight / divisor};
}

PreviewWindow::~PreviewWindow() {
    Close();
    UnregisterClass();
}

bool PreviewWindow::RegisterClassFor(const void* owner) {
    const auto ownerBits = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(owner));
    // Unique per owner and start; a collision with a live class draws again.
    for (int attempt = 0; attempt < kClassNameAttempts; ++attempt) {
        char name[256];
        std::snprintf(name, sizeof(name), "VideoRenderer_%08x_%08x", ownerBits,
                      platform::TickCount() + static_cast<uint32_t>(std::rand()));
        if (platform::WindowClassTable::Register(name)) {
            className_ = name;
            return true;
        }
    }
    return false;
}

platform::WindowHandle PreviewWindow::Create(const void* owner, platform::WindowHandle parent,
                                             const Placement& placement, int32_t imageWidth,
                                             int32_t imageHeight, int32_t subSample) {
    Close();
    UnregisterClass();
    const bool placed =
        std::any_of(placement.begin(), placement.end(), [](int32_t value) { return value != 0; });
    if (parent == 0 && !placed) return 0;

    std::lock_guard<std::mutex> guard(mutex_);
    if (!RegisterClassFor(owner)) return 0;
    platform::WindowCreation creation =
        parent != 0 ? ChildCreation(parent, placement)
                    : TopLevelCreation(PreviewClientSize(imageWidth, imageHeight, subSample));
    creation.className = className_;
    window_ = platform::SurfaceWindow::Create(creation);
    // Shown and updated as a fresh window is; a window that vanished meanwhile fails the update.
    if (window_ == nullptr || !window_->Show(platform::kSwShow) || !window_->IsAlive()) {
        if (window_ != nullptr) window_->Destroy();
        window_.reset();
        platform::WindowClassTable::Unregister(className_);
        className_.clear();
        return 0;
    }
    return window_->Handle();
}

gdi::HDC PreviewWindow::GetDc() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (window_ == nullptr) return nullptr;
    dc_ = window_->GetDc();
    return dc_;
}

void PreviewWindow::PrepareDisplayBuffer(uint16_t outputBitCount) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (window_ == nullptr || dc_ == nullptr || !window_->IsVisible()) return;
    const platform::ClientSize client = window_->Client();
    if (client.width <= 0 || client.height <= 0) return;
    if (display_.Create(client.width, client.height, outputBitCount <= 16 ? 8 : 24) == 1 &&
        display_.BitCount() == 8) {
        display_.SetGrayPalette();
    }
}

const ImageBuffer* PreviewWindow::ShownImage(const ImageBuffer& image, SampleScale scale) {
    imaging::ConversionKernel kernel = nullptr;
    int32_t viewBits = 0;
    switch (image.BitCount()) {
        case 8:
        case 24:
            return &image;
        case 16:
            kernel = ReduceGrayKernel;
            viewBits = 8;
            break;
        case 32:
            kernel = DropFourthByteKernel;
            viewBits = 24;
            break;
        case 48:
        case 64:
            kernel = ReduceColourKernel;
            viewBits = 24;
            break;
        default:
            return nullptr;
    }
    if (view_.Width() != image.Width() || view_.Height() != image.Height() ||
        view_.BitCount() != viewBits) {
        if (view_.Create(image.Width(), image.Height(), viewBits) != 1) return nullptr;
    }
    if (view_.Transfer(kernel, &image, nullptr, 0, 0, &scale, nullptr) != 1) return nullptr;
    return &view_;
}

int PreviewWindow::DrawScaled(const ImageBuffer& shown, platform::ClientSize client) {
    const int32_t displayBits = shown.BitCount() == 8 ? 8 : 24;
    if (!SameSize(display_, client) || display_.BitCount() != displayBits) {
        display_.Release();
        if (display_.Create(client.width, client.height, displayBits) != 1) return 0;
        if (displayBits == 8) display_.SetGrayPalette();
    }
    const imaging::ScalingKernel kernel = displayBits == 8 ? ScaleFlip8Kernel : ScaleFlip24Kernel;
    if (display_.StretchTransfer(kernel, &shown, nullptr, nullptr, nullptr, nullptr) != 1) {
        return 0;
    }
    return window_->Paint([&](gdi::HDC dc, platform::ClientSize now) {
        return gdi::BitBlt(dc, 0, 0, now.width, now.height, display_.Dc(), 0, 0, gdi::SRCCOPY);
    });
}

int PreviewWindow::Draw(const ImageBuffer& image, SampleScale scale) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (window_ == nullptr || !image.Usable()) return 0;
    if (!window_->IsVisible()) return 0;
    const platform::ClientSize client = window_->Client();
    if (client.width <= 0 || client.height <= 0 || dc_ == nullptr) return 0;
    const ImageBuffer* shown = ShownImage(image, scale);
    if (shown == nullptr) return 0;
    // 16-bit gray always takes the scaled path, through its 8-bit view; so does an image without
    // a device context (heap memory), which a blit cannot read.
    if (!SameSize(*shown, client) || image.BitCount() == 16 || shown->Dc() == nullptr) {
        return DrawScaled(*shown, client);
    }
    return window_->Paint([&](gdi::HDC dc, platform::ClientSize now) {
        const int32_t w = shown->Width();
        const int32_t h = shown->Height();
        if (now.width != w || now.height != h) return 0;  // resized since the check
        return gdi::StretchBlt(dc, 0, 0, w, h, shown->Dc(), 0, h, w, -h, gdi::SRCCOPY);
    });
}

int PreviewWindow::Close() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (window_ != nullptr) {
        if (dc_ != nullptr) window_->ReleaseDc(dc_);
        window_->Destroy();
    }
    dc_ = nullptr;
    window_.reset();
    return 1;
}

void PreviewWindow::UnregisterClass() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!className_.empty()) platform::WindowClassTable::Unregister(className_);
    className_.clear();
}

platform::WindowHandle PreviewWindow::Handle() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return window_ != nullptr ? window_->Handle() : 0;
}

std::string PreviewWindow::ClassName() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return className_;
}

bool PreviewWindow::IsVisible() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return window_ != nullptr && window_->IsVisible();
}

platform::ClientSize PreviewWindow::Client() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return window_ != nullptr ? window_->Client() : platform::ClientSize{};
}

}  // namespace tavlin::output
