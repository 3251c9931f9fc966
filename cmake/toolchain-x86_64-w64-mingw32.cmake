# Cross-compiling for Windows (x86_64): cmake/toolchain-mingw-w64.cmake for this architecture.
set(TALLOWBY_WIN_ARCH x86_64)
include("${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-w64.cmake")
