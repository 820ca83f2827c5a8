# Sources of the vcam layer, one per line. A new file is built only once it is listed here.
set(tavlin_vcam_sources
    camera_model.cpp
    camera_registry.cpp
    colour_chart.cpp
    control_command.cpp
    device_file.cpp
    frame_renderer.cpp
    raw_file.cpp
    request_server.cpp
    sensor_noise.cpp
    socket_device_file.cpp
    unix_socket.cpp
    vcam_api.cpp
    virtual_camera.cpp
    wire_protocol.cpp
)
