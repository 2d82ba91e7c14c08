# Writes the SHA-256 digest of the firmware image the build carries as a C++ header, so that the
# digest the program checks the image against is computed from the very file the build embeds and
# is never typed by hand.
#
#   cmake -DIMAGE=firmware.bin -DOUTPUT=carried_image_digest.h -P generate_image_digest.cmake
cmake_minimum_required(VERSION 3.25)

foreach(required IMAGE OUTPUT)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "generate_image_digest: ${required} must be given")
  endif()
endforeach()
if(NOT EXISTS "${IMAGE}" OR IS_DIRECTORY "${IMAGE}")
  message(FATAL_ERROR "generate_image_digest: no image file at ${IMAGE}")
endif()

file(SHA256 "${IMAGE}" digest)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${digest}")
string(REGEX REPLACE ",$" "" bytes "${bytes}")
# Only the file's name: a build path in a generated file is one more thing two builds differ in.
get_filename_component(name "${IMAGE}" NAME)

file(WRITE "${OUTPUT}"
     "// Generated from ${name} by cmake/generate_image_digest.cmake. Do not edit.\n"
     "#pragma once\n\n"
     "#include \"update/sha256.h\"\n\n"
     "// SHA-256 ${digest}\n"
     "inline constexpr Sha256Digest CARRIED_IMAGE_SHA256 = {${bytes}};\n")
