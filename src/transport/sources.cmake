# Sources of the transport layer, one per line. A new file is built only once it is listed here.
set(tavlin_transport_sources
    device_description.cpp
    transport_choice.cpp
)
