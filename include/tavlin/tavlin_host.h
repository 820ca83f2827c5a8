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
 * Returns the full length in bytes without the terminator, or -1. These two and
 * TavlinHost_GetParent also answer for open property dialogs (see finding windows below). */
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

/*
 * Finding windows, as FindWindowEx and GetWindow do on Windows: how an application reaches the
 * preview window the SDK made (class "VideoRenderer_%08x_%08x"; a child titled "ActiveMovie
 * Window" with control id 6540 in the application's parent, or a top-level "Active Window").
 *
 * The tree holds this process's windows other than message windows: parents (class
 * "TavlinHostWindow" from TavlinHost_CreateParentWindow; empty class and title for
 * TavlinHost_WrapX11Window), preview windows, and open property dialogs (class "#32770"; a sheet
 * is top-level, its pages are its children). Message windows are message-only windows: never
 * found (not even with null parent and childAfter, where Windows would include them), and not
 * usable as a parent here (null / -1).
 *
 * Order: children oldest first (Windows links a new child at the bottom of its siblings),
 * top-level windows newest first (linked at the top). Handles are never reused. A destroyed
 * window is never returned. Destroying a window does not destroy its children, but they leave
 * the tree with it: they are neither found nor walked from.
 *
 * All may be called from any thread; each call sees the windows as they were at one moment. A
 * handle that is not a window in the tree gives null (or -1). No error is recorded or posted.
 */

/* The first window after childAfter among parent's children (null parent: the top-level windows;
 * null childAfter: from the first) whose class name and title match. A null string matches any;
 * otherwise the whole text must be equal, ignoring case as Windows does for both (ASCII letters
 * only; other UTF-8 bytes compare exactly), so text of any length simply matches nothing that
 * does not have it. Null when nothing matches, when parent is not a window in the tree, or when
 * childAfter is not one of parent's children. */
TAVLIN_API TAVLIN_HWND TavlinHost_FindWindowEx(TAVLIN_HWND parent, TAVLIN_HWND childAfter,
                                               const char* className, const char* title);

/* TavlinHost_FindWindowEx(null, null, className, title): a top-level window. */
TAVLIN_API TAVLIN_HWND TavlinHost_FindWindow(const char* className, const char* title);

/* GetWindow commands (Windows' numbers). Siblings of a top-level window are the other top-level
 * windows. */
enum {
    TAVLIN_GW_HWNDFIRST = 0,
    TAVLIN_GW_HWNDLAST = 1,
    TAVLIN_GW_HWNDNEXT = 2,
    TAVLIN_GW_HWNDPREV = 3,
    TAVLIN_GW_CHILD = 5
};

/* The window in that relation to window: its first or last sibling (possibly itself), the next or
 * previous one, or its first child. Null when there is none, for another command, or for a
 * window not in the tree. Walking with TAVLIN_GW_HWNDNEXT stops early if the current window is
 * destroyed meanwhile; TavlinHost_EnumChildWindows takes one consistent list instead. */
TAVLIN_API TAVLIN_HWND TavlinHost_GetWindow(TAVLIN_HWND window, int32_t command);

/* Copies up to capacity handles of parent's descendants into windows, each window followed by
 * its own children, and returns how many there are in all; with a null parent the top-level
 * windows only (as EnumWindows). A null buffer or capacity <= 0 writes nothing, so a first call
 * tells the size. -1 for a parent that is not a window in the tree. */
TAVLIN_API int32_t TavlinHost_EnumChildWindows(TAVLIN_HWND parent, TAVLIN_HWND* windows,
                                               int32_t capacity);

/*
 * Property dialogs.
 *
 * Tavlin_SetAnalogDlg, Tavlin_SetImageDlg and Tavlin_SetCameraDlg run their dialog modally on the
 * calling thread and return when it closes. A dialog is a window (TAVLIN_HWND); the functions below
 * find open dialogs and drive them from any other thread, as a user would, without a display:
 * each call is carried out on the dialog's thread, in the dialog's own order of notifications
 * (typing into an edit notifies its change at once), and returns when it is done.
 *
 * Controls are named by their dialog item ids. An id is looked up in the dialog given, then in its
 * pages, visible pages first, so the sheet's handle reaches the controls of the page on screen;
 * TavlinHost_DialogPage names a page explicitly. Reads work on any existing item. Actions fail
 * (return 0) for a missing item, an item of another kind, a disabled item, a read-only edit, an
 * item on a hidden page, and a dialog that has closed.
 *
 * Without a display nobody else can answer a dialog: a dialog that hears from no automation call
 * for the idle time-out (60 s unless set below) is closed as with its close box, i.e. cancelled.
 */

/* Linux thread id of the calling thread, as TavlinHost_FindThreadDialog takes it. */
TAVLIN_API int64_t TavlinHost_CurrentThreadId(void);

/* The dialog open for a camera handle / on a thread, waiting up to timeoutMs (negative: without
 * limit) for one to open. Null when none does. */
TAVLIN_API TAVLIN_HWND TavlinHost_FindCameraDialog(int32_t camera, int32_t timeoutMs);
TAVLIN_API TAVLIN_HWND TavlinHost_FindThreadDialog(int64_t threadId, int32_t timeoutMs);

