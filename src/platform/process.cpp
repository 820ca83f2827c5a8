#include "platform/process.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace tavlin::platform {

uint64_t CurrentProcessId() {
    return static_cast<uint64_t>(getpid());
}

bool ProcessAlive(uint64_t pid) {
    if (pid == 0 || pid > static_cast<uint64_t>(INT32_MAX)) return false;
    if (kill(static_cast<pid_t>(pid), 0) == 0) return true;
    return errno == EPERM;
}

}  // namespace tavlin::platform
