# Sources of the output layer, one per line. A new file is built only once it is listed here.
set(tavlin_output_sources
    avi_writer.cpp
    block_buffer.cpp
    display_kernels.cpp
    image_buffer.cpp
    image_file.cpp
    jpeg_file.cpp
    png_file.cpp
    preview_window.cpp
    record_frame.cpp
    sample_rows.cpp
    sample_rows_avx2.cpp
    sample_rows_ssse3.cpp
    tiff_file.cpp
)
