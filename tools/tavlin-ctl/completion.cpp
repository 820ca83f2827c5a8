#include "completion.h"

#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "error_text.h"
#include "file_formats.h"
#include "options.h"
#include "settings_table.h"

namespace ctl {

namespace {

// Values a shell can offer; an option taking a value not named here gets "value" (a number or
// free text the shell cannot list).
constexpr std::pair<std::string_view, std::string_view> kValueKinds[] = {
    {"format", "format"}, {"set", "assignments"}, {"get", "settings"}, {"scene", "scene"},
    {"pacing", "pacing"}, {"snapshot", "file"},   {"record", "file"},  {"output", "file"},
};

// As ApplyGeneral accepts them.
constexpr const char* kScenes[] = {"ramp", "flat", "chart"};
constexpr const char* kPacings[] = {"real-time", "fast", "as-taken"};

std::string_view ValueKind(const OptionName& option) {
    if (!option.takesValue) return "flag";
    for (const auto& [name, kind] : kValueKinds) {
        if (option.longName == name) return kind;
    }
    return "value";
}

}  // namespace

int PrintCompletions(const char* what) {
    const std::string_view list = what;
    if (list == "options") {
        for (const OptionName& option : OptionNames()) {
            const std::string_view kind = ValueKind(option);
            const std::string shortName =
                option.shortName != 0 ? std::string{'-', option.shortName} : "-";
            std::printf("--%s %s %.*s\n", option.longName.c_str(), shortName.c_str(),
                        static_cast<int>(kind.size()), kind.data());
        }
    } else if (list == "settings") {
        for (const Setting& setting : Settings()) std::printf("%s\n", setting.name);
    } else if (list == "formats") {
        for (const std::string& name : FileFormatNames()) std::printf("%s\n", name.c_str());
    } else if (list == "scenes" || list == "pacing") {
        const std::span<const char* const> names =
            list == "scenes" ? std::span<const char* const>(kScenes) : kPacings;
        for (const char* name : names) std::printf("%s\n", name);
    } else {
        std::fprintf(stderr, "tavlin-ctl: nothing to complete as %s\n", what);
        return kExitUsage;
    }
    return 0;
}

}  // namespace ctl
