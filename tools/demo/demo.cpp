// The calling order of a typical application, end to end on the in-process virtual camera:
// initialise, list the cameras, configure, stream frames into our own buffer with frame
// messages, take a snapshot, release.
#include <unistd.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tavlin/tavlin.h"
#include "tavlin/tavlin_host.h"
#include "tavlin/tavlin_vcam.h"

namespace {

constexpr auto kStreamTime = std::chrono::seconds(3);

// Progress is redrawn in place on a terminal; a log gets a line now and then instead.
const bool kInteractive = isatty(STDOUT_FILENO) != 0;

void Progress(bool last, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Progress(bool last, const char* format, ...) {
    static int calls = 0;
    if (!kInteractive && !last && ++calls % 10 != 0) return;
    std::va_list args;
    va_start(args, format);
    std::fputs(kInteractive ? "\r" : "", stdout);
    std::vprintf(format, args);
    va_end(args);
    if (!kInteractive) std::fputs("\n", stdout);
    std::fflush(stdout);
}

void PrintRecordedErrors(int32_t camera) {
    for (int32_t code = Tavlin_GetLastError(camera); code != 0;
         code = Tavlin_GetLastError(camera)) {
        std::printf("  recorded error %d\n", code);
    }
}

void ListCameras(int32_t camera) {
    std::vector<char> names(32 * TAVLIN_DEVICE_NAME_SLOT);
    const int32_t found = Tavlin_EnumDevice(camera, names.data());
    std::printf("cameras found: %d\n", found);
    for (int32_t i = 0; i < found; ++i) {
        std::printf("  %s\n", &names[static_cast<size_t>(i) * TAVLIN_DEVICE_NAME_SLOT]);
    }
    TavlinCameraInfo info{};
    info.size = sizeof(info);
    if (Tavlin_GetCameraInfo(camera, &info) == 1) {
        std::printf("sensor %d x %d, gains %d..%d, exposure %d..%d lines\n", info.sensorWidth,
                    info.sensorHeight, info.globalGainMin, info.globalGainMax, info.exposureMin,
                    info.exposureMax);
    }
}

using Clock = std::chrono::steady_clock;

// Streams frames into `image` for kStreamTime and counts the frame messages posted to `window`.
// The SDK's rate counts frames over spans of a second, so the stream lasts several seconds
// before its figure is printed beside our own count.
bool StreamFrames(int32_t camera, TAVLIN_HWND window, std::vector<uint8_t>& image) {
    if (Tavlin_CallBackPreview(camera, window, image.data(), static_cast<int32_t>(image.size()),
                               1) != 1) {
        std::printf("Tavlin_CallBackPreview failed\n");
        return false;
    }
    const auto start = Clock::now();
    Clock::time_point first = start;
    Clock::time_point last = start;
    int frames = 0;
    int32_t rate = 0;
    TavlinMessage message;
    while (last - start < kStreamTime && TavlinHost_GetMessage(window, &message, 5000) == 1) {
        if (message.message != TAVLIN_MSG_FRAME) continue;
        if (message.wParam == 0) {
            std::printf("\n  stream failure %ld\n", static_cast<long>(message.lParam));
            continue;
        }
        last = Clock::now();
        if (frames++ == 0) first = last;
        // The record is reused by a later frame, so it is read with atomic loads.
        const auto* record = reinterpret_cast<const TavlinFrameInfo*>(message.wParam);
        rate = __atomic_load_n(&record->frameRate, __ATOMIC_RELAXED);
        const int32_t width = __atomic_load_n(&record->width, __ATOMIC_RELAXED);
        const int32_t height = __atomic_load_n(&record->height, __ATOMIC_RELAXED);
        const int32_t bits = __atomic_load_n(&record->bitsPerPixel, __ATOMIC_RELAXED);
        Progress(false, "  frame %d  %d x %d, %d bpp, %d.%d fps", frames, width, height, bits,
                 rate / 10, rate % 10);
    }
    Tavlin_StopPreview(camera);
    const double seconds = std::chrono::duration<double>(last - start).count();
    const double between = std::chrono::duration<double>(last - first).count();
    const double measured = frames > 1 ? (frames - 1) / between : 0.0;
    std::printf("\n%d frames in %.2f s\n", frames, seconds);
    std::printf("frame rate: SDK %d.%d fps, counted here %.1f fps\n", rate / 10, rate % 10,
                measured);
    return last - start >= kStreamTime;
}

void SaveAllFormats(int32_t camera, const std::filesystem::path& folder) {
    const std::pair<int32_t, const char*> formats[] = {
        {TAVLIN_FILE_BMP, "snapshot.bmp"},           {TAVLIN_FILE_RAW, "snapshot.raw"},
        {TAVLIN_FILE_JPEG_100, "snapshot-q100.jpg"}, {TAVLIN_FILE_JPEG_70, "snapshot-q70.jpg"},
        {TAVLIN_FILE_JPEG_20, "snapshot-q20.jpg"},   {TAVLIN_FILE_PNG, "snapshot.png"},
        {TAVLIN_FILE_TIFF, "snapshot.tif"}};
    for (auto [format, name] : formats) {
        const std::string path = (folder / name).string();
        const int32_t ok = Tavlin_SaveImage(camera, path.c_str(), format);
        std::printf("  saved %-40s %s\n", path.c_str(), ok == 1 ? "ok" : "FAILED");
    }
}

bool RecordClip(int32_t camera, const std::filesystem::path& folder) {
    const std::string path = (folder / "clip.avi").string();
    constexpr int kMilliseconds = 1000;
    if (Tavlin_Record(camera, path.c_str(), kMilliseconds, 0) != 1) {
        std::printf("Tavlin_Record failed\n");
        return false;
    }
    // The recording finalises itself once a frame arrives after the duration.
    constexpr int kTenths = kMilliseconds / 100 + 10;
    for (int tenth = 0; tenth <= kTenths; ++tenth) {
        Progress(tenth == kTenths, "  recording %s  %4.1f s", path.c_str(), tenth / 10.0);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    Tavlin_StopPreview(camera);
    std::printf("\n  recorded %s (%ju bytes)\n", path.c_str(),
                static_cast<uintmax_t>(std::filesystem::file_size(path)));
    return true;
}

// Also the source of the manual page (tools/help2roff): headings end with a colon, items start
// with two spaces.
constexpr char kHelp[] =
    "Usage: tavlin-demo [FOLDER]\n"
    "Runs the SDK in an application's calling order: opens the camera (an in-process virtual\n"
    "camera showing its colour chart when no other camera is found), lists the cameras, sets\n"
    "24-bit colour, the full window and 1/2 sub-sampling, streams for three seconds into its own\n"
    "buffer with frame messages and prints the SDK's frame rate beside the one it counted, takes\n"
    "a snapshot, saves it in every file format, records a one-second AVI clip and releases the\n"
    "camera.\n"
    "\n"
    "Arguments:\n"
    "  FOLDER            where the files land, created when missing (default\n"
    "                    tavlin-demo-output)\n"
    "  -h, --help        show this help and exit\n"
    "  -V, --version     show the version and exit\n"
    "\n"
    "Environment:\n"
    "  XDG_RUNTIME_DIR   where the virtual-camera daemon's sockets are looked for; its cameras\n"
    "                    are used when it runs\n"
    "  XDG_CONFIG_HOME   settings kept per camera in $XDG_CONFIG_HOME/tavlin/registry.reg\n"
    "                    (default ~/.config)\n"
    "  TAVLIN_USB_IDS    further USB ids (VENDOR:PRODUCT, comma-separated) taken as cameras\n"
    "\n"
    "Files:\n"
    "  FOLDER/snapshot.bmp, FOLDER/snapshot.raw, FOLDER/snapshot.png, FOLDER/snapshot.tif\n"
    "                    the snapshot as BMP, raw samples, PNG and TIFF\n"
    "  FOLDER/snapshot-q100.jpg, FOLDER/snapshot-q70.jpg, FOLDER/snapshot-q20.jpg\n"
    "                    the snapshot as JPEG at three qualities\n"
    "  FOLDER/clip.avi   the one-second clip\n"
    "\n"
    "Exit status:\n"
    "  0                 streamed for the whole three seconds and recorded the clip\n"
    "  1                 no camera object, too short a stream, or no clip\n"
    "\n"
    "Examples:\n"
    "  tavlin-demo\n"
    "  tavlin-demo /tmp/demo-files\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-V") == 0)) {
        std::printf("tavlin-demo %s\n", TAVLIN_VERSION);
        return 0;
    }
    const std::filesystem::path folder = argc > 1 ? argv[1] : "tavlin-demo-output";
    std::filesystem::create_directories(folder);
    std::printf("output folder: %s\n", std::filesystem::absolute(folder).c_str());
    std::printf("Tavlin 410QZ-VKE SDK demo (library version 0x%08X)\n",
                static_cast<unsigned>(Tavlin_GetDllVersion()));

    TAVLIN_HWND window = TavlinHost_CreateMessageWindow();
    const int32_t camera = Tavlin_Initialize(window);
    if (camera == 0) {
        std::printf("Tavlin_Initialize failed\n");
        return 1;
    }
    std::printf("camera handle %d\n", camera);
    // Cameras served by a virtual-camera daemon (or real ones) come first; without any, plug an
    // in-process virtual camera in and select it.
    std::vector<char> probe(32 * TAVLIN_DEVICE_NAME_SLOT);
    bool inProcess = false;
    if (Tavlin_EnumDevice(camera, probe.data()) == 0) {
        inProcess = TavlinVcam_Attach(0) == 1;
        // The colour chart, so the colour image shows colour.
        if (inProcess) TavlinVcam_SetScene(0, TAVLIN_VCAM_SCENE_CHART);
        Tavlin_EnumDevice(camera, probe.data());
        Tavlin_SetDeviceNumber(camera, 0);
    }
    std::printf("using %s\n", inProcess ? "an in-process virtual camera" : "the attached cameras");
    ListCameras(camera);

    Tavlin_SetColorMode(camera, 24);
    Tavlin_SetCaptureWindowEx(camera, 1280, 0, 1280, 1024, 0, 1024);
    Tavlin_SetSubSample(camera, 1);
    Tavlin_SetWaitTime(camera, 1);
    int32_t ok = 0;
    std::printf("colour mode %d, window %d x %d, sub-sample %d, exposure %d us\n",
                Tavlin_GetColorMode(camera), Tavlin_Width(camera), Tavlin_Height(camera),
                Tavlin_GetSubSample(camera), Tavlin_GetRealExposureTime(camera, &ok));

    // 640 x 512 at 24 bits per pixel after 1/2 sub-sampling.
    std::vector<uint8_t> image(640 * 3 * 512);
    const bool streamed = StreamFrames(camera, window, image);

    if (Tavlin_SnapShot(camera, image.data(), static_cast<int32_t>(image.size()), 1) == 1) {
        std::printf("snapshot taken (%zu bytes)\n", image.size());
    }
    SaveAllFormats(camera, folder);
    const bool recorded = RecordClip(camera, folder);
    PrintRecordedErrors(camera);
    std::printf("release: %d\n", Tavlin_Release(camera));
    TavlinHost_DestroyWindow(window);
    if (inProcess) TavlinVcam_Detach(0);
    return streamed && recorded ? 0 : 1;
}
