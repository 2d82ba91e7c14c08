# Windows-side checks of the release (GoogleTest, cross-built, run under Wine): the version
# resource and manifest of the built program, and whether every text of the main dialog fits its
# control (run at several DPI by tests/e2e, which owns the prefixes with fonts and a display).
include("${PROJECT_SOURCE_DIR}/cmake/mingw_gtest.cmake")
if(NOT TARGET updater_gtest_mingw)
  message(STATUS "No GoogleTest sources for the Windows checks; version and fit tests skipped")
  return()
endif()

add_executable(version_resource_test version_resource_test.cpp)
target_link_libraries(version_resource_test PRIVATE updater_gtest_mingw version)
target_compile_definitions(version_resource_test PRIVATE UNICODE _UNICODE NOMINMAX)
if(MINGW)
  target_link_options(version_resource_test PRIVATE -static -municode)
endif()

if(CMAKE_CROSSCOMPILING AND WINE_PROGRAM)
  add_test(NAME windows_version_resource
           COMMAND "${CMAKE_COMMAND}" -E env "WINEPREFIX=${CMAKE_BINARY_DIR}/wine-platform-tests"
                   WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml="
                   "${WINE_PROGRAM}" "$<TARGET_FILE:version_resource_test>"
                   "Z:$<TARGET_FILE:pelora-updater>")
  # The prefix is shared with the other platform tests, which make it on first use.
  set_tests_properties(windows_version_resource PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
elseif(NOT CMAKE_CROSSCOMPILING)
  add_test(NAME windows_version_resource
           COMMAND version_resource_test "$<TARGET_FILE:pelora-updater>")
endif()

# The main dialog's texts against their controls; run by tests/e2e at each DPI.
add_executable(dialog_fit_test dialog_fit_test.cpp)
target_link_libraries(dialog_fit_test PRIVATE updater_gtest_mingw updater_win32_portable
                                              updater_logic user32 gdi32)
target_compile_definitions(dialog_fit_test PRIVATE UNICODE _UNICODE NOMINMAX)
if(MINGW)
  target_link_options(dialog_fit_test PRIVATE -static -municode)
endif()
