// Stand-in for application windows as the SDK sees them: a window is a handle with a message
// queue. The SDK only posts to windows; applications read the queues through the host interface.
// Handles are opaque numbers that are never reused, so a stale handle is simply "not a window".
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace tavlin::platform {

using WindowHandle = uintptr_t;  // 0 is the null window

struct Message {
    WindowHandle window = 0;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

inline constexpr uint32_t kWmApp = 0x8000;

// A FIFO of posted messages, readable from any thread.
class MessageQueue {
  public:
    // Like a Windows queue, a full queue refuses further posts instead of growing without bound
    // behind a consumer that stopped reading.
    static constexpr size_t kCapacity = 10000;

    bool Post(const Message& message);
    // timeoutMs < 0 waits without limit.
    bool Get(Message& out, int32_t timeoutMs);
    bool Peek(Message& out);
    size_t Pending() const;
    // Wakes every waiter; later Gets return false at once.
    void Close();

  private:
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Message> messages_;
    bool closed_ = false;
};

// What a window is known by. Fixed at creation: nothing here renames or re-parents a window, so
// it is read without a lock for as long as the window object lives.
struct WindowIdentity {
    std::string className;
    std::string title;
    WindowHandle parent = 0;  // 0: a top-level window
    // Part of the window tree that lookups walk. Message windows are not: like Windows'
    // message-only windows they have no place among the top-level windows or anyone's children.
    bool listed = false;
};

// Anything the host knows as a window. Preview windows extend it with a drawing surface.
class HostWindow {
  public:
    HostWindow() = default;  // a message window
    explicit HostWindow(WindowIdentity identity) : identity_(std::move(identity)) {}
    virtual ~HostWindow() = default;
    const WindowIdentity& Identity() const { return identity_; }
    MessageQueue& Queue() { return queue_; }
    // Called once when the registry lets the window go (DestroyWindow), on the destroying thread.
    virtual void OnRemoved() {}
    WindowHandle Handle() const { return handle_; }

  private:
    friend class WindowRegistry;
    const WindowIdentity identity_{};
    MessageQueue queue_;
    WindowHandle handle_ = 0;
};

// Live windows by handle. Handles only grow, so the table is in creation order.
using WindowTable = std::map<WindowHandle, std::shared_ptr<HostWindow>>;

// Process-wide table of live windows.
class WindowRegistry {
  public:
    static WindowRegistry& Instance();

    // Files the window under a fresh handle and returns the handle.
    WindowHandle Add(std::shared_ptr<HostWindow> window);
    std::shared_ptr<HostWindow> Find(WindowHandle handle) const;
    // Removes the window and closes its queue; false for an unknown handle.
    bool Remove(WindowHandle handle);

    // Runs read(table) under the registry lock and returns its result, so a walk over several
    // windows sees one consistent table. read must not call back into the registry.
    template <class Read>
    auto Inspect(Read&& read) const {
        std::lock_guard<std::mutex> guard(mutex_);
        return read(static_cast<const WindowTable&>(windows_));
    }

  private:
    WindowRegistry() = default;

    mutable std::mutex mutex_;
    WindowTable windows_;
    // Handles step by 16 from a base that is not a small integer, so they never look like
    // camera handles or counts, and are never reused.
    WindowHandle next_ = 0x10000;
};

// PostMessage: to the window's queue, or with a null window to the calling thread's own queue.
// False when the window does not exist or its queue is full.
bool PostMessageTo(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// The calling thread's own queue (posts made by this thread to the null window).
MessageQueue& ThreadQueue();

}  // namespace tavlin::platform
