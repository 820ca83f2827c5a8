// tavlin-ctl's command line: global options, and the actions in the order given.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ctl {

enum class Verb {
    kList,
    kInfo,
    kAll,
    kListSettings,
    kGet,
    kSet,
    kReadRegister,
    kWriteRegister,
    kReadSrom,
    kWriteSrom,
    kSnapshot,
    kCapture,
    kStream,
    kRecord,
    kTriggerCapture,
    kStats,
    kVcamList,
    kAttach,
    kDetach,
    kTrigger,
    kUdevRules,
};

struct Action {
    Verb verb;
    std::string argument;
};

enum class Source { kAuto, kDaemon, kInProcess };

struct Options {
    Source source = Source::kAuto;
    int32_t device = 0;
    std::optional<int32_t> pacing;  // TAVLIN_VCAM_PACING_*; real time when unset
    std::optional<int32_t> scene;   // TAVLIN_VCAM_SCENE_ of in-process cameras; else their own
    std::optional<int32_t> format;  // SDK file format code; else from the file name
    std::string outputPattern = "frame-%03d.bmp";
    int32_t durationMs = 5000;
    bool quiet = false;
    std::string logLevels;  // -v / --debug: the SDK's log levels; empty leaves them alone
    bool help = false;
    bool version = false;
    std::vector<Action> actions;
};

// Parses argv; on failure prints why on stderr and returns nothing.
std::optional<Options> ParseCommandLine(int argc, char** argv);

// The option table, for the shell's completion.
struct OptionName {
    char shortName;  // 0: none
    std::string longName;
    bool takesValue;
};
std::vector<OptionName> OptionNames();

void PrintHelp();
void PrintVersion();

// A decimal or 0x-hexadecimal integer, the whole text.
std::optional<int64_t> ParseInteger(const std::string& text);

}  // namespace ctl
