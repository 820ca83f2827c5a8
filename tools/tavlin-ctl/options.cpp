#include "options.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "file_formats.h"
#include "tavlin/tavlin.h"
#include "tavlin/tavlin_vcam.h"

namespace ctl {

namespace {

// The help text is also the source of the manual page (generated from it at build time), so
// its layout is kept regular: section headings end with a colon, options start with "  -".
constexpr char kHelp[] =
    "Usage: tavlin-ctl [OPTION]... ACTION...\n"
    "Controls Tavlin 410QZ-VKE cameras from the shell: lists them, shows and changes their\n"
    "settings, reads and writes sensor registers and SROM identification bytes, takes snapshots,\n"
    "captures frames to image files, records AVI clips, and attaches, detaches and triggers\n"
    "virtual cameras.\n"
    "\n"
    "The camera is the USB camera at the device index when one is there (USB cameras take the\n"
    "indices no virtual camera holds, in bus and port order), else the virtual-camera daemon's\n"
    "(tavlin-vcamd) when one runs, else a virtual camera plugged into this process; a line on\n"
    "standard error says which. Actions run in the order given and the first that fails ends\n"
    "the command.\n"
    "\n"
    "General options:\n"
    "  -d, --device=N            camera at device index N, 0..31 (default 0)\n"
    "      --daemon              use the daemon's cameras; fail when no daemon runs\n"
    "      --in-process          use a virtual camera in this process even when a daemon runs\n"
    "      --pacing=MODE         pacing of the in-process camera: real-time (default), fast, or\n"
    "                            as-taken (fast, each frame made only once the last is taken)\n"
    "      --scene=SCENE         what the in-process camera sees: ramp (default, gray), flat\n"
    "                            or chart (colour patches, gray steps, a moving marker)\n"
    "  -f, --format=FORMAT       image file format: bmp, raw, jpg100, jpg70, jpg20, png or tiff\n"
    "                            (default: from the file name: .bmp .raw .jpg .png .tif;\n"
    "                            .jpg is jpg100, and a format must suit a known extension)\n"
    "  -o, --output=PATTERN      file names of --capture and --trigger-capture; %d or %03d is\n"
    "                            the frame number from 1 (default frame-%03d.bmp)\n"
    "      --duration=MS         length of a --record clip in milliseconds (default 5000)\n"
    "  -q, --quiet               do not say which cameras are used\n"
    "  -v, --verbose             log what the SDK does at info level on standard error\n"
    "      --debug               log everything the SDK does at debug level on standard error\n"
    "                            (TAVLIN_LOG_LEVELS and TAVLIN_LOG_FILE, when set, take\n"
    "                            precedence; see docs/logging.md)\n"
    "  -h, --help                show this help and exit\n"
    "  -V, --version             show the version and exit\n"
    "\n"
    "Camera actions:\n"
    "  -l, --list                list the cameras present, with each one's transport (USB:\n"
    "                            bus, port and serial), and say why a USB camera on the id\n"
    "                            list cannot be used\n"
    "  -i, --info                show the camera's name, sensor, ranges, window and format\n"
    "  -a, --all                 show every setting with its value\n"
    "      --list-settings       show the settings' names, ranges, units and exports\n"
    "  -g, --get=NAME[,NAME...]  print settings, one value a line\n"
    "  -s, --set=NAME=VALUE[,NAME=VALUE...]\n"
    "                            change settings, e.g. exposure=500, colormode=24, gamma=150\n"
    "      --read-register=REG   print sensor register REG (0..255)\n"
    "      --write-register=REG=VALUE\n"
    "                            write VALUE (0..65535) to sensor register REG\n"
    "      --read-srom=INDEX     print SROM identification byte INDEX (0..255)\n"
    "      --write-srom=INDEX=VALUE\n"
    "                            write VALUE (0..255) to SROM identification byte INDEX\n"
    "\n"
    "Capture actions:\n"
    "      --snapshot=FILE       take one frame and save it to FILE\n"
    "      --capture=N           take N frames, one file each (see --output)\n"
    "      --stream=N            stream N frames into memory and print the frame rate\n"
    "      --record=FILE         record an AVI clip of --duration milliseconds\n"
    "      --trigger-capture=N   take N frames in trigger mode, pulsing the virtual camera's\n"
    "                            trigger input, one file each (see --output)\n"
    "      --stats               show the frame accounting of the last acquisition: frames\n"
    "                            delivered, processed, skipped and failed, and the sequence\n"
    "                            number and time stamp of the current image\n"
    "      --udev-rules          print the udev rules that give access to the USB devices on the\n"
    "                            id list (/etc/tavlin/usb-ids and TAVLIN_USB_IDS)\n"
    "\n"
    "Virtual-camera actions (on the daemon when used, else in this process):\n"
    "      --vcam-list           list the device indices with a virtual camera attached\n"
    "      --attach=I            plug a virtual camera in at device index I\n"
    "      --detach=I            unplug the virtual camera at device index I\n"
    "      --trigger=I[:PULSES]  give the camera at index I trigger pulses (default 1)\n"
    "\n"
    "Notes:\n"
    "Numbers are decimal or 0x hexadecimal. Gains, exposure and the image filter settings are\n"
    "kept per camera between commands; window, colour mode, sub-sampling, wait time and clock\n"
    "apply to the later actions of the same command.\n"
    "\n"
    "Exit status:\n"
    "  0                         success\n"
    "  1..13                     the SDK's error code of the failure, e.g. 9 invalid argument,\n"
    "                            2 device not available, 12 file or name failure\n"
    "  64                        bad command line\n"
    "  130                       interrupted (SIGINT or SIGTERM); the camera is still stopped and\n"
    "                            released, so its settings are kept\n"
    "\n"
    "Examples:\n"
    "  tavlin-ctl --list --info\n"
    "  tavlin-ctl --set exposure=500,gamma=150 --get exposure,realexposure\n"
    "  tavlin-ctl --set colormode=8 --snapshot frame.png\n"
    "  tavlin-ctl --capture 10 -o 'shot-%02d.jpg' -f jpg70\n"
    "  tavlin-ctl --record clip.avi --duration 2000\n"
    "  tavlin-ctl --stream 100 --stats\n";

struct OptionEntry {
    char shortName;  // 0: none
    std::string_view longName;
    bool takesValue;
    int id;  // a Verb, or one of the general options below
};

enum GeneralOption {
    kDevice = 100,
    kDaemon,
    kInProcess,
    kPacing,
    kScene,
    kFormat,
    kOutput,
    kDuration,
    kQuiet,
    kVerbose,
    kDebug,
    kHelpOption,
    kVersionOption,
};

constexpr int V(Verb verb) {
    return static_cast<int>(verb);
}

constexpr OptionEntry kOptionTable[] = {
    {'d', "device", true, kDevice},
    {0, "daemon", false, kDaemon},
    {0, "in-process", false, kInProcess},
    {0, "pacing", true, kPacing},
    {0, "scene", true, kScene},
    {'f', "format", true, kFormat},
    {'o', "output", true, kOutput},
    {0, "duration", true, kDuration},
    {'q', "quiet", false, kQuiet},
    {'v', "verbose", false, kVerbose},
    {0, "debug", false, kDebug},
    {'h', "help", false, kHelpOption},
    {'V', "version", false, kVersionOption},
    {'l', "list", false, V(Verb::kList)},
    {'i', "info", false, V(Verb::kInfo)},
    {'a', "all", false, V(Verb::kAll)},
    {0, "list-settings", false, V(Verb::kListSettings)},
    {'g', "get", true, V(Verb::kGet)},
    {'s', "set", true, V(Verb::kSet)},
    {0, "read-register", true, V(Verb::kReadRegister)},
    {0, "write-register", true, V(Verb::kWriteRegister)},
    {0, "read-srom", true, V(Verb::kReadSrom)},
    {0, "write-srom", true, V(Verb::kWriteSrom)},
    {0, "snapshot", true, V(Verb::kSnapshot)},
    {0, "capture", true, V(Verb::kCapture)},
    {0, "stream", true, V(Verb::kStream)},
    {0, "record", true, V(Verb::kRecord)},
    {0, "trigger-capture", true, V(Verb::kTriggerCapture)},
    {0, "stats", false, V(Verb::kStats)},
    {0, "vcam-list", false, V(Verb::kVcamList)},
    {0, "attach", true, V(Verb::kAttach)},
    {0, "detach", true, V(Verb::kDetach)},
    {0, "trigger", true, V(Verb::kTrigger)},
    {0, "udev-rules", false, V(Verb::kUdevRules)},
};

const OptionEntry* FindLong(std::string_view name) {
    for (const OptionEntry& entry : kOptionTable) {
        if (entry.longName == name) return &entry;
    }
    return nullptr;
}

const OptionEntry* FindShort(char name) {
    for (const OptionEntry& entry : kOptionTable) {
        if (entry.shortName != 0 && entry.shortName == name) return &entry;
    }
    return nullptr;
}

bool Fail(const std::string& message) {
    std::fprintf(stderr, "tavlin-ctl: %s (see --help)\n", message.c_str());
    return false;
}

bool ApplyGeneral(int id, const std::string& value, Options* options) {
    switch (id) {
        case kDevice: {
            const auto number = ParseInteger(value);
            if (!number || *number < 0 || *number > 31) return Fail("bad device index " + value);
            options->device = static_cast<int32_t>(*number);
            return true;
        }
        case kDaemon:
            options->source = Source::kDaemon;
            return true;
        case kInProcess:
            options->source = Source::kInProcess;
            return true;
        case kPacing:
            if (value == "real-time") {
                options->pacing = TAVLIN_VCAM_PACING_REAL_TIME;
            } else if (value == "fast") {
                options->pacing = TAVLIN_VCAM_PACING_FAST;
            } else if (value == "as-taken") {
                options->pacing = TAVLIN_VCAM_PACING_AS_TAKEN;
            } else {
                return Fail("bad pacing " + value);
            }
            return true;
        case kScene: {
            constexpr std::pair<std::string_view, int32_t> kScenes[] = {
                {"ramp", TAVLIN_VCAM_SCENE_RAMP},
                {"flat", TAVLIN_VCAM_SCENE_FLAT},
                {"chart", TAVLIN_VCAM_SCENE_CHART}};
            for (const auto& [name, scene] : kScenes) {
                if (value != name) continue;
                options->scene = scene;
                return true;
            }
            return Fail("bad scene " + value);
        }
        case kFormat:
            options->format = ParseFileFormat(value);
            return options->format ? true : Fail("unknown file format " + value);
        case kOutput:
            if (value.empty()) return Fail("empty output pattern");
            options->outputPattern = value;
            return true;
        case kDuration: {
            const auto ms = ParseInteger(value);
            if (!ms || *ms < 1 || *ms > 24 * 3600 * 1000) return Fail("bad duration " + value);
            options->durationMs = static_cast<int32_t>(*ms);
            return true;
        }
        case kQuiet:
            options->quiet = true;
            return true;
        case kVerbose:
            if (options->logLevels.empty()) options->logLevels = "*:info";
            return true;
        case kDebug:
            options->logLevels = "*:debug";
            return true;
        case kHelpOption:
            options->help = true;
            return true;
        case kVersionOption:
            options->version = true;
            return true;
        default:
            options->actions.push_back({static_cast<Verb>(id), value});
            return true;
    }
}

// One argument (and the next, when it carries the option's value); false on error.
bool ParseOne(int argc, char** argv, int* i, Options* options) {
    const std::string argument = argv[*i];
    const OptionEntry* entry = nullptr;
    std::optional<std::string> value;
    if (argument.starts_with("--")) {
        const size_t equals = argument.find('=');
        entry = FindLong(std::string_view(argument).substr(2, equals - 2));
        if (equals != std::string::npos) value = argument.substr(equals + 1);
    } else if (argument.size() >= 2 && argument[0] == '-') {
        entry = FindShort(argument[1]);
        if (argument.size() > 2) value = argument.substr(2);
    }
    if (entry == nullptr) return Fail("unknown option " + argument);
    if (!entry->takesValue && value) return Fail("option " + argument + " takes no value");
    if (entry->takesValue && !value) {
        if (*i + 1 >= argc) return Fail("option " + argument + " needs a value");
        value = argv[++*i];
    }
    return ApplyGeneral(entry->id, value.value_or(""), options);
}

}  // namespace

std::optional<int64_t> ParseInteger(const std::string& text) {
    if (text.empty() || text.size() > 24) return std::nullopt;
    const bool hex = text.starts_with("0x") || text.starts_with("0X") || text.starts_with("-0x") ||
                     text.starts_with("-0X");
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' ||
        std::isspace(static_cast<unsigned char>(text[0])) || text[0] == '+') {
        return std::nullopt;
    }
    return value;
}

std::optional<Options> ParseCommandLine(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        if (!ParseOne(argc, argv, &i, &options)) return std::nullopt;
    }
    if (!options.help && !options.version && options.actions.empty()) {
        Fail("no action given");
        return std::nullopt;
    }
    return options;
}

std::vector<OptionName> OptionNames() {
    std::vector<OptionName> names;
    for (const OptionEntry& entry : kOptionTable) {
        names.push_back({entry.shortName, std::string(entry.longName), entry.takesValue});
    }
    return names;
}

void PrintHelp() {
    std::fputs(kHelp, stdout);
}

void PrintVersion() {
    const int32_t version = Tavlin_GetDllVersion();
    std::printf("tavlin-ctl %s\nTavlin 410QZ-VKE SDK library version %d (0x%08X)\n",
                TAVLIN_CTL_VERSION, version, static_cast<unsigned>(version));
}

}  // namespace ctl
