# Sources of the gdi layer, one per line. A new file is built only once it is listed here.
set(tavlin_gdi_sources
    gdi.cpp
    gdi_blit.cpp
)
