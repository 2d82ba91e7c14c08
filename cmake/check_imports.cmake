# Fails unless every DLL that EXECUTABLE imports is one of ALLOWED (names, any case).
#
#   cmake -DOBJDUMP=x86_64-w64-mingw32-objdump -DEXECUTABLE=prog.exe -DALLOWED="a.dll;b.dll"
#         -P check_imports.cmake
#
# A runtime DLL leaking into the import table (libwinpthread-1.dll, libstdc++-6.dll, ...) or a
# library that must be loaded from System32 at run time (hid.dll, comctl32.dll, msimg32.dll)
# shows up here as a name outside the list.
cmake_minimum_required(VERSION 3.25)

foreach(required OBJDUMP EXECUTABLE ALLOWED)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "check_imports: ${required} must be given")
  endif()
endforeach()

execute_process(COMMAND "${OBJDUMP}" -p "${EXECUTABLE}"
                OUTPUT_VARIABLE dump ERROR_VARIABLE dump_error RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "check_imports: ${OBJDUMP} -p failed (${status}): ${dump_error}")
endif()

string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
set(imported "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^DLL Name: " "" name "${line}")
  string(STRIP "${name}" name)
  string(TOLOWER "${name}" name)
  list(APPEND imported "${name}")
endforeach()
list(REMOVE_DUPLICATES imported)

if(imported STREQUAL "")
  message(FATAL_ERROR "check_imports: no import table found in ${EXECUTABLE}")
endif()

string(TOLOWER "${ALLOWED}" allowed)
set(unexpected "")
foreach(name IN LISTS imported)
  if(NOT name IN_LIST allowed)
    list(APPEND unexpected "${name}")
  endif()
endforeach()

string(REPLACE ";" ", " shown "${imported}")
if(NOT unexpected STREQUAL "")
  string(REPLACE ";" ", " bad "${unexpected}")
  message(FATAL_ERROR "check_imports: ${EXECUTABLE} imports ${bad}, outside the allowed set "
                      "(imports: ${shown})")
endif()
message(STATUS "check_imports: ${shown}")
