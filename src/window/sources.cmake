# Sources of the window layer, one per line. A new file is built only once it is listed here.
set(tavlin_window_sources
    host_surface_window.cpp
    host_window.cpp
    window_presenter_headless.cpp
    window_tree.cpp
    x11_display.cpp
    x11_error_handlers.cpp
    x11_image.cpp
    x11_presenter.cpp
)
