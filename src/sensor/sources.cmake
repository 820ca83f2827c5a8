# The sensor layer is header-only; a source file added here makes it a library.
set(tavlin_sensor_sources
)
