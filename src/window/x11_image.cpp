#if TAVLIN_HAVE_X11

#include "window/x11_image.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstring>

namespace tavlin::platform {

namespace {

struct Channel {
    int shift = 0;  // of the mask's lowest bit
    int bits = 0;
};

Channel ChannelOf(unsigned long mask) {
    Channel channel;
    if (mask == 0) return channel;
    while (!(mask & 1)) {
        mask >>= 1;
        ++channel.shift;
    }
    while (mask & 1) {
        mask >>= 1;
        ++channel.bits;
    }
    return channel;
}

unsigned long Place(uint8_t value, Channel channel) {
    if (channel.bits == 0) return 0;
    const unsigned long scaled = channel.bits >= 8
                                     ? static_cast<unsigned long>(value) << (channel.bits - 8)
                                     : static_cast<unsigned long>(value) >> (8 - channel.bits);
    return scaled << channel.shift;
}

bool IsNativeBgrx(const XImage& image) {
    return image.bits_per_pixel == 32 && image.byte_order == LSBFirst &&
           image.red_mask == 0xFF0000 && image.green_mask == 0xFF00 && image.blue_mask == 0xFF;
}

}  // namespace

void FillImage(XImage* image, const uint8_t* bgrx, int32_t width, int32_t height, int32_t stride) {
    if (IsNativeBgrx(*image)) {
        for (int32_t y = 0; y < height; ++y) {
            std::memcpy(image->data + static_cast<size_t>(y) * image->bytes_per_line,
                        bgrx + static_cast<size_t>(y) * stride, static_cast<size_t>(width) * 4);
        }
        return;
    }
    // Other visuals (16-bit, swapped byte order) pixel by pixel.
    const Channel red = ChannelOf(image->red_mask);
    const Channel green = ChannelOf(image->green_mask);
    const Channel blue = ChannelOf(image->blue_mask);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = bgrx + static_cast<size_t>(y) * stride;
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* p = row + 4 * x;
            XPutPixel(image, x, y, Place(p[2], red) | Place(p[1], green) | Place(p[0], blue));
        }
    }
}

ShmImage::~ShmImage() {
    Release();
}

bool ShmImage::Create(X11Display& owner, Display* display, ClientSize size) {
    Release();
    display_ = display;
    image_ = XShmCreateImage(display, owner.ScreenVisual(), static_cast<unsigned>(owner.Depth()),
                             ZPixmap, nullptr, &info_, static_cast<unsigned>(size.width),
                             static_cast<unsigned>(size.height));
    if (image_ == nullptr) return false;
    info_.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image_->bytes_per_line) * size.height,
                         IPC_CREAT | 0600);
    if (info_.shmid < 0) {
        Release();
        return false;
    }
    void* address = shmat(info_.shmid, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        shmctl(info_.shmid, IPC_RMID, nullptr);
        info_.shmid = -1;
        Release();
        return false;
    }
    info_.shmaddr = image_->data = static_cast<char*>(address);
    info_.readOnly = False;
    Status status = False;
    // A remote server, or one that may not map our segment, refuses the attach.
    const bool refused = owner.Refused(display, [&] { status = XShmAttach(display, &info_); });
    // Marked for removal now, so the segment goes when both sides detach, even after a crash.
    shmctl(info_.shmid, IPC_RMID, nullptr);
    if (refused || status == False) {
        Release();
        return false;
    }
    attached_ = true;
    size_ = size;
    return true;
}

void ShmImage::Put(Display* display, Drawable drawable, GC gc) {
    XShmPutImage(display, drawable, gc, image_, 0, 0, 0, 0, static_cast<unsigned>(size_.width),
                 static_cast<unsigned>(size_.height), False);
    // The segment is rewritten by the next frame: wait until the server has read it.
    XSync(display, False);
}

void ShmImage::Release() {
    if (attached_) XShmDetach(display_, &info_);
    if (info_.shmaddr != nullptr) shmdt(info_.shmaddr);
    if (image_ != nullptr) {
        image_->data = nullptr;
        XDestroyImage(image_);
    }
    attached_ = false;
    image_ = nullptr;
    info_ = {};
    info_.shmid = -1;
    size_ = {};
}

bool PutPlainImage(X11Display& owner, Display* display, Drawable drawable, GC gc,
                   const uint8_t* bgrx, int32_t width, int32_t height, int32_t stride) {
    XImage* image = XCreateImage(
        display, owner.ScreenVisual(), static_cast<unsigned>(owner.Depth()), ZPixmap, 0, nullptr,
        static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (image == nullptr) return false;
    std::vector<char> pixels(static_cast<size_t>(image->bytes_per_line) * height);
    image->data = pixels.data();
    FillImage(image, bgrx, width, height, stride);
    XPutImage(display, drawable, gc, image, 0, 0, 0, 0, static_cast<unsigned>(width),
              static_cast<unsigned>(height));
    image->data = nullptr;
    XDestroyImage(image);
    return true;
}

}  // namespace tavlin::platform

#endif  // TAVLIN_HAVE_X11
