# The library links no BLAS; every program that links it brings a CBLAS.
# OpenBLAS's OpenMP build shares the library's libgomp, so inside Matmul's
# own parallel region it runs each tile on the calling thread.
find_library(ZELVAN_OPENBLAS NAMES openblas
  PATHS /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/openblas-openmp
  NO_DEFAULT_PATH)
if(NOT ZELVAN_OPENBLAS)
  find_library(ZELVAN_OPENBLAS NAMES openblas)
endif()
# Debian's reference BLAS, by full path: -lblas resolves through the
# alternatives system, usually to OpenBLAS again.
set(ZELVAN_REFERENCE_BLAS /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/blas/libblas.so.3)
