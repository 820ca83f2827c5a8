#include "platform/file_size_signal.h"

#include <pthread.h>

#include <ctime>

namespace tavlin::platform {

namespace {

sigset_t OnlyFileSizeSignal() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGXFSZ);
    return set;
}

bool FileSizeSignalPending() {
    sigset_t pending;
    return sigpending(&pending) == 0 && sigismember(&pending, SIGXFSZ) == 1;
}

}  // namespace

FileSizeSignalGuard::FileSizeSignalGuard() {
    const sigset_t block = OnlyFileSizeSignal();
    active_ = pthread_sigmask(SIG_BLOCK, &block, &previousMask_) == 0;
    pendingBefore_ = active_ && FileSizeSignalPending();
}

FileSizeSignalGuard::~FileSizeSignalGuard() {
    if (!active_) return;
    if (!pendingBefore_ && FileSizeSignalPending()) {
        const sigset_t set = OnlyFileSizeSignal();
        const timespec now{0, 0};
        sigtimedwait(&set, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

}  // namespace tavlin::platform
