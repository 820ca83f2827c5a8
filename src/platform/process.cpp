#include "platform/process.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tavlin::platform {

uint64_t CurrentProcessId() {
    return static_cast<uint64_t>(getpid());
}

bool ProcessAlive(uint64_t pid) {
    if (pid == 0 || pid > static_cast<uint64_t>(INT32_MAX)) return false;
    if (kill(static_cast<pid_t>(pid), 0) == 0) return true;
    return errno == EPERM;
}

std::optional<ProcessStat> ParseProcessStat(const char* line) {
    constexpr int stateField = 3;
    constexpr int startTimeField = 22;
    // Fields after the command name: 3 state ... 22 start time.
    const char* close = std::strrchr(line, ')');
    if (close == nullptr) return std::nullopt;
    ProcessStat stat;
    const char* cursor = close + 1;
    for (int field = stateField; field <= startTimeField; ++field) {
        while (*cursor == ' ') ++cursor;
        if (*cursor == '\0' || *cursor == '\n') return std::nullopt;
        if (field == stateField) stat.state = *cursor;
        if (field == startTimeField) {
            char* end = nullptr;
            errno = 0;
            const unsigned long long value = std::strtoull(cursor, &end, 10);
            if (end == cursor || *cursor == '-' || errno != 0 ||
                (*end != ' ' && *end != '\n' && *end != '\0')) {
                return std::nullopt;
            }
            stat.startTime = value;
            return stat;
        }
        while (*cursor != ' ' && *cursor != '\0') ++cursor;
    }
    return std::nullopt;
}

std::optional<uint64_t> ProcessStartTime(uint64_t pid) {
    if (!ProcessAlive(pid)) return std::nullopt;
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    char line[1024] = {};
    size_t length = 0;
    if (std::FILE* file = std::fopen(path.c_str(), "re")) {
        length = std::fread(line, 1, sizeof(line) - 1, file);
        std::fclose(file);
    }
    line[length] = '\0';
    const std::optional<ProcessStat> stat = ParseProcessStat(line);
    // Alive but unreadable (no /proc, another namespace): the start time is unknown.
    if (!stat) return ProcessAlive(pid) ? std::optional<uint64_t>(0) : std::nullopt;
    if (stat->state == 'Z' || stat->state == 'X') return std::nullopt;
    return stat->startTime;
}

}  // namespace tavlin::platform
