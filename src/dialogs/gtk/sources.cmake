# Sources of the dialogs' GTK presenter, one per line. A new file is built only once it is listed here.
set(tavlin_dialogs_gtk_sources
    dialog_units.cpp
    dialog_view.cpp
    dialog_window.cpp
    dialog_window_describe.cpp
    gtk_host.cpp
    gtk_presenter.cpp
)
