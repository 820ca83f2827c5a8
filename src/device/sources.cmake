# Sources of the device layer, one per line. A new file is built only once it is listed here.
set(tavlin_device_sources
    cancel_point.cpp
    device_file.cpp
    device_naming.cpp
    driver_channel.cpp
    exposure.cpp
    frame_transfer.cpp
    register_access.cpp
    request_watchdog.cpp
    tavlin_410qz_sdk.cpp
    transfer_thread.cpp
    tvl_sdk_lib.cpp
)
