/*
 * Host interface: the window handles an application hands to the SDK, and the queues the SDK
 * posts its messages to.
 *
 * A message window is a queue with a handle. The SDK posts TAVLIN_MSG_ERROR and TAVLIN_MSG_FRAME
 * to the windows the application gave it; the application reads them here, blocking with a
 * time-out or polling, from any thread. A post to a null window lands in the posting thread's
 * own queue, which only that thread reads (TavlinHost_GetThreadMessage).
 */
#ifndef TAVLIN_TAVLIN_HOST_H
#define TAVLIN_TAVLIN_HOST_H

#include "tavlin/tavlin.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TavlinMessage {
    TAVLIN_HWND window; /* the window posted to (null for the thread queue) */
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
} TavlinMessage;

/* Creates a message window. Returns null only when memory is exhausted. */
TAVLIN_API TAVLIN_HWND TavlinHost_CreateMessageWindow(void);

/* Destroys any window created through this interface; pending messages are dropped.
 * Returns 1, or 0 for a handle that is not (or no longer) a window. */
TAVLIN_API int32_t TavlinHost_DestroyWindow(TAVLIN_HWND window);

/* 1 while the handle names a live window. */
TAVLIN_API int32_t TavlinHost_IsWindow(TAVLIN_HWND window);

/* Waits up to timeoutMs (negative: forever) for the oldest message of the window and removes it.
 * Returns 1 with *out filled, 0 on time-out or for a handle that is not a window. */
TAVLIN_API int32_t TavlinHost_GetMessage(TAVLIN_HWND window, TavlinMessage* out, int32_t timeoutMs);

/* Removes the oldest message without waiting: 1 if one was there, else 0. */
TAVLIN_API int32_t TavlinHost_PeekMessage(TAVLIN_HWND window, TavlinMessage* out);

/* Number of messages waiting in the window's queue (0 for a handle that is not a window). */
TAVLIN_API int32_t TavlinHost_PendingMessages(TAVLIN_HWND window);

/* Posts a message as the SDK does: 1 if queued, 0 if the window does not exist. */
TAVLIN_API int32_t TavlinHost_PostMessage(TAVLIN_HWND window, uint32_t message, uintptr_t wParam,
                                          intptr_t lParam);

/* Reads the calling thread's own queue (posts made to a null window by this thread). */
TAVLIN_API int32_t TavlinHost_GetThreadMessage(TavlinMessage* out, int32_t timeoutMs);

#ifdef __cplusplus
}
#endif

#endif /* TAVLIN_TAVLIN_HOST_H */
