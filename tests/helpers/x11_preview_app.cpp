// An application showing a live preview on the X display of $DISPLAY, for the on-screen tests.
//
//   x11_preview_app toplevel <frame-file>   centred top-level preview
//   x11_preview_app resized <frame-file>    the same, resized to 400 x 300 on screen while
//                                           streaming (as a user or window manager would)
//   x11_preview_app child <frame-file> [w h] preview in an X window of our own (default: filling
//                                           it, 1:1)
//   x11_preview_app survive-server          keeps streaming after the X server is killed
//   x11_preview_app destroy-parent          destroys its X window under a running preview
//
// The preview modes stream, stop, write the last frame the application buffer received (24-bit,
// top row first) to <frame-file>, print "window <x> <y> <width> <height>" (the preview's client
// area on the root window) and wait for a line on stdin before closing. The fault modes print
// "streaming" once frames arrive, wait for a line (survive-server) or destroy the window
// themselves, then print "frames-after <n>" with the frames that still arrived.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "tavlin/tavlin.h"
#include "tavlin/tavlin_host.h"
#include "tavlin/tavlin_vcam.h"

namespace {

constexpr int32_t kWidth = 640;  // 1280 x 1024 at 1/2 sub-sampling
constexpr int32_t kHeight = 512;
constexpr int kFramesAfterFault = 20;

struct Session {
    TAVLIN_HWND messages = nullptr;
    int32_t camera = 0;
    std::vector<uint8_t> image = std::vector<uint8_t>(kWidth * 3 * kHeight);
};

bool Open(Session& session) {
    session.messages = TavlinHost_CreateMessageWindow();
    session.camera = Tavlin_Initialize(session.messages);
    if (session.camera == 0 || TavlinVcam_Attach(0) != 1) return false;
    std::vector<char> names(32 * TAVLIN_DEVICE_NAME_SLOT);
    Tavlin_EnumDevice(session.camera, names.data());
    return Tavlin_SetDeviceNumber(session.camera, 0) == 1 &&
           Tavlin_SetColorMode(session.camera, 24) == 1 &&
           Tavlin_SetCaptureWindowEx(session.camera, 1280, 0, 1280, 1024, 0, 1024) == 1 &&
           Tavlin_SetSubSample(session.camera, 1) == 1;
}

int WaitFrames(const Session& session, int count) {
    int frames = 0;
    TavlinMessage message;
    while (frames < count && TavlinHost_GetMessage(session.messages, &message, 5000) == 1) {
        if (message.message == TAVLIN_MSG_FRAME && message.wParam != 0) ++frames;
    }
    return frames;
}

bool Stream(Session& session) {
    return Tavlin_CallBackPreview(session.camera, session.messages, session.image.data(),
                                  static_cast<int32_t>(session.image.size()), 1) == 1;
}

int Finish(Session& session, int status) {
    Tavlin_Close(session.camera);
    Tavlin_Release(session.camera);
    TavlinHost_DestroyWindow(session.messages);
    TavlinVcam_Detach(0);
    return status;
}

// The window named `title` among the root's children, or 0.
Window FindTopLevel(Display* display, const char* title) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        return 0;
    }
    for (unsigned i = 0; i < count && found == 0; ++i) {
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) && name != nullptr) {
            if (std::strcmp(name, title) == 0) found = children[i];
            XFree(name);
        }
    }
    if (children != nullptr) XFree(children);
    return found;
}

Window FirstChild(Display* display, Window window) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return 0;
    const Window child = count > 0 ? children[0] : 0;
    if (children != nullptr) XFree(children);
    return child;
}

void PrintPlacement(Display* display, Window window) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    std::printf("window %d %d %d %d\n", x, y, attributes.width, attributes.height);
}

bool WriteFrame(const Session& session, const char* path) {
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    const bool written =
        std::fwrite(session.image.data(), 1, session.image.size(), file) == session.image.size();
    return std::fclose(file) == 0 && written;
}

Window MakeParent(Display* display) {
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 50, 40, kWidth,
                                              kHeight, 0, 0, WhitePixel(display, 0));
    XMapWindow(display, window);
    XSync(display, False);
    return window;
}

int ShowPreview(bool child, bool resize, const char* frameFile, int32_t childWidth,
                int32_t childHeight) {
    Display* display = XOpenDisplay(nullptr);
    Session session;
    if (display == nullptr || !Open(session)) return 2;
    Window parent = 0;
    if (child) {
        parent = MakeParent(display);
        TAVLIN_HWND wrapped = TavlinHost_WrapX11Window(parent);
        if (wrapped == nullptr) return 3;
        Tavlin_SetPreviewWindow(session.camera, wrapped, 0, 0, childWidth, childHeight);
    } else {
        Tavlin_SetPreviewWindow(session.camera, nullptr, 0, 0, 100, 100);
    }
    if (!Stream(session) || WaitFrames(session, 10) != 10) return Finish(session, 4);
    const Window preview =
        child ? FirstChild(display, parent) : FindTopLevel(display, "Active Window");
    if (preview == 0) return Finish(session, 6);
    if (resize) {
        XResizeWindow(display, preview, 400, 300);
        XSync(display, False);
        if (WaitFrames(session, 10) != 10) return Finish(session, 4);
    }
    Tavlin_StopPreview(session.camera);
    if (!WriteFrame(session, frameFile)) return Finish(session, 5);
    PrintPlacement(display, preview);
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    const int status = Finish(session, 0);
    XCloseDisplay(display);
    return status;
}

int SurviveServer() {
    Session session;
    if (!Open(session)) return 2;
    Tavlin_SetPreviewWindow(session.camera, nullptr, 0, 0, 100, 100);
    if (!Stream(session) || WaitFrames(session, 5) != 5) return Finish(session, 4);
    std::printf("streaming\n");
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    std::printf("frames-after %d\n", WaitFrames(session, kFramesAfterFault));
    return Finish(session, 0);
}

int DestroyParent() {
    Display* display = XOpenDisplay(nullptr);
    Session session;
    if (display == nullptr || !Open(session)) return 2;
    const Window parent = MakeParent(display);
    TAVLIN_HWND wrapped = TavlinHost_WrapX11Window(parent);
    if (wrapped == nullptr) return 3;
    Tavlin_SetPreviewWindow(session.camera, wrapped, 0, 0, kWidth, kHeight);
    if (!Stream(session) || WaitFrames(session, 5) != 5) return Finish(session, 4);
    std::printf("streaming\n");
    XDestroyWindow(display, parent);
    XSync(display, False);
    std::printf("frames-after %d\n", WaitFrames(session, kFramesAfterFault));
    // The wrapper follows the X window; a frame or two later at the latest.
    std::printf("wrapper-alive %d\n", TavlinHost_IsWindow(wrapped));
    const int status = Finish(session, 0);
    XCloseDisplay(display);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if ((mode == "toplevel" || mode == "resized" || mode == "child") && argc > 2) {
        const int32_t width = argc > 4 ? std::atoi(argv[3]) : kWidth;
        const int32_t height = argc > 4 ? std::atoi(argv[4]) : kHeight;
        return ShowPreview(mode == "child", mode == "resized", argv[2], width, height);
    }
    if (mode == "survive-server") return SurviveServer();
    if (mode == "destroy-parent") return DestroyParent();
    std::fprintf(stderr,
                 "usage: x11_preview_app toplevel|child <frame-file> | survive-server | "
                 "destroy-parent\n");
    return 64;
}
