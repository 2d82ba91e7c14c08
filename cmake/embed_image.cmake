# Writes a C++ source that carries a file's bytes, for a program without resources to keep the
# firmware image in.
#
#   cmake -DINPUT=image.bin -DOUTPUT=carried_image.cpp -P embed_image.cmake
#
# The build calls it through updater_compile_in_image (compiled_in_image.cmake).
cmake_minimum_required(VERSION 3.25)

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR length "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Sixteen bytes a line keeps the generated file readable and diffs small.
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" bytes "${bytes}")

set(source "// Generated from the firmware image by cmake/embed_image.cmake. Do not edit.\n")
string(APPEND source "#include \"update/compiled_in_image.h\"\n\n#include <cstddef>\n\nnamespace {\n\n")
if(length EQUAL 0)
  string(APPEND source "constexpr std::uint8_t kImage[1] = {0};\n")
else()
  string(APPEND source "constexpr std::uint8_t kImage[${length}] = {\n${bytes}\n};\n")
endif()
string(APPEND source "constexpr std::size_t kImageBytes = ${length};\n\n}  // namespace\n\n")
string(APPEND source "std::span<const std::uint8_t> CarriedImage() {\n")
string(APPEND source "  return {kImage, kImageBytes};\n}\n")
file(WRITE "${OUTPUT}" "${source}")
