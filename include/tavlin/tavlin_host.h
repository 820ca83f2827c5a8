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

/*
 * Windows with a client area: parents an application hands to the SDK, and the preview windows
 * the SDK creates in them. Without a display the client area is an in-memory surface that the
 * SDK's drawing lands in; these functions read it back and query what a window manager shows.
 * All are thread-safe; a handle that is not such a window makes them return 0 (or -1, null).
 */

/* ShowWindow commands. */
enum { TAVLIN_SW_HIDE = 0, TAVLIN_SW_SHOW = 5, TAVLIN_SW_MINIMIZE = 6, TAVLIN_SW_RESTORE = 9 };

/* Creates a visible top-level window with a client area of width x height (each 0..32767),
 * usable as the parent of a preview window. Destroy it with TavlinHost_DestroyWindow.
 * Returns null for sizes out of range or when memory is exhausted. */
TAVLIN_API TAVLIN_HWND TavlinHost_CreateParentWindow(int32_t width, int32_t height);

/* Copies the client area as top-down rows of bitsPerPixel 24 (B, G, R) or 32 (B, G, R, 0),
 * packed without padding: width x height x bitsPerPixel / 8 bytes. *width and *height (each may
 * be null) receive the client size whenever the window has one, so a first call with a null
 * buffer tells the size to allocate. Returns 1 when copied; 0 for another depth, a window
 * without a client area, or a buffer smaller than needed. A parent's pixels do not include its
 * children's. */
TAVLIN_API int32_t TavlinHost_ReadWindowPixels(TAVLIN_HWND window, void* pixels, size_t capacity,
                                               int32_t bitsPerPixel, int32_t* width,
                                               int32_t* height);

/* The window's title / class name in UTF-8, zero-terminated and truncated to capacity bytes.
 * Returns the full length in bytes without the terminator, or -1. */
TAVLIN_API int32_t TavlinHost_GetWindowText(TAVLIN_HWND window, char* text, int32_t capacity);
TAVLIN_API int32_t TavlinHost_GetClassName(TAVLIN_HWND window, char* text, int32_t capacity);

/* Client size (0 x 0 while minimised). Returns 1 or 0. */
TAVLIN_API int32_t TavlinHost_GetClientSize(TAVLIN_HWND window, int32_t* width, int32_t* height);

/* Position (in the parent's client area, or on the screen for a top-level window) and size of
 * the whole window, frame included. Returns 1 or 0. Any pointer may be null. */
TAVLIN_API int32_t TavlinHost_GetWindowRect(TAVLIN_HWND window, int32_t* x, int32_t* y,
                                            int32_t* width, int32_t* height);

/* Style, extended style and control identifier (0 for top-level windows). Returns 1 or 0. */
TAVLIN_API int32_t TavlinHost_GetWindowStyle(TAVLIN_HWND window, uint32_t* style, uint32_t* exStyle,
                                             int32_t* controlId);

/* The parent window, or null for a top-level window or a handle that is not a window. */
TAVLIN_API TAVLIN_HWND TavlinHost_GetParent(TAVLIN_HWND window);

/* 1 when the window and all its ancestors are visible, else 0. */
TAVLIN_API int32_t TavlinHost_IsWindowVisible(TAVLIN_HWND window);

/* Applies a TAVLIN_SW_ command. Returns 1, or 0 for another command or handle. */
TAVLIN_API int32_t TavlinHost_ShowWindow(TAVLIN_HWND window, int32_t command);

/* Moves and resizes the whole window (sizes clamped to 0..32767). Returns 1 or 0. */
TAVLIN_API int32_t TavlinHost_MoveWindow(TAVLIN_HWND window, int32_t x, int32_t y, int32_t width,
                                         int32_t height);

#ifdef __cplusplus
}
#endif

#endif /* TAVLIN_TAVLIN_HOST_H */
