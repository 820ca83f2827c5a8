// Xlib keeps one error handler and one I/O error handler per process. Every connection the
// library opens (the preview display, the dialogs' GTK display) registers its own pair here;
// the shared handlers installed once in front send each error to its connection's pair, and
// errors of connections the library does not own to the handlers that were in place before.
#pragma once

#if TAVLIN_HAVE_X11

#include <X11/Xlib.h>

namespace tavlin::platform {

class X11ErrorHandlers {
  public:
    using ErrorHandler = int (*)(Display*, XErrorEvent*);
    using IoErrorHandler = int (*)(Display*);

    // Installs the shared handlers unless they are in place, and sends the errors of
    // `connection` to `onError` and `onIoError` from now on.
    static void Route(Display* connection, ErrorHandler onError, IoErrorHandler onIoError);

    // Puts the shared handlers back in front after a library replaced them (GDK does while it
    // opens its display) and returns the error handler it found there, or nullptr if the shared
    // one still was. The first call also remembers what it finds as the application's handlers.
    static ErrorHandler Reinstall();
};

}  // namespace tavlin::platform

#endif  // TAVLIN_HAVE_X11
