# The firmware version the program carries, defined once (UPDATER_FIRMWARE_VERSION in the top
# CMakeLists.txt), made readable for the C++ code, the resource script and the manifest:
#   generated/firmware_version.h          macros only, so that windres can read it as well
#   generated/pelora-updater.manifest     the manifest with the version in its assembly identity
# The program's file and product version is the firmware version, as major.minor.0.0.

# A refused version is forgotten before the configure fails, so it does not stick in the cache.
function(refuse_firmware_version reason)
  set(version "${UPDATER_FIRMWARE_VERSION}")
  unset(UPDATER_FIRMWARE_VERSION CACHE)
  message(FATAL_ERROR "UPDATER_FIRMWARE_VERSION ${reason}, not '${version}'")
endfunction()
if(NOT UPDATER_FIRMWARE_VERSION MATCHES "^(0|[1-9][0-9]?[0-9]?)\\.(0|[1-9][0-9]?[0-9]?)$")
  refuse_firmware_version("must be major.minor")
endif()
set(UPDATER_FIRMWARE_VERSION_MAJOR "${CMAKE_MATCH_1}")
set(UPDATER_FIRMWARE_VERSION_MINOR "${CMAKE_MATCH_2}")
# The unit keeps the version as one byte each.
if(UPDATER_FIRMWARE_VERSION_MAJOR GREATER 255 OR UPDATER_FIRMWARE_VERSION_MINOR GREATER 255)
  refuse_firmware_version("parts must fit a byte (0 to 255)")
endif()
set(UPDATER_FILE_VERSION_TEXT
    "${UPDATER_FIRMWARE_VERSION_MAJOR}.${UPDATER_FIRMWARE_VERSION_MINOR}.0.0")

set(generated "${CMAKE_BINARY_DIR}/generated")
# Rewritten only when the content changes, so nothing is rebuilt for nothing.
file(CONFIGURE OUTPUT "${generated}/firmware_version.h" CONTENT
"// Generated from UPDATER_FIRMWARE_VERSION by cmake/firmware_version.cmake. Do not edit.
// Plain macros: the resource script includes this file too.
#pragma once

#define UPDATER_FIRMWARE_VERSION_MAJOR ${UPDATER_FIRMWARE_VERSION_MAJOR}
#define UPDATER_FIRMWARE_VERSION_MINOR ${UPDATER_FIRMWARE_VERSION_MINOR}
#define UPDATER_FILE_VERSION ${UPDATER_FIRMWARE_VERSION_MAJOR},${UPDATER_FIRMWARE_VERSION_MINOR},0,0
#define UPDATER_FILE_VERSION_TEXT \"${UPDATER_FILE_VERSION_TEXT}\"
")
configure_file("${PROJECT_SOURCE_DIR}/resources/pelora-updater.manifest.in"
               "${generated}/pelora-updater.manifest" @ONLY)
# The generated headers' folder; the libraries that include them add it to their include path.
set(UPDATER_GENERATED_DIR "${generated}")
