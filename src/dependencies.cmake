# Codec libraries of the image file writers (Debian: libjpeg62-turbo, libpng 1.6, zlib, libtiff).
# They are linked into the output layer and the shared library through TAVLIN_OUTPUT_LIBS.
find_package(JPEG REQUIRED)
find_package(PNG REQUIRED)
find_package(ZLIB REQUIRED)
find_package(TIFF REQUIRED)

set(TAVLIN_OUTPUT_LIBS JPEG::JPEG PNG::PNG ZLIB::ZLIB TIFF::TIFF)
