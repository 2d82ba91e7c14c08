# Writes the texts the web page shows by itself (when its worker, which holds the catalogue,
# cannot start) as a script that defines PAGE_TEXTS: { NAME: { <language code>: text, ... } },
# the languages in the catalogue's order, so the first is the one for any other language.
#
#   cmake -DINPUT=messages.txt -DOUTPUT=page-texts.js -DNAMES=IDS_A,IDS_B -P page_texts.cmake
#
# The catalogue's texts are bodies of C string literals, which are JavaScript string bodies too.
cmake_minimum_required(VERSION 3.25)
include("${CMAKE_CURRENT_LIST_DIR}/take_line.cmake")

string(REPLACE "," ";" NAMES "${NAMES}")
file(READ "${INPUT}" rest)
set(entries "")
set(current "")
set(found "")
while(NOT rest STREQUAL "")
  take_line(rest line)
  if(line MATCHES "^[0-9]+ (IDS_[A-Z0-9_]+)$")
    if(NOT current STREQUAL "")
      string(APPEND entries "  },\n")
    endif()
    set(current "")
    if(CMAKE_MATCH_1 IN_LIST NAMES)
      set(current "${CMAKE_MATCH_1}")
      list(APPEND found "${current}")
      string(APPEND entries "  \"${current}\": {\n")
    endif()
  elseif(NOT current STREQUAL "" AND line MATCHES "^([a-z][a-z]) (.*)$")
    string(APPEND entries "    \"${CMAKE_MATCH_1}\": \"${CMAKE_MATCH_2}\",\n")
  endif()
endwhile()
if(NOT current STREQUAL "")
  string(APPEND entries "  },\n")
endif()
foreach(name IN LISTS NAMES)
  if(NOT name IN_LIST found)
    message(FATAL_ERROR "page_texts.cmake: ${name} is not in ${INPUT}")
  endif()
endforeach()
file(WRITE "${OUTPUT}.tmp"
     "// Generated from resources/messages.txt by cmake/page_texts.cmake.\n"
     "'use strict';\n\n"
     "const PAGE_TEXTS = {\n${entries}};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
