# The release build of the DLLs (presets release-win32 and release-win64). CMAKE_BUILD_TYPE
# MinSizeRel gives -Os and no debug information; on top of that every function and datum gets its
# own section so that the linker drops what nothing reaches (most of the static C++ runtime), and the
# linker strips the symbol tables. The static runtime, the .def exports, the PE header's Windows
# version and the import slots are those of every build (cmake/Windows.cmake).
if(NOT WIN32)
  message(FATAL_ERROR "TALLOWBY_RELEASE builds the Windows DLLs: use the release-win32 or release-win64 preset")
endif()
add_compile_options(-ffunction-sections -fdata-sections)
add_link_options(LINKER:--gc-sections LINKER:--strip-all)
