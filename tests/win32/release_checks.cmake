# Windows-side checks of the release (GoogleTest, cross-built, run under Wine): the version
# resource and manifest of the built program, and whether every text of the main dialog fits its
# control (run at several DPI by tests/e2e, which owns the prefixes with fonts and a display).
if(NOT TARGET win32_gtest)
  return()
endif()

if(CMAKE_CROSSCOMPILING)
  set(version_args "Z:$<TARGET_FILE:pelora-updater>")
else()
  set(version_args "$<TARGET_FILE:pelora-updater>")
endif()
add_win32_gtest(version_resource_test NAME windows_version_resource
  SOURCES version_resource_test.cpp
  LIBRARIES version
  ARGS ${version_args})
if(TARGET version_resource_test)
  target_compile_definitions(version_resource_test PRIVATE UNICODE _UNICODE NOMINMAX)
  add_dependencies(version_resource_test pelora-updater)
endif()

# The main dialog's texts against their controls; run as a whole by tests/e2e at each DPI, so it
# has an entry point of its own (the program and the DPI the run was set up for).
add_executable(dialog_fit_test dialog_fit_test.cpp)
target_link_libraries(dialog_fit_test PRIVATE win32_gtest updater_win32_portable updater_dialog user32
                                              gdi32)
target_compile_definitions(dialog_fit_test PRIVATE UNICODE _UNICODE NOMINMAX)
if(MINGW)
  target_link_options(dialog_fit_test PRIVATE -static -municode)
endif()
