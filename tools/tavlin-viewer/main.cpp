// tavlin-viewer: the first camera live in a window, with keys for the property dialogs,
// snapshots, recording, camera and colour mode. See --help.
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tavlin/tavlin_ext.h"
#include "viewer.h"

namespace {

std::atomic<bool> gInterrupted{false};

void OnSignal(int) {
    gInterrupted.store(true);
}

// Also the source of the manual page (tools/help2roff): headings end with a colon, items start
// with two spaces.
void PrintHelp() {
    std::printf(
        "Usage: tavlin-viewer [OPTION]...\n"
        "Shows the first camera (an in-process virtual camera when none is found) live.\n"
        "Cameras served by the virtual-camera daemon (tavlin-vcamd) and USB cameras count as\n"
        "found; the in-process camera shows its colour chart.\n\n"
        "Options:\n"
        "  --device N        open camera N instead of the first\n"
        "  --output DIR      folder for snapshots and clips (default tavlin-viewer-output)\n"
        "  --size WxH        client size of the window (default 640x512)\n"
        "  --record-ms N     length of a recording in milliseconds (default 10000)\n"
        "  --frames N        quit after N frames\n"
        "  --plain-preview   preview without frame messages (Tavlin_Preview): no frame rate\n"
        "  -v, --verbose     log what the SDK does at info level on standard error\n"
        "  --debug           log everything the SDK does at debug level on standard error\n"
        "                    (TAVLIN_LOG_LEVELS and TAVLIN_LOG_FILE take precedence)\n"
        "  --help            this text\n"
        "  --version         show the version and exit\n\n");
    viewer::Viewer::PrintKeys();
    std::printf(
        "\n"
        "Environment:\n"
        "  DISPLAY           the X display the window opens on\n"
        "  XDG_RUNTIME_DIR   where the virtual-camera daemon's sockets are looked for\n"
        "  XDG_CONFIG_HOME   settings kept per camera in $XDG_CONFIG_HOME/tavlin/registry.reg\n"
        "                    (default ~/.config)\n"
        "  TAVLIN_USB_IDS    further USB ids (VENDOR:PRODUCT, comma-separated) taken as cameras\n"
        "  TAVLIN_LOG_LEVELS diagnostic log levels, e.g. '*:warn,transfer:debug'\n"
        "  TAVLIN_LOG_FILE   append the diagnostic log to this file instead of standard error\n"
        "\n"
        "Files:\n"
        "  DIR/snapshot-N.EXT\n"
        "                    the Nth snapshot in every file format (bmp, raw, jpg, png, tif)\n"
        "  DIR/clip-N.avi    a recorded clip\n"
        "  /etc/tavlin/usb-ids\n"
        "                    the USB ids taken as cameras (TAVLIN_USB_IDS_FILE names another)\n"
        "\n"
        "Exit status:\n"
        "  0                 quit by a key, the window's close box, a signal or --frames\n"
        "  1                 no camera could be opened\n"
        "  64                bad command line\n"
        "\n"
        "Examples:\n"
        "  tavlin-viewer\n"
        "  tavlin-viewer --device 1 --size 1280x1024 --output shots\n");
}

bool ParseNumber(const char* text, int32_t* value) {
    char* end = nullptr;
    const long number = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || number < 0 || number > 1000000000) return false;
    *value = static_cast<int32_t>(number);
    return true;
}

// 0: parsed; otherwise the exit status.
int ParseOptions(int argc, char** argv, viewer::Options* options, std::string* logLevels) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = value != nullptr;
        if (option == "--help" || option == "-h") {
            PrintHelp();
            return -1;
        } else if (option == "--version") {
            std::printf("tavlin-viewer %s\n", TAVLIN_VERSION);
            return -1;
        } else if (option == "--plain-preview") {
            options->plainPreview = true;
            continue;
        } else if (option == "--verbose" || option == "-v") {
            if (logLevels->empty()) *logLevels = "*:info";
            continue;
        } else if (option == "--debug") {
            *logLevels = "*:debug";
            continue;
        } else if (option == "--device" && ok) {
            ok = ParseNumber(value, &options->device);
        } else if (option == "--output" && ok) {
            options->outputFolder = value;
        } else if (option == "--size" && ok) {
            ok = std::sscanf(value, "%dx%d", &options->clientWidth, &options->clientHeight) == 2 &&
                 options->clientWidth > 0 && options->clientHeight > 0;
        } else if (option == "--record-ms" && ok) {
            ok = ParseNumber(value, &options->recordMs);
        } else if (option == "--frames" && ok) {
            ok = ParseNumber(value, &options->exitAfterFrames);
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "tavlin-viewer: bad option %s (see --help)\n", option.c_str());
            return 64;
        }
        ++i;
    }
    return 0;
}

// Single key presses from a terminal, without echo; restored on destruction.
class TerminalKeys {
  public:
    TerminalKeys() {
        if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_) != 0) return;
        termios raw = saved_;
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        raw.c_cc[VMIN] = 0;
        raw.c_cc[VTIME] = 0;
        active_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
    ~TerminalKeys() {
        if (active_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    }
    TerminalKeys(const TerminalKeys&) = delete;
    TerminalKeys& operator=(const TerminalKeys&) = delete;

    // The next key typed, or -1.
    int Next() {
        if (!active_) return -1;
        pollfd fd{STDIN_FILENO, POLLIN, 0};
        unsigned char key = 0;
        if (poll(&fd, 1, 0) <= 0 || read(STDIN_FILENO, &key, 1) != 1) return -1;
        return key;
    }

  private:
    termios saved_{};
    bool active_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    viewer::Options options;
    std::string logLevels;
    if (const int status = ParseOptions(argc, argv, &options, &logLevels); status != 0) {
        return status < 0 ? 0 : status;
    }
    // Before the first camera call, so the log covers the open; the environment, when set, is
    // the more specific request.
    if (!logLevels.empty() && std::getenv("TAVLIN_LOG_LEVELS") == nullptr) {
        TavlinExt_SetLogLevels(logLevels.c_str());
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    viewer::Viewer view(options);
    if (!view.Open()) return 1;
    viewer::Viewer::PrintKeys();
    TerminalKeys keys;
    bool running = true;
    while (running && !gInterrupted.load()) {
        for (int key = keys.Next(); key >= 0 && running; key = keys.Next()) {
            running = view.OnKey(static_cast<uint32_t>(key));
        }
        running = running && view.Poll(50);
    }
    std::printf("\nbye\n");
    return 0;
}
