// tavlin-vcamd: serves virtual cameras to every process of the user over Unix sockets, or with
// --send passes one control command to the running daemon.
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tavlin/tavlin_vcam.h"
#include "vcam/unix_socket.h"
#include "vcam_daemon.h"

namespace {

// Also the source of the manual page (tools/help2roff): headings end with a colon, items start
// with two spaces and continue further in.
constexpr const char* kUsage =
    "Usage: tavlin-vcamd [OPTION]...\n"
    "  or:  tavlin-vcamd --send COMMAND\n"
    "Serves virtual Tavlin 410QZ-VKE cameras to every process of this user through Unix\n"
    "sockets, so several applications share one camera as they would share a real one. It runs\n"
    "in the foreground, prints \"tavlin-vcamd: serving N camera(s) in DIR\" once its sockets\n"
    "accept clients, and stops on SIGTERM, SIGINT or SIGHUP or on the shutdown command: it\n"
    "unplugs its cameras, closes every connection and removes its sockets.\n"
    "\n"
    "Options:\n"
    "      --cameras LIST      attach cameras at the device indices in LIST, 0..31, e.g. 0,\n"
    "                          0,2 or 4-7 (default 0)\n"
    "      --pacing MODE       real-time (default: the frame period follows clock, window and\n"
    "                          exposure) or fast\n"
    "      --scene SCENE       ramp (default, moves every frame), flat or chart (colour\n"
    "                          patches, gray steps, a moving marker)\n"
    "      --raw FILE          replay whole 1280 x 1024 raw frames from FILE\n"
    "      --raw-bits BITS     samples of --raw: 8 (bytes, default) or 10 (16-bit\n"
    "                          little-endian words)\n"
    "      --send COMMAND      pass one control command to the running daemon and print its\n"
    "                          reply (--send help lists the commands)\n"
    "  -h, --help              show this help and exit\n"
    "  -V, --version           show the version and exit\n"
    "\n"
    "Environment:\n"
    "  XDG_RUNTIME_DIR         the sockets live in $XDG_RUNTIME_DIR/tavlin when it is an\n"
    "                          absolute path, else in /tmp/tavlin-<uid>\n"
    "  LISTEN_FDS, LISTEN_PID  socket activation: the listening sockets passed in (the control\n"
    "                          socket and camera sockets of the folder) are served instead of\n"
    "                          binding new ones, and stay bound when the daemon stops\n"
    "  NOTIFY_SOCKET           readiness for a service manager: READY=1 once serving,\n"
    "                          STOPPING=1 when stopping\n"
    "  TAVLIN_LOG_LEVELS       diagnostic log levels, e.g. '*:info,daemon:debug'\n"
    "  TAVLIN_LOG_FILE         append the diagnostic log to this file instead of standard\n"
    "                          error\n"
    "\n"
    "Files:\n"
    "  DIR/control.sock        the control socket: one command a line, one reply line each\n"
    "  DIR/TvlnQZ410VKE-C.sock\n"
    "                          a camera's socket while it is attached, C the device index's\n"
    "                          character (0-9, A...)\n"
    "  DIR/vcamd.lock          held by the running daemon; one daemon per folder\n"
    "  tavlin-vcamd.socket, tavlin-vcamd.service\n"
    "                          systemd user units that start the daemon on the first\n"
    "                          connection (systemctl --user enable --now tavlin-vcamd.socket)\n"
    "\n"
    "Exit status:\n"
    "  0                       stopped by a signal or the shutdown command; with --send, the\n"
    "                          reply starts with ok\n"
    "  1                       the socket folder is unusable, another daemon serves it, or a\n"
    "                          socket passed in is not one of the daemon's; with --send, no\n"
    "                          daemon answers or the reply is an error\n"
    "  2                       bad command line\n"
    "\n"
    "Examples:\n"
    "  tavlin-vcamd --cameras 0,2 --scene chart &\n"
    "  tavlin-vcamd --send list\n"
    "  tavlin-vcamd --send 'trigger 0 3'\n"
    "  tavlin-vcamd --send shutdown\n";

struct Options {
    std::vector<int> cameras{0};
    int pacing = TAVLIN_VCAM_PACING_REAL_TIME;
    int scene = TAVLIN_VCAM_SCENE_RAMP;
    std::string rawFile;
    int rawBits = 8;
    std::string send;
};

std::optional<int> Number(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return {};
    return value;
}

// "0,2,5-7" -> 0 2 5 6 7; empty on any index outside 0..31.
std::optional<std::vector<int>> CameraList(std::string_view text) {
    std::vector<int> cameras;
    while (!text.empty()) {
        const size_t comma = std::min(text.find(','), text.size());
        const std::string_view item = text.substr(0, comma);
        const size_t dash = item.find('-');
        const auto first = Number(item.substr(0, dash));
        const auto last = dash == std::string_view::npos ? first : Number(item.substr(dash + 1));
        if (!first || !last || *first < 0 || *last > 31 || *first > *last) return {};
        for (int i = *first; i <= *last; ++i) cameras.push_back(i);
        text.remove_prefix(std::min(comma + 1, text.size()));
    }
    return cameras;
}

std::optional<int> Choice(std::string_view text, std::initializer_list<std::string_view> names) {
    int value = 0;
    for (const auto name : names) {
        if (text == name) return value;
        ++value;
    }
    return {};
}

bool ParseOption(std::string_view name, const char* value, Options& o) {
    if (name == "--cameras") {
        auto list = CameraList(value);
        if (list) o.cameras = *list;
        return list.has_value();
    }
    std::optional<int> choice;
    if (name == "--pacing") {
        choice = Choice(value, {"real-time", "fast"});
        o.pacing = choice.value_or(0);
    } else if (name == "--scene") {
        constexpr int kScenes[] = {TAVLIN_VCAM_SCENE_RAMP, TAVLIN_VCAM_SCENE_FLAT,
                                   TAVLIN_VCAM_SCENE_CHART};
        choice = Choice(value, {"ramp", "flat", "chart"});
        o.scene = kScenes[choice.value_or(0)];
    } else if (name == "--raw-bits") {
        choice = Choice(value, {"8", "10"});
        o.rawBits = choice == 1 ? 10 : 8;
    } else if (name == "--raw" || name == "--send") {
        (name == "--raw" ? o.rawFile : o.send) = value;
        return *value != '\0';
    }
    return choice.has_value();
}

std::optional<Options> ParseCommandLine(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (i + 1 >= argc || !ParseOption(argv[i], argv[i + 1], options)) return {};
        ++i;
    }
    return options;
}

