# Windows-only build support: the Wine runner used by ctest, widl and the imported stdole2 type library.

# Resource scripts (type library, dialogs, bitmaps, VERSIONINFO) are compiled by windres.
enable_language(RC)

# Failures reported to the debug output name their source file: relative to the project, not this
# machine's folders.
add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:-fmacro-prefix-map=${PROJECT_SOURCE_DIR}/=>")

# The oldest Windows the DLLs load on, as <major>.<minor>: Windows 2000 for i686 (the host's own
# architecture since its first version), the first 64-bit Windows (XP x64 / Server 2003) for x86_64.
# The DLLs' PE headers state it and the build check holds every import to it.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_windows_target 5.0)
else()
  set(_windows_target 5.2)
endif()
set(TALLOWBY_WINDOWS_TARGET "${_windows_target}" CACHE STRING "Oldest Windows version the DLLs support (major.minor)")

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(TALLOWBY_WINEARCH win32)
  set(TALLOWBY_WINE_LOADER /usr/lib/wine/wine)
  set(TALLOWBY_WIDL_ARCH -m32)
else()
  set(TALLOWBY_WINEARCH win64)
  set(TALLOWBY_WINE_LOADER /usr/lib/wine/wine64)
  set(TALLOWBY_WIDL_ARCH -m64)
endif()

# The Wine server of the loader's package (the runner asks it whether the session still runs).
if(EXISTS /usr/lib/wine/wineserver64)
  set(TALLOWBY_WINESERVER /usr/lib/wine/wineserver64)
else()
  set(TALLOWBY_WINESERVER /usr/lib/wine/wineserver32)
endif()

# One private prefix per build folder, so per architecture.
set(TALLOWBY_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
configure_file("${CMAKE_SOURCE_DIR}/cmake/wine-run.in" "${CMAKE_BINARY_DIR}/wine-run"
  @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_BINARY_DIR}/wine-run")
# OFF where this architecture's programs cannot run (scripts/wine-arch.sh decides): everything is
# still built, and only the tests that need no Wine (the DLL checks) are registered.
option(TALLOWBY_WINE_TESTS "Register the tests that run under Wine" ON)

find_program(TALLOWBY_WIDL NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-widl widl REQUIRED)
set(TALLOWBY_WINE_IDL_DIR "/usr/include/wine/wine/windows" CACHE PATH "Wine's IDL files (Debian package libwine-dev)")

# Build-time tools under cmake/tools, compiled with the build machine's compiler at configure time
# (a cross build cannot build programs for the build machine itself).
set(_gen "${CMAKE_BINARY_DIR}/generated")
file(MAKE_DIRECTORY "${_gen}")
function(_tallowby_host_tool name out_var)
  set(tool "${_gen}/${name}")
  set(source "${CMAKE_SOURCE_DIR}/cmake/tools/${name}.cpp")
  if(NOT EXISTS "${tool}" OR "${source}" IS_NEWER_THAN "${tool}")
    execute_process(COMMAND c++ -std=c++17 -O2 -o "${tool}" "${source}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "cannot build ${name} with the host compiler")
    endif()
  endif()
  set(${out_var} "${tool}" PARENT_SCOPE)
endfunction()

# Turns a text pixel-art file into a 16x16 picture and its mask (bitmaps of the DLLs' resources).
_tallowby_host_tool(make_bitmaps TALLOWBY_MAKE_BITMAPS)

# Wine ships stdole2.tlb as a resource-only PE file; widl needs the raw type library inside it.
# Both architectures import the 64-bit package's copy: widl -m32 takes only names and identifiers
# from it, and the i686 type libraries it writes are byte for byte those written from the 32-bit
# package's copy, which a machine whose mirror cannot serve the i386 packages does not have.
set(TALLOWBY_WINE_STDOLE2 "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/stdole2.tlb"
  CACHE FILEPATH "Wine's stdole2.tlb (Debian package libwine, amd64)")
_tallowby_host_tool(extract_typelib _extractor)
execute_process(COMMAND "${_extractor}" "${TALLOWBY_WINE_STDOLE2}" "${_gen}/stdole2.tlb" RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "cannot extract stdole2.tlb from Wine's ${TALLOWBY_WINE_STDOLE2} (run scripts/setup.sh)")
endif()
set(TALLOWBY_STDOLE_DIR "${_gen}")

# tallowby_widl(<idl> OUT_DIR <dir> [INCLUDES <dirs...>])
# Compiles an IDL file into <name>.h, <name>_i.c and <name>.tlb in OUT_DIR and sets, in the caller's scope,
# <name>_HEADER, <name>_IID_SOURCE and <name>_TLB.
function(tallowby_widl idl)
  cmake_parse_arguments(ARG "" "OUT_DIR" "INCLUDES" ${ARGN})
  get_filename_component(name "${idl}" NAME_WE)
  get_filename_component(idl "${idl}" ABSOLUTE)
  get_filename_component(idl_dir "${idl}" DIRECTORY)
  file(MAKE_DIRECTORY "${ARG_OUT_DIR}")
  set(includes -I "${idl_dir}" -I "${TALLOWBY_WINE_IDL_DIR}")
  foreach(dir IN LISTS ARG_INCLUDES)
    list(APPEND includes -I "${dir}")
  endforeach()
  set(common ${TALLOWBY_WIDL_ARCH} ${includes} -L "${TALLOWBY_STDOLE_DIR}")
  set(h "${ARG_OUT_DIR}/${name}.h")
  set(c "${ARG_OUT_DIR}/${name}_i.c")
  set(t "${ARG_OUT_DIR}/${name}.tlb")
  add_custom_command(
    OUTPUT "${h}" "${c}" "${t}"
    COMMAND "${TALLOWBY_WIDL}" ${common} -h -o "${h}" "${idl}"
    COMMAND "${TALLOWBY_WIDL}" ${common} -u -o "${c}" "${idl}"
    COMMAND "${TALLOWBY_WIDL}" ${common} -t -o "${t}" "${idl}"
    DEPENDS "${idl}"
    WORKING_DIRECTORY "${ARG_OUT_DIR}"
    COMMENT "widl ${name}.idl"
    VERBATIM)
  set(${name}_HEADER "${h}" PARENT_SCOPE)
  set(${name}_IID_SOURCE "${c}" PARENT_SCOPE)
  set(${name}_TLB "${t}" PARENT_SCOPE)
endfunction()

# tallowby_windows_target(<target>)
# A DLL for TALLOWBY_WINDOWS_TARGET: its PE header states that OS and subsystem version, and the
# static runtime's imports that Windows lacks are filled from com/ImportSlots.cpp.
function(tallowby_windows_target target)
  target_sources(${target} PRIVATE "${PROJECT_SOURCE_DIR}/com/ImportSlots.cpp")
  target_link_libraries(${target} PRIVATE tallowby_com)
  string(REPLACE "." ";" version "${TALLOWBY_WINDOWS_TARGET}")
  list(GET version 0 major)
  list(GET version 1 minor)
  target_link_options(${target} PRIVATE
    "LINKER:--major-os-version,${major},--minor-os-version,${minor}"
    "LINKER:--major-subsystem-version,${major},--minor-subsystem-version,${minor}")
endfunction()

# tallowby_com_dll(<target> SOURCES <...> DEF <file.def> RC <file.rc> TLB <file.tlb> [LIBS <...>])
# A COM server DLL by the project's rules: the four entry points through a .def file, static runtime,
# built for TALLOWBY_WINDOWS_TARGET, the type library embedded as TYPELIB 1. The .rc names the type library by its file name only; the
# folder of TLB (the generated folder of this architecture) is on windres's include path, so no stale
# copy elsewhere is embedded. Pass the widl header in SOURCES so it is generated before compiling.
function(tallowby_com_dll target)
  cmake_parse_arguments(ARG "" "DEF;RC;TLB" "SOURCES;LIBS" ${ARGN})
  add_library(${target} SHARED ${ARG_SOURCES} "${ARG_DEF}" "${ARG_RC}" "${ARG_TLB}")
  tallowby_windows_target(${target})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${target})
  get_filename_component(tlb_dir "${ARG_TLB}" DIRECTORY)
  set_source_files_properties("${ARG_RC}" PROPERTIES OBJECT_DEPENDS "${ARG_TLB}")
  target_include_directories(${target} PRIVATE "${tlb_dir}")
  target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} tallowby_warnings)
