# Cross-compiling for Windows with mingw-w64's posix-thread compilers (GoogleTest needs them), for the
# architecture the including toolchain file sets in TALLOWBY_WIN_ARCH (i686 or x86_64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TALLOWBY_WIN_ARCH})

set(CMAKE_C_COMPILER ${TALLOWBY_WIN_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${TALLOWBY_WIN_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${TALLOWBY_WIN_ARCH}-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TALLOWBY_WIN_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Static runtime: our DLLs and test programs import only system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--enable-stdcall-fixup")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--enable-stdcall-fixup")
