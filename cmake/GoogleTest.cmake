# GoogleTest is built from Debian's sources with the project's own compiler, so the native and the
# mingw-w64 builds use the same code path.
set(GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest source tree (Debian package googletest)")
if(NOT EXISTS "${GTEST_SOURCE_DIR}/CMakeLists.txt")
  message(FATAL_ERROR "GoogleTest sources not found in ${GTEST_SOURCE_DIR}: run scripts/setup.sh")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
if(WIN32)
  # The default mingw threads model does not compile GoogleTest's port layer.
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
endif()
add_subdirectory("${GTEST_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)

include(GoogleTest)

# tallowby_add_gtest(<name> SOURCES <files...> LIBS <libs...>)
# One test executable, its cases discovered into ctest. Under mingw the discovery runs through the
# Wine emulator at test time (PRE_TEST), so building never needs Wine. Where Wine cannot run this
# architecture (TALLOWBY_WINE_TESTS OFF) the program is built and not registered.
# Discovery hands PROPERTIES on as one flat list, so a list value (two RESOURCE_LOCKs) loses its
# later items and takes the pairs after it with them: put such a property last.
function(tallowby_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock_main tallowby_warnings)
  if(CMAKE_CROSSCOMPILING_EMULATOR AND NOT TALLOWBY_WINE_TESTS)
    return()
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 120 ${ARG_PROPERTIES})
endfunction()
