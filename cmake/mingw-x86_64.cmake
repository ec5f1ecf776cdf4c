# Cross build for 64-bit Windows: a portability check, not a product.
set(MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
