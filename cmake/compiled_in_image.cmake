# updater_compile_in_image(<target>): compiles the build's firmware image (UPDATER_FIRMWARE_IMAGE)
# into <target> as CarriedImage() (update/compiled_in_image.h), for the front ends that have no
# resources to keep it in.
function(updater_compile_in_image target)
  set(source "${CMAKE_CURRENT_BINARY_DIR}/${target}_carried_image.cpp")
  add_custom_command(
    OUTPUT "${source}"
    COMMAND "${CMAKE_COMMAND}" "-DINPUT=${UPDATER_FIRMWARE_IMAGE}" "-DOUTPUT=${source}"
            -P "${PROJECT_SOURCE_DIR}/cmake/embed_image.cmake"
    DEPENDS "${UPDATER_FIRMWARE_IMAGE}" "${PROJECT_SOURCE_DIR}/cmake/embed_image.cmake"
    COMMENT "Carrying the firmware image ${UPDATER_FIRMWARE_IMAGE} in ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE "${source}")
endfunction()