endfunction()

# What the two shipped DLLs export: the four entry points of an in-process server and DllInstall,
# their per-user registration (regsvr32 /n /i:user).
set(TALLOWBY_COM_EXPORTS DllCanUnloadNow DllGetClassObject DllInstall DllRegisterServer DllUnregisterServer)

# The system DLLs a project DLL may import; anything else would have to be shipped with it.
set(TALLOWBY_SYSTEM_DLLS
  advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll
  shell32.dll shlwapi.dll user32.dll uxtheme.dll version.dll)

# Every Windows function a DLL of the project may import, with the first Windows version that has it.
set(TALLOWBY_IMPORT_TABLE "${PROJECT_SOURCE_DIR}/cmake/WindowsImports.txt")

# tallowby_check_dll(<target> [NAME <test>] [FAILS_WITH <regex>] [EXPORTS <names...>])
# A test (run natively, no Wine) of the DLL as built, read from `objdump -p` (cmake/CheckDll.cmake):
# exactly the four COM entry points exported (or EXPORTS), only system DLLs imported, only functions
# of the import table that TALLOWBY_WINDOWS_TARGET has, and that target in the PE header. NAME
# defaults to <target>.exports_and_imports; FAILS_WITH makes it a test of a DLL the check must
# refuse, passing when the check's output matches the regex.
function(tallowby_check_dll target)
  cmake_parse_arguments(ARG "" "NAME;FAILS_WITH" "EXPORTS" ${ARGN})
  if(NOT ARG_NAME)
    set(ARG_NAME ${target}.exports_and_imports)
  endif()
  set(exports "")
  if(ARG_EXPORTS)
    string(REPLACE ";" "\\;" exports "-DEXPORTS=${ARG_EXPORTS}")
  endif()
  add_test(NAME ${ARG_NAME}
    COMMAND "${CMAKE_COMMAND}"
      "-DOBJDUMP=${CMAKE_OBJDUMP}"
      "-DDLL=$<TARGET_FILE:${target}>"
      "-DSYSTEM_DLLS=${TALLOWBY_SYSTEM_DLLS}"
      "-DIMPORT_TABLE=${TALLOWBY_IMPORT_TABLE}"
      "-DWINDOWS_TARGET=${TALLOWBY_WINDOWS_TARGET}"
      ${exports}
      -P "${PROJECT_SOURCE_DIR}/cmake/CheckDll.cmake")
  if(ARG_FAILS_WITH)
    set_tests_properties(${ARG_NAME} PROPERTIES PASS_REGULAR_EXPRESSION "${ARG_FAILS_WITH}")
  endif()
endfunction()
