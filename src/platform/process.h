// Process identity for claims other processes must be able to judge.
#pragma once

#include <cstdint>
#include <optional>

namespace tavlin::platform {

uint64_t CurrentProcessId();

// True while a process with this id exists (including one we may not signal).
bool ProcessAlive(uint64_t pid);

// Nullopt when no live process has this id (none, or a zombie that has already exited); else its
// start time in clock ticks after boot, which with the id names one process for the machine's
// uptime. 0 when the process exists but its start time cannot be read.
std::optional<uint64_t> ProcessStartTime(uint64_t pid);

struct ProcessStat {
    char state = '?';
    uint64_t startTime = 0;
};

// The state and start time of a /proc/<pid>/stat line; nullopt when malformed. The command name
// may hold spaces and parentheses.
std::optional<ProcessStat> ParseProcessStat(const char* line);

}  // namespace tavlin::platform
