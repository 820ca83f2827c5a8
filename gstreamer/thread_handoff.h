// Where a buffer passes between threads through GStreamer's own queues and pools. Those hand-offs
// happen inside the uninstrumented GStreamer and GLib libraries (futex locks, lock-free queues),
// so ThreadSanitizer cannot see them; these marks tell it. Without ThreadSanitizer they are
// empty.
#pragma once

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

namespace tavlin::gst {

// The object was just received from another thread (a pool, a queue).
inline void MarkReceived(const void* object) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<void*>(object));
#else
    (void)object;
#endif
}

// The object is about to be handed to another thread.
inline void MarkHandedOver(const void* object) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<void*>(object));
#else
    (void)object;
#endif
}

}  // namespace tavlin::gst
