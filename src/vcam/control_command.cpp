#include "vcam/control_command.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <optional>
#include <vector>

#include "tavlin/tavlin_vcam.h"
#include "vcam/camera_model.h"

namespace tavlin::vcam {

namespace {

constexpr uint32_t kMaxTraceLines = 16384;
constexpr uint32_t kDefaultTraceLines = 100;

using Words = std::vector<std::string_view>;

Words SplitWords(std::string_view line) {
    Words words;
    size_t at = 0;
    while (at < line.size()) {
        const size_t start = line.find_first_not_of(" \t\r", at);
        if (start == std::string_view::npos) break;
        const size_t end = std::min(line.find_first_of(" \t\r", start), line.size());
        words.push_back(line.substr(start, end - start));
        at = end;
    }
    return words;
}

// Decimal or 0x-prefixed hexadecimal, the whole word, within int64 and non-negative.
std::optional<int64_t> Number(std::string_view word) {
    int base = 10;
    if (word.starts_with("0x") || word.starts_with("0X")) {
        word.remove_prefix(2);
        base = 16;
    }
    int64_t value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value, base);
    if (word.empty() || error != std::errc() || end != word.data() + word.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

ControlResult Ok(const std::string& values = {}) {
    return {values.empty() ? "ok\n" : "ok " + values + "\n"};
}

ControlResult Error(const std::string& why) {
    return {"error " + why + "\n"};
}

// A word of the command quoted back in an error, cut to a sane length.
std::string Quote(std::string_view word) {
    constexpr size_t kMaxQuoted = 40;
    return word.size() <= kMaxQuoted ? std::string(word)
                                     : std::string(word.substr(0, kMaxQuoted)) + "...";
}

struct Args {
    Words words;            // words[0] is the command
    std::string_view rest;  // the line after the third word (a file name may hold spaces)
};

using Handler = ControlResult (*)(const Args&, int32_t camera);

std::string Hex(const uint8_t* data, size_t size) {
    std::string text;
    char digits[3];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(digits, sizeof(digits), "%02x", data[i]);
        text += digits;
    }
    return text;
}

ControlResult ChooseOption(std::string_view word, std::initializer_list<std::string_view> names,
                           int32_t camera, int32_t (*apply)(int32_t, int32_t)) {
    int32_t value = 0;
    for (const auto name : names) {
        if (word == name) return apply(camera, value) ? Ok() : Error("refused");
        ++value;
    }
    return Error("unknown option " + Quote(word));
}

ControlResult Trigger(const Args& a, int32_t camera) {
    const auto pulses = a.words.size() > 2 ? Number(a.words[2]) : std::optional<int64_t>(1);
    if (!pulses || *pulses < 1 || *pulses > 1000000) return Error("bad pulse count");
    return Ok(std::to_string(TavlinVcam_Trigger(camera, static_cast<int32_t>(*pulses))));
}

ControlResult Scene(const Args& a, int32_t camera) {
    // In the order of the TAVLIN_VCAM_SCENE_ numbers.
    return ChooseOption(a.words[2], {"ramp", "flat", "raw", "chart"}, camera, &TavlinVcam_SetScene);
}

ControlResult Noise(const Args& a, int32_t camera) {
    const auto amplitude = Number(a.words[2]);
    const auto seed = a.words.size() > 3 ? Number(a.words[3]) : std::optional<int64_t>(0);
    if (!seed || *seed > UINT32_MAX) return Error("bad seed");
    if (!amplitude || *amplitude > INT32_MAX ||
        !TavlinVcam_SetNoise(camera, static_cast<int32_t>(*amplitude),
                             static_cast<uint32_t>(*seed))) {
        return Error("bad amplitude (0..255)");
    }
    return Ok();
}

ControlResult Pacing(const Args& a, int32_t camera) {
    return ChooseOption(a.words[2], {"real-time", "fast", "as-taken"}, camera,
                        &TavlinVcam_SetPacing);
}

ControlResult Stall(const Args& a, int32_t camera) {
    return ChooseOption(a.words[2], {"off", "on"}, camera, &TavlinVcam_SetStall);
}

ControlResult Fail(const Args& a, int32_t camera) {
    // In the order of the TAVLIN_VCAM_FAULT_ numbers.
    static constexpr std::string_view kKinds[] = {"command",      "reply",      "frame",
                                                  "short",        "long",       "empty",
                                                  "hang-command", "hang-reply", "hang-frame"};
    const auto count = Number(a.words[3]);
    if (!count || *count > INT32_MAX) return Error("bad count");
    const auto nth = a.words.size() > 4 ? Number(a.words[4]) : std::optional<int64_t>(1);
    if (!nth || *nth < 1 || *nth > INT32_MAX) return Error("bad request number");
    for (int32_t kind = 0; kind < int32_t(std::size(kKinds)); ++kind) {
        if (a.words[2] == kKinds[kind]) {
            TavlinVcam_FailNth(camera, kind, static_cast<int32_t>(*nth),
                               static_cast<int32_t>(*count));
            return Ok();
        }
    }
    return Error("unknown fault " + Quote(a.words[2]));
}

ControlResult Waiting(const Args&, int32_t camera) {
    uint32_t count = 0;
    TavlinVcam_GetWaitingRequests(camera, &count);
    return Ok(std::to_string(count));
}

ControlResult UnplugAfter(const Args& a, int32_t camera) {
    const auto frames = Number(a.words[2]);
    if (!frames || *frames > INT32_MAX) return Error("bad frame count");
    TavlinVcam_UnplugAfterFrames(camera, static_cast<int32_t>(*frames));
    return Ok();
}

ControlResult LoadRaw(const Args& a, int32_t camera) {
    const auto bits = Number(a.words[2]);
    if (!bits || (*bits != 8 && *bits != 10)) return Error("bits must be 8 or 10");
    if (a.rest.empty()) return Error("missing file");
    const std::string path(a.rest);
    const int32_t frames =
        TavlinVcam_LoadRawFile(camera, path.c_str(), static_cast<int32_t>(*bits));
    if (frames == 0) return Error("cannot load " + Quote(path));
    return Ok(std::to_string(frames));
}

ControlResult ReadRegister(const Args& a, int32_t camera) {
    const auto reg = Number(a.words[2]);
    if (!reg || *reg > 0xFFFF) return Error("bad register");
    const auto r = static_cast<int32_t>(*reg);
    uint16_t sensor = 0;
    uint8_t byte = 0;
    int32_t ok = 0;
    uint32_t value = 0;
    if (a.words[0] == "sensor") {
        ok = TavlinVcam_ReadSensorRegister(camera, r, &sensor);
        value = sensor;
    } else if (a.words[0] == "controller") {
        ok = TavlinVcam_ReadControllerRegister(camera, r, &byte);
        value = byte;
    } else {
        ok = TavlinVcam_ReadSrom(camera, r, &byte);
        value = byte;
    }
    return ok ? Ok(std::to_string(value)) : Error("bad register");
}

ControlResult WriteSrom(const Args& a, int32_t camera) {
    const auto address = Number(a.words[2]);
    const auto value = Number(a.words[3]);
    if (!address || *address > 0xFFFF || !value || *value > 0xFF) return Error("bad srom write");
    TavlinVcam_WriteSrom(camera, static_cast<int32_t>(*address), static_cast<uint8_t>(*value));
    return Ok();
}

ControlResult ReadWord(const Args& a, int32_t camera) {
    uint32_t value = 0;
    if (a.words[0] == "transfer-size") {
        TavlinVcam_GetTransferSize(camera, &value);
    } else {
        TavlinVcam_GetDriverSetting(camera, &value);
    }
    return Ok(std::to_string(value));
}

ControlResult Counters(const Args&, int32_t camera) {
    TavlinVcamCounters c{};
    TavlinVcam_GetCounters(camera, &c);
    char text[256];
    std::snprintf(text, sizeof(text),
                  "delivered=%llu short=%llu failed=%llu commands=%llu triggers-pending=%llu "
                  "handles=%llu",
                  static_cast<unsigned long long>(c.framesDelivered),
                  static_cast<unsigned long long>(c.framesShort),
                  static_cast<unsigned long long>(c.framesFailed),
                  static_cast<unsigned long long>(c.commands),
                  static_cast<unsigned long long>(c.triggersPending),
                  static_cast<unsigned long long>(c.handlesOpen));
    return Ok(text);
}

std::string TraceLine(const TavlinVcamTraceEntry& e) {
    char head[160];
    std::snprintf(head, sizeof(head), "%u %u 0x%06x %d %u %u %d ", e.sequence, e.handle,
                  e.controlCode, e.pipe == 0xFFFFFFFFu ? -1 : static_cast<int>(e.pipe), e.length,
                  e.returned, e.succeeded);
    return head + Hex(e.data, sizeof(e.data)) + "\n";
}

ControlResult Trace(const Args& a, int32_t camera) {
    const auto first = a.words.size() > 2 ? Number(a.words[2]) : std::optional<int64_t>(0);
    const auto count =
        a.words.size() > 3 ? Number(a.words[3]) : std::optional<int64_t>(kDefaultTraceLines);
    if (!first || *first > UINT32_MAX || !count) return Error("bad trace range");
    std::vector<TavlinVcamTraceEntry> entries(std::min<int64_t>(*count, kMaxTraceLines));
    const int32_t n =
        entries.empty() ? 0
                        : TavlinVcam_GetTrace(camera, static_cast<uint32_t>(*first), entries.data(),
                                              static_cast<uint32_t>(entries.size()));
    ControlResult result = Ok(std::to_string(n));
    for (int32_t i = 0; i < n; ++i) result.reply += TraceLine(entries[static_cast<size_t>(i)]);
    return result;
}

ControlResult ClearTrace(const Args&, int32_t camera) {
    TavlinVcam_ClearTrace(camera);
    return Ok();
}

ControlResult Detach(const Args&, int32_t camera) {
    TavlinVcam_Detach(camera);
    return Ok();
}

struct CameraCommand {
    std::string_view name;
    size_t minWords;  // including the command and the index
    size_t maxWords;
    Handler handler;
};

constexpr CameraCommand kCameraCommands[] = {
    {"detach", 2, 2, &Detach},
    {"trigger", 2, 3, &Trigger},
    {"scene", 3, 3, &Scene},
    {"noise", 3, 4, &Noise},
    {"raw", 4, SIZE_MAX, &LoadRaw},
    {"pacing", 3, 3, &Pacing},
    {"fail", 4, 5, &Fail},
    {"waiting", 2, 2, &Waiting},
    {"stall", 3, 3, &Stall},
    {"unplug-after", 3, 3, &UnplugAfter},
    {"sensor", 3, 3, &ReadRegister},
    {"controller", 3, 3, &ReadRegister},
    {"srom", 3, 3, &ReadRegister},
    {"srom-write", 4, 4, &WriteSrom},
    {"transfer-size", 2, 2, &ReadWord},
    {"driver-setting", 2, 2, &ReadWord},
    {"counters", 2, 2, &Counters},
    {"trace", 2, 4, &Trace},
    {"clear-trace", 2, 2, &ClearTrace},
};

std::optional<int32_t> DeviceIndex(std::string_view word) {
    const auto index = Number(word);
    if (!index || *index >= protocol::kDeviceCount) return std::nullopt;
    return static_cast<int32_t>(*index);
}

// The line after the first three words, for arguments that may contain spaces.
std::string_view RestAfterThirdWord(std::string_view line, const Words& words) {
    if (words.size() < 4) return {};
    std::string_view rest = line.substr(static_cast<size_t>(words[3].data() - line.data()));
    while (!rest.empty() && (rest.back() == '\r' || rest.back() == ' ')) rest.remove_suffix(1);
    return rest;
}

ControlResult ListCameras() {
    std::string indices;
    for (int32_t i = 0; i < protocol::kDeviceCount; ++i) {
        if (TavlinVcam_IsAttached(i)) indices += (indices.empty() ? "" : " ") + std::to_string(i);
    }
    return Ok(indices);
}

ControlResult RunCameraCommand(std::string_view line, const Words& words) {
    for (const auto& command : kCameraCommands) {
        if (words[0] != command.name) continue;
        if (words.size() < command.minWords || words.size() > command.maxWords) {
            return Error("wrong number of arguments; try help");
        }
        const auto index = DeviceIndex(words[1]);
        if (!index) return Error("bad device index " + Quote(words[1]));
        if (!TavlinVcam_IsAttached(*index)) return Error("no camera at " + std::to_string(*index));
        return command.handler(Args{words, RestAfterThirdWord(line, words)}, *index);
    }
    return Error("unknown command " + Quote(words[0]) + "; try help");
}

}  // namespace

ControlResult ExecuteControlCommand(std::string_view line) {
    const Words words = SplitWords(line);
    if (words.empty()) return Error("empty command");
    const auto& command = words[0];
    if (command == "ping" && words.size() == 1) return Ok();
    if (command == "help" && words.size() == 1) return {std::string(ControlCommandHelp())};
    if (command == "list" && words.size() == 1) return ListCameras();
    if (command == "shutdown" && words.size() == 1) return {"ok\n", true};
    if (command == "attach" && words.size() == 2) {
        const auto index = DeviceIndex(words[1]);
        if (!index) return Error("bad device index " + Quote(words[1]));
        return TavlinVcam_Attach(*index) ? Ok() : Error("a camera is already attached there");
    }
    return RunCameraCommand(line, words);
}

std::string_view ControlCommandHelp() {
    return "ok commands (I = device index 0..31):\n"
           "  ping | list | help | shutdown\n"
           "  attach I | detach I\n"
           "  trigger I [PULSES]\n"
           "  scene I ramp|flat|raw|chart | raw I 8|10 FILE | noise I AMPLITUDE [SEED]\n"
           "  pacing I real-time|fast|as-taken\n"
           "  fail I command|reply|frame|short|long|empty|hang-command|hang-reply|hang-frame N"
           " [NTH]\n"
           "  stall I on|off | unplug-after I FRAMES | waiting I\n"
           "  sensor I REG | controller I REG | srom I ADDR | srom-write I ADDR VALUE\n"
           "  transfer-size I | driver-setting I | counters I\n"
           "  trace I [FIRST [COUNT]] | clear-trace I\n";
}

}  // namespace tavlin::vcam
