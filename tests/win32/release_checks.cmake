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
  LIBRARIES version updater_update
  ARGS ${version_args})
if(TARGET version_resource_test)
  target_compile_definitions(version_resource_test PRIVATE UNICODE _UNICODE NOMINMAX)
  add_dependencies(version_resource_test pelora-updater)
endif()

# The main dialog's texts against their controls; run as a whole by tests/e2e at each DPI, so it
# has an entry point of its own (the program and the DPI the run was set up for). It sets the
# texts with the program's own code, and carries in its own resources the string tables of the
# catalogue with the pseudo-language, which no program users get ever holds.
include("${PROJECT_SOURCE_DIR}/cmake/message_catalogue.cmake")
set(pseudo_dir "${CMAKE_CURRENT_BINARY_DIR}/pseudo_catalogue")
updater_message_catalogue(dialog_fit_pseudo_messages INPUT "${PROJECT_SOURCE_DIR}/resources/messages.txt"
                          OUTPUT_DIR "${pseudo_dir}" PSEUDO)
# By its full path: the program's own generated folder, with files of the same names, is on the
# include path.
set(pseudo_rc "${CMAKE_CURRENT_BINARY_DIR}/dialog_fit_test.rc")
file(GENERATE OUTPUT "${pseudo_rc}" CONTENT "#include \"${pseudo_dir}/strings.rc\"\n")
add_executable(dialog_fit_test
  dialog_fit_test.cpp
  "${PROJECT_SOURCE_DIR}/win32/resource_access.cpp"
  "${PROJECT_SOURCE_DIR}/win32/win32_dialog_view.cpp"
  "${pseudo_rc}")
set_source_files_properties("${pseudo_rc}" PROPERTIES OBJECT_DEPENDS "${pseudo_dir}/strings.rc")
add_dependencies(dialog_fit_test dialog_fit_pseudo_messages)
target_link_libraries(dialog_fit_test PRIVATE win32_gtest updater_win32_portable updater_dialog user32
                                              gdi32)
target_compile_definitions(dialog_fit_test PRIVATE UNICODE _UNICODE NOMINMAX)
if(MINGW)
  target_link_options(dialog_fit_test PRIVATE -static -municode)
endif()
