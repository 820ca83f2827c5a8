# Sources of the usb layer, one per line. A new file is built only once it is listed here.
set(tavlin_usb_sources
    udev_rules.cpp
    usb_cameras.cpp
    usb_context.cpp
    usb_device_file.cpp
    usb_ids.cpp
    usb_layout.cpp
    usb_operation.cpp
)
