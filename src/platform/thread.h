// A worker thread with a name and a best-effort priority, joined on destruction.
#pragma once

#include <functional>
#include <string>
#include <thread>

namespace tavlin::platform {

enum class ThreadPriority { Normal, Highest };

class WorkerThread {
  public:
    WorkerThread() = default;
    ~WorkerThread() { Join(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts body on a new thread. Returns false if a thread is already attached or the system
    // refuses to create one.
    bool Start(std::string name, ThreadPriority priority, std::function<void()> body);

    // Waits for the thread to end; a no-op when none runs or when called from the thread itself
    // (which then detaches, so a worker may end its own run).
    void Join();

    bool Running() const { return thread_.joinable(); }
    bool IsCurrentThread() const { return thread_.get_id() == std::this_thread::get_id(); }

  private:
    std::thread thread_;
};

}  // namespace tavlin::platform
