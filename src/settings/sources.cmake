# Sources of the settings layer, one per line. A new file is built only once it is listed here.
set(tavlin_settings_sources
    analog_filter_settings.cpp
    config_file.cpp
    preset_list.cpp
    registry_file.cpp
    registry_session.cpp
    registry_store.cpp
    registry_text.cpp
    registry_tree.cpp
    settings_keys.cpp
    size_format_settings.cpp
)
