#Sources of the diagnostic logging layer, one per line.
set(tavlin_diag_sources log.cpp)
