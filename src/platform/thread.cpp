#include "platform/thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <system_error>

#include "diag/log.h"

namespace tavlin::platform {

namespace {

// Linux thread names hold 15 characters and the terminator.
constexpr size_t kMaxThreadName = 15;

void ApplyPriority(ThreadPriority priority) {
    if (priority != ThreadPriority::Highest) return;
    // Raising priority needs privileges most users lack; a refusal is not an error.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    (void)setpriority(PRIO_PROCESS, tid, -2);
}

}  // namespace

bool WorkerThread::Start(std::string name, ThreadPriority priority, std::function<void()> body) {
    if (thread_.joinable()) return false;
    try {
        // A worker logs for the camera its starter works for.
        thread_ = std::thread([name = std::move(name), priority, body = std::move(body),
                               camera = diag::CurrentCamera()] {
            const diag::CameraScope scope(camera);
            pthread_setname_np(pthread_self(), name.substr(0, kMaxThreadName).c_str());
            ApplyPriority(priority);
            body();
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void WorkerThread::Join() {
    if (!thread_.joinable()) return;
    if (IsCurrentThread()) {
        thread_.detach();
        return;
    }
    thread_.join();
}

}  // namespace tavlin::platform
