// Which dialogs exist in the process: every dialog window handle with the modal run it belongs
// to, and the runs that are open (initialised and not yet ended), found by the camera handle they
// were opened for or by the thread that runs them. Any thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "window/host_window.h"

namespace tavlin::dialogs {

class ModalRun;

class DialogRegistry {
  public:
    static DialogRegistry& Instance();

    void AddWindow(platform::WindowHandle window, std::weak_ptr<ModalRun> run);
    void RemoveWindow(platform::WindowHandle window);
    // The run a dialog window belongs to; null for a handle that is not a live dialog.
    std::shared_ptr<ModalRun> RunOf(platform::WindowHandle window) const;

    void Opened(const std::shared_ptr<ModalRun>& run);
    void Closed(const ModalRun* run);

    // The first open run that matches, waiting up to timeoutMs (negative: without limit) for
    // one to open.
    std::shared_ptr<ModalRun> WaitForRun(const std::function<bool(const ModalRun&)>& matches,
                                         int32_t timeoutMs) const;

  private:
    DialogRegistry() = default;
    std::shared_ptr<ModalRun> FindLocked(const std::function<bool(const ModalRun&)>& matches) const;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::unordered_map<platform::WindowHandle, std::weak_ptr<ModalRun>> windows_;
    std::vector<std::weak_ptr<ModalRun>> open_;
};

}  // namespace tavlin::dialogs
