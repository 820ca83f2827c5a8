#include "viewer.h"

#include <unistd.h>

#include <cstdio>
#include <system_error>

#include "tavlin/tavlin_ext.h"
#include "tavlin/tavlin_vcam.h"

namespace viewer {

namespace {

constexpr int32_t kColourModes[] = {8, 16, 24, 32, 48, 64};

// The library's words for an error code; a value beyond int32_t is no code of the SDK.
const char* ErrorText(intptr_t code) {
    const bool fits = code >= INT32_MIN && code <= INT32_MAX;
    return TavlinExt_GetErrorText(fits ? static_cast<int32_t>(code) : -1);
}

struct Format {
    int32_t code;
    const char* extension;
};

constexpr Format kFormats[] = {{TAVLIN_FILE_BMP, "bmp"},           {TAVLIN_FILE_RAW, "raw"},
                               {TAVLIN_FILE_JPEG_100, "q100.jpg"}, {TAVLIN_FILE_JPEG_70, "q70.jpg"},
                               {TAVLIN_FILE_JPEG_20, "q20.jpg"},   {TAVLIN_FILE_PNG, "png"},
                               {TAVLIN_FILE_TIFF, "tif"}};

}  // namespace

Viewer::Viewer(Options options) : options_(std::move(options)) {}

Viewer::~Viewer() {
    CloseDialog();
    if (camera_ != 0) {
        Tavlin_Close(camera_);
        Tavlin_Release(camera_);
    }
    if (window_ != nullptr) TavlinHost_DestroyWindow(window_);
    if (notices_ != nullptr) TavlinHost_DestroyWindow(notices_);
    if (attachedVirtual_) TavlinVcam_Detach(0);
}

void Viewer::PrintKeys() {
    std::printf(
        "Keys (in the window or this terminal):\n"
        "  a / i / c   analog, image, camera (stream format) property dialog\n"
        "  s           snapshot in every file format\n"
        "  r           start / stop recording an AVI clip\n"
        "  d / D       next / previous camera\n"
        "  m           next colour mode (8, 16, 24, 32, 48, 64 bits)\n"
        "  h           these keys\n"
        "  q, Esc      quit (so do the window's close box and Ctrl-C)\n");
}

bool Viewer::Open() {
    notices_ = TavlinHost_CreateMessageWindow();
    camera_ = Tavlin_Initialize(notices_);
    if (camera_ == 0) {
        std::fprintf(stderr, "tavlin-viewer: Tavlin_Initialize failed\n");
        return false;
    }
    std::vector<char> names(32 * TAVLIN_DEVICE_NAME_SLOT);
    devices_ = Tavlin_EnumDevice(camera_, names.data());
    if (devices_ == 0) {
        attachedVirtual_ = TavlinVcam_Attach(0) == 1;
        // The colour chart, so white balance, hue and saturation show what they do.
        if (attachedVirtual_) TavlinVcam_SetScene(0, TAVLIN_VCAM_SCENE_CHART);
        devices_ = Tavlin_EnumDevice(camera_, names.data());
        std::printf("no camera found: using an in-process virtual camera (colour chart)\n");
    }
    for (int32_t i = 0; i < devices_; ++i) {
        std::printf("camera %d: %s\n", i, &names[static_cast<size_t>(i) * TAVLIN_DEVICE_NAME_SLOT]);
    }
    device_ = options_.device >= 0 ? options_.device : 0;
    if (devices_ == 0 || Tavlin_SetDeviceNumber(camera_, device_) != 1) {
        std::fprintf(stderr, "tavlin-viewer: camera %d cannot be opened\n", device_);
        return false;
    }
    window_ = TavlinHost_CreateParentWindow(options_.clientWidth, options_.clientHeight);
    if (window_ == nullptr) {
        std::fprintf(stderr, "tavlin-viewer: no window\n");
        return false;
    }
    if (TavlinHost_GetX11Window(window_) == 0) {
        std::printf("no X display: the preview is drawn off screen\n");
    }
    Tavlin_SetPreviewWindow(camera_, window_, 0, 0, options_.clientWidth, options_.clientHeight);
    std::error_code ignored;
    std::filesystem::create_directories(options_.outputFolder, ignored);
    return StartLive();
}

bool Viewer::StartLive() {
    const int32_t width = Tavlin_Width(camera_);
    const int32_t height = Tavlin_Height(camera_);
    // Room for the deepest colour mode (64 bits) with padded rows.
    image_.assign(static_cast<size_t>(width) * height * 8 + static_cast<size_t>(height) * 4, 0);
    const int32_t ok = options_.plainPreview
                           ? Tavlin_Preview(camera_)
                           : Tavlin_CallBackPreview(camera_, notices_, image_.data(),
                                                    static_cast<int32_t>(image_.size()), 1);
    std::printf("\ncamera %d, %d x %d, colour mode %d bits: %s\n", device_, width, height,
                Tavlin_GetColorMode(camera_), ok == 1 ? "live" : "preview failed");
    return ok == 1;
}

void Viewer::StopLive() {
    Tavlin_StopPreview(camera_);
    recording_ = false;
}

bool Viewer::OnKey(uint32_t key) {
    switch (key) {
        case 'q':
        case 27:
            return false;
        case 'a':
        case 'i':
        case 'c':
            OpenDialog(static_cast<char>(key));
            break;
        case 's':
            SaveSnapshots();
            break;
        case 'r':
            ToggleRecording();
            break;
        case 'd':
            NextDevice(1);
            break;
        case 'D':
            NextDevice(-1);
            break;
        case 'm':
            NextColourMode();
            break;
        case 'h':
        case '?':
            PrintKeys();
            break;
        default:
            break;
    }
    std::fflush(stdout);
    return true;
}

void Viewer::SaveSnapshots() {
    ++snapshotCount_;
    for (const Format& format : kFormats) {
        const std::filesystem::path path =
            options_.outputFolder /
            ("snapshot-" + std::to_string(snapshotCount_) + "." + format.extension);
        const bool saved = Tavlin_SaveImage(camera_, path.c_str(), format.code) == 1;
        std::printf("\n%s %s", saved ? "saved" : "could not save", path.c_str());
    }
    std::printf("\n");
}

void Viewer::ToggleRecording() {
    if (recording_) {
        // Stopping the preview ends the recording; the live view then starts again.
        StopLive();
        std::printf("\nrecording stopped\n");
        StartLive();
        return;
    }
    const std::filesystem::path path =
        options_.outputFolder / ("clip-" + std::to_string(++snapshotCount_) + ".avi");
    StopLive();
    recording_ = Tavlin_Record(camera_, path.c_str(), options_.recordMs, 1) == 1;
    std::printf("\n%s %s (%d ms; no frame rate while recording; r stops)\n",
                recording_ ? "recording" : "could not record", path.c_str(), options_.recordMs);
    if (!recording_) StartLive();
}

void Viewer::NextDevice(int32_t step) {
    if (dialogOpen_.load()) {
        std::printf("\nclose the dialog first\n");
        return;
    }
    std::vector<char> names(32 * TAVLIN_DEVICE_NAME_SLOT);
    devices_ = Tavlin_EnumDevice(camera_, names.data());
    if (devices_ <= 0) {
        std::printf("\nno camera\n");
        return;
    }
    StopLive();
    device_ = ((device_ + step) % devices_ + devices_) % devices_;
    if (Tavlin_SetDeviceNumber(camera_, device_) != 1) {
        std::printf("\ncamera %d cannot be selected\n", device_);
    }
    StartLive();
}

void Viewer::NextColourMode() {
    if (dialogOpen_.load()) {
        std::printf("\nclose the dialog first\n");
        return;
    }
    const int32_t current = Tavlin_GetColorMode(camera_);
    size_t next = 0;
    for (size_t i = 0; i < std::size(kColourModes); ++i) {
        if (kColourModes[i] == current) next = (i + 1) % std::size(kColourModes);
    }
    // Reported depths (10, 42, 58) are not in the list: the first mode follows them.
    StopLive();
    Tavlin_SetColorMode(camera_, kColourModes[next]);
    StartLive();
}

void Viewer::OpenDialog(char which) {
    if (dialogOpen_.load()) {
        std::printf("\na dialog is already open\n");
        return;
    }
    if (dialog_.joinable()) dialog_.join();
    const char* name = which == 'a' ? "analog" : which == 'i' ? "image" : "camera";
    std::printf(
        "\n%s dialog opened on a worker thread (on screen with a display; headless it closes "
        "itself, cancelled, after its idle time-out)\n",
        name);
    dialogOpen_.store(true);
    dialog_ = std::thread([this, which, name] {
        const int32_t result = which == 'a'   ? Tavlin_SetAnalogDlg(camera_, window_)
                               : which == 'i' ? Tavlin_SetImageDlg(camera_, window_)
                                              : Tavlin_SetCameraDlg(camera_, window_);
        std::printf("\n%s dialog closed (%d)\n", name, result);
        std::fflush(stdout);
        dialogOpen_.store(false);
    });
}

void Viewer::CloseDialog() {
    if (dialogOpen_.load()) {
        const TAVLIN_HWND dialog = TavlinHost_FindCameraDialog(camera_, 2000);
        if (dialog != nullptr) TavlinHost_DialogClose(dialog);
    }
    if (dialog_.joinable()) dialog_.join();
}

void Viewer::ReportFrame(const TavlinMessage& message) {
    if (message.wParam == 0) {
        std::printf("\nstream failure: %s (%ld)\n", ErrorText(message.lParam),
                    static_cast<long>(message.lParam));
        return;
    }
    ++frames_;
    // The record is reused by later frames, so it is read with atomic loads.
    const auto* info = reinterpret_cast<const TavlinFrameInfo*>(message.wParam);
    const int32_t rate = __atomic_load_n(&info->frameRate, __ATOMIC_RELAXED);
    if (frames_ % 10 == 0) {
        // Redrawn in place on a terminal; a log or pipe gets whole lines.
        static const bool interactive = isatty(STDOUT_FILENO) != 0;
        std::printf("%sframe %lld  %d.%d fps%s", interactive ? "\r" : "",
                    static_cast<long long>(frames_), rate / 10, rate % 10,
                    interactive ? "  " : "\n");
        std::fflush(stdout);
    }
}

bool Viewer::Poll(int32_t waitMs) {
    TavlinMessage message;
    while (TavlinHost_PeekMessage(window_, &message) == 1) {
        if (message.message == TAVLIN_WM_CLOSE) return false;
        if (message.message == TAVLIN_WM_CHAR && !OnKey(static_cast<uint32_t>(message.wParam))) {
            return false;
        }
    }
    if (TavlinHost_GetMessage(notices_, &message, waitMs) != 1) return true;
    do {
        if (message.message == TAVLIN_MSG_ERROR) {
            std::printf("\nerror %ld: %s\n", static_cast<long>(message.lParam),
                        ErrorText(message.lParam));
        } else if (message.message == TAVLIN_MSG_FRAME) {
            ReportFrame(message);
        }
    } while (TavlinHost_PeekMessage(notices_, &message) == 1);
    std::fflush(stdout);
    return options_.exitAfterFrames <= 0 || frames_ < options_.exitAfterFrames;
}

}  // namespace viewer
