// Process identity for claims other processes must be able to judge.
#pragma once

#include <cstdint>

namespace tavlin::platform {

uint64_t CurrentProcessId();

// True while a process with this id exists (including one we may not signal).
bool ProcessAlive(uint64_t pid);

}  // namespace tavlin::platform
