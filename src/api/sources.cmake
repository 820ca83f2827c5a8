# Sources of the api layer, one per line. A new file is built only once it is listed here.
set(tavlin_api_sources
    exports_acquisition.cpp
    exports_device.cpp
    exports_devices.cpp
    exports_dialog_automation.cpp
    exports_dialogs.cpp
    exports_ext.cpp
    exports_filter.cpp
    exports_format.cpp
    exports_host.cpp
    exports_lifecycle.cpp
    exports_settings.cpp
    exports_unsupported.cpp
    exports_window_lookup.cpp
    sdk_chain.cpp
)