/* The index-th page of a property sheet (0: the first tab's page), null when there is none. */
TAVLIN_API TAVLIN_HWND TavlinHost_DialogPage(TAVLIN_HWND dialog, int32_t index);
/* 1 when the dialog is shown (a page: its tab is the selected one), 0 when hidden, -1 when the
 * handle is not an open dialog. */
TAVLIN_API int32_t TavlinHost_DialogIsVisible(TAVLIN_HWND dialog);
/* The dialog's resource number, or -1. */
TAVLIN_API int32_t TavlinHost_DialogGetResourceId(TAVLIN_HWND dialog);

/* Texts are UTF-8. Each text getter copies what fits into buffer (size bytes, always terminated,
 * never cutting a character) and returns the whole text's length in bytes, or -1 when the dialog,
 * item or entry does not exist. buffer may be null when size is 0. */
TAVLIN_API int32_t TavlinHost_DialogGetTitle(TAVLIN_HWND dialog, char* buffer, int32_t size);
TAVLIN_API int32_t TavlinHost_DialogGetItemText(TAVLIN_HWND dialog, int32_t id, char* buffer,
                                                int32_t size);
/* Entries of a drop-down list or tab labels of a tab control. */
TAVLIN_API int32_t TavlinHost_DialogGetEntryCount(TAVLIN_HWND dialog, int32_t id);
TAVLIN_API int32_t TavlinHost_DialogGetEntryText(TAVLIN_HWND dialog, int32_t id, int32_t index,
                                                 char* buffer, int32_t size);

/* An item's value: an edit's number, a trackbar's or up-down's position, the selected entry of a
 * list or tab control (-1: none), 1 or 0 for a check box or radio button. Returns 1 with *value
 * set, 0 when the item does not exist, has no value, or is an edit that holds no number. */
TAVLIN_API int32_t TavlinHost_DialogGetItemValue(TAVLIN_HWND dialog, int32_t id, int32_t* value);
/* 1 or 0, -1 when the item does not exist (or is not a check box or radio button). */
TAVLIN_API int32_t TavlinHost_DialogIsItemChecked(TAVLIN_HWND dialog, int32_t id);
TAVLIN_API int32_t TavlinHost_DialogIsItemEnabled(TAVLIN_HWND dialog, int32_t id);
/* Range of a trackbar or up-down: 1, or 0 for other items. */
TAVLIN_API int32_t TavlinHost_DialogGetItemRange(TAVLIN_HWND dialog, int32_t id, int32_t* minimum,
                                                 int32_t* maximum);

/* Replaces an edit's text (as typing or pasting it would). */
TAVLIN_API int32_t TavlinHost_DialogSetItemText(TAVLIN_HWND dialog, int32_t id, const char* text);
/* Moves a trackbar's thumb (kept inside its range) and notifies the move once. */
TAVLIN_API int32_t TavlinHost_DialogMoveTrackbar(TAVLIN_HWND dialog, int32_t id, int32_t position);
/* Clicks a push button, toggles a check box, or selects a radio button (clearing its group). */
TAVLIN_API int32_t TavlinHost_DialogClick(TAVLIN_HWND dialog, int32_t id);
/* Chooses an entry of a drop-down list, or a tab of a tab control. */
TAVLIN_API int32_t TavlinHost_DialogSelectEntry(TAVLIN_HWND dialog, int32_t id, int32_t index);
/* Presses an up-down's arrow steps times (negative: down); its buddy edit shows the result. */
TAVLIN_API int32_t TavlinHost_DialogSpin(TAVLIN_HWND dialog, int32_t id, int32_t steps);
/* The close box of the dialog (or of the sheet a page belongs to): the dialog is cancelled. */
TAVLIN_API int32_t TavlinHost_DialogClose(TAVLIN_HWND dialog);

/* Sets the idle time-out in milliseconds (negative: dialogs wait without limit) of dialogs that no
 * display presents; it applies at once, also to open dialogs. Returns the previous value. */
TAVLIN_API int32_t TavlinHost_SetDialogIdleTimeout(int32_t milliseconds);

/*
 * On-screen windows. With an X11 display ($DISPLAY) parents and previews are also real X windows
 * showing the same pixels as their client areas; without one everything stays in memory. The
 * close box of such a window posts TAVLIN_WM_CLOSE to the window's queue (the window is not
 * destroyed), and key presses in a top-level window post TAVLIN_WM_CHAR with the character (or
 * the X keysym of keys without one) as wParam.
 */
enum { TAVLIN_WM_CLOSE = 0x0010, TAVLIN_WM_CHAR = 0x0102 };

/* Wraps an X11 window of the application (on the display named by $DISPLAY) as a parent for
 * Tavlin_SetPreviewWindow; its client size is the X window's. Destroying the X window destroys
 * the wrapper too (previews in it stop drawing); TavlinHost_DestroyWindow lets it go without
 * touching the X window. Null without a display or for an id that names no window. */
TAVLIN_API TAVLIN_HWND TavlinHost_WrapX11Window(unsigned long xid);

/* The X11 window id behind a window, or 0 when it has none (no display). */
TAVLIN_API unsigned long TavlinHost_GetX11Window(TAVLIN_HWND window);

#ifdef __cplusplus
}
#endif

#endif /* TAVLIN_TAVLIN_HOST_H */
