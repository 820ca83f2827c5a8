// Process CPU time: every thread of the process (the client, the SDK's transfer and acquisition
// threads, helpers, and for the emulated bus umockdev's thread and the emulation's workers).
#pragma once

#include <time.h>

namespace tavlin::bench {

inline double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace tavlin::bench
