# Two builds of the same commit give the same executable bytes, in whatever folder and at whatever
# time they are made, so that a published executable can be rebuilt from its source and compared.
# tools/check-reproducible proves it for the release executable.
if(MINGW)
  # ld writes the link time into the PE header (and with it into the header's checksum).
  add_link_options(LINKER:--no-insert-timestamp)
  # Source and build folders would reach the objects through __FILE__ and debug information.
  add_compile_options(
    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=>"
    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}/=>")
endif()
