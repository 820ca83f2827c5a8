# Sources of the platform layer, one per line. A new file is built only once it is listed here.
set(tavlin_platform_sources
    atomic_file.cpp
    clock.cpp
    file_size_signal.cpp
    language.cpp
    output_file.cpp
    process.cpp
    shared_memory.cpp
    text_convert.cpp
    thread.cpp
)
