// Putting 32-bit B, G, R, x frames into X windows: a shared-memory image reused between frames
// where the server accepts one, a plain XPutImage otherwise. Display thread only.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstdint>
#include <vector>

#include "window/x11_display.h"

namespace tavlin::platform {

// Writes the rows into an image of any TrueColor visual.
void FillImage(XImage* image, const uint8_t* bgrx, int32_t width, int32_t height, int32_t stride);

class ShmImage {
  public:
    ShmImage() { info_.shmid = -1; }
    ~ShmImage();
    ShmImage(const ShmImage&) = delete;
    ShmImage& operator=(const ShmImage&) = delete;

    // False when the server refuses shared memory (the caller then puts plain images).
    bool Create(X11Display& owner, Display* display, ClientSize size);
    bool Fits(ClientSize size) const {
        return image_ != nullptr && size_.width == size.width && size_.height == size.height;
    }
    XImage* Image() { return image_; }
    void Put(Display* display, Drawable drawable, GC gc);
    void Release();

  private:
    Display* display_ = nullptr;
    XImage* image_ = nullptr;
    XShmSegmentInfo info_{};
    bool attached_ = false;
    ClientSize size_;
};

bool PutPlainImage(X11Display& owner, Display* display, Drawable drawable, GC gc,
                   const uint8_t* bgrx, int32_t width, int32_t height, int32_t stride);

}  // namespace tavlin::platform
