# Codec libraries of the image file writers (Debian: libjpeg62-turbo, libpng 1.6, zlib, libtiff).
# They are linked into the output layer and the shared library through TAVLIN_OUTPUT_LIBS.
find_package(JPEG REQUIRED)
find_package(PNG REQUIRED)
find_package(ZLIB REQUIRED)
find_package(TIFF REQUIRED)

set(TAVLIN_OUTPUT_LIBS JPEG::JPEG PNG::PNG ZLIB::ZLIB TIFF::TIFF)

# Xlib (and MIT-SHM from libXext) for on-screen windows, when installed; without them every
# window stays headless. Linked into the window layer and the shared library.
find_package(X11)
set(TAVLIN_WINDOW_LIBS "")
if(X11_FOUND AND X11_Xext_FOUND)
    add_compile_definitions(TAVLIN_HAVE_X11=1)
    list(APPEND TAVLIN_WINDOW_LIBS X11::X11 X11::Xext)
endif()

# GTK 3 for the property dialogs on screen, when installed with X11; without it dialogs stay
# headless. Linked into the dialogs' GTK presenter and the shared library through
# TAVLIN_DIALOG_LIBS. Debian: libgtk-3-dev.
set(TAVLIN_DIALOG_LIBS "")
find_package(PkgConfig)
if(PKG_CONFIG_FOUND AND X11_FOUND AND X11_Xext_FOUND)
    pkg_check_modules(GTK3 IMPORTED_TARGET gtk+-3.0)
endif()
if(GTK3_FOUND)
    set(TAVLIN_HAVE_GTK ON)
    list(APPEND TAVLIN_DIALOG_LIBS PkgConfig::GTK3)
endif()

# libusb 1.0 for USB cameras (src/usb), linked into the usb layer and the shared library through
# TAVLIN_USB_LIBS. Debian: libusb-1.0-0-dev.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBUSB REQUIRED IMPORTED_TARGET libusb-1.0)
set(TAVLIN_USB_LIBS PkgConfig::LIBUSB)
