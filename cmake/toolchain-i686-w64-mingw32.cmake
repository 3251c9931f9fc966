# Cross-compiling for Windows (i686): cmake/toolchain-mingw-w64.cmake for this architecture.
set(TALLOWBY_WIN_ARCH i686)
include("${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-w64.cmake")