// Sends the command, then reads the reply until the daemon closes.
int SendCommand(const std::string& command) {
    const std::string path = tavlin::vcam::ControlSocketPath();
    auto fd = tavlin::vcam::ConnectUnixSocket(path);
    if (!fd) {
        std::fprintf(stderr, "tavlin-vcamd: no daemon listens on %s\n", path.c_str());
        return 1;
    }
    tavlin::vcam::SocketStream stream(fd->Get());
    const std::string line = command + "\n";
    if (!stream.WriteAll(line.data(), line.size())) return 1;
    ::shutdown(fd->Get(), SHUT_WR);
    std::string reply;
    char chunk[4096];
    ssize_t n;
    while ((n = ::recv(fd->Get(), chunk, sizeof(chunk), 0)) > 0) reply.append(chunk, size_t(n));
    std::fputs(reply.c_str(), stdout);
    return reply.starts_with("ok") ? 0 : 1;
}

bool AttachCameras(const Options& o) {
    for (int index : o.cameras) {
        if (TavlinVcam_IsAttached(index)) continue;
        if (!TavlinVcam_Attach(index) || !TavlinVcam_SetPacing(index, o.pacing) ||
            !TavlinVcam_SetScene(index, o.scene)) {
            return false;
        }
        if (!o.rawFile.empty() &&
            TavlinVcam_LoadRawFile(index, o.rawFile.c_str(), o.rawBits) == 0) {
            std::fprintf(stderr, "tavlin-vcamd: cannot load raw frames from %s\n",
                         o.rawFile.c_str());
            return false;
        }
    }
    return true;
}

int Serve(const Options& options) {
    // Stop signals are taken through the daemon's signal descriptor; every thread inherits
    // the mask, so none of them is interrupted by one.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stopSignals, s);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    // Cameras first, so their sockets exist once the daemon says it serves.
    if (!AttachCameras(options)) return 1;
    std::vector<tavlin::vcamd::InheritedSocket> inherited;
    tavlin::vcamd::VcamDaemon daemon;
    std::string error;
    if (!tavlin::vcamd::TakeInheritedSockets(inherited, error) ||
        !daemon.Start(std::move(inherited), error)) {
        std::fprintf(stderr, "tavlin-vcamd: %s\n", error.c_str());
        return 1;
    }
    std::printf("tavlin-vcamd: serving %zu camera(s) in %s\n", options.cameras.size(),
                daemon.Folder().c_str());
    std::fflush(stdout);
    tavlin::vcamd::NotifyReady("serving " + std::to_string(options.cameras.size()) +
                               " camera(s) in " + daemon.Folder());
    daemon.Run();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-V") == 0)) {
        std::printf("tavlin-vcamd %s\n", TAVLIN_VERSION);
        return 0;
    }
    const auto options = ParseCommandLine(argc, argv);
    if (!options) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!options->send.empty()) return SendCommand(options->send);
    return Serve(*options);
}
