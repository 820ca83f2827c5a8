#include "stop_signal.h"

#include <signal.h>

#include <atomic>

namespace ctl {

namespace {

std::atomic<bool> gStop{false};

void OnStopSignal(int) {
    gStop.store(true);
}

}  // namespace

void InstallStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    // Only the first signal is taken: a second one ends a tool that does not stop as asked.
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool StopRequested() {
    return gStop.load();
}

}  // namespace ctl
