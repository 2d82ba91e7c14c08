# Turns the message catalogue source into the code and resources that carry it, so every text is
# typed once (resources/messages.txt) and the Windows string tables and the host table agree.
#
#   cmake -DINPUT=messages.txt -DOUTPUT_DIR=dir -DWEB_ADDRESS=www.example -P generate_messages.cmake
#
# Writes into OUTPUT_DIR:
#   message_ids.h        inline constexpr MessageId IDS_... = <id>;
#   message_table.inc    {IDS_..., L"english", L"german"}, one line per message
#   strings.rc           UTF-8 resource script part: one STRINGTABLE per language
#
# Texts are bodies of C string literals; the only escapes allowed are \r and \n, kept as escapes
# in both outputs. Anything that would change meaning on the way (a quote, another backslash
# escape, or a character that CMake's list handling would split or swallow) stops the build.

cmake_minimum_required(VERSION 3.25)

foreach(required INPUT OUTPUT_DIR WEB_ADDRESS)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "generate_messages: ${required} must be given")
  endif()
endforeach()

file(READ "${INPUT}" source)

# Characters that list handling or literal quoting would mangle are refused outright rather than
# escaped, so that no text can silently differ from what the catalogue source says.
function(refuse_unsafe text where)
  foreach(bad ";" "[" "]" "\"")
    string(FIND "${text}" "${bad}" at)
    if(NOT at EQUAL -1)
      message(FATAL_ERROR "generate_messages: ${where} contains '${bad}', which is not supported")
    endif()
  endforeach()
  # Only \r and \n may follow a backslash.
  string(REPLACE "\\r" "" plain "${text}")
  string(REPLACE "\\n" "" plain "${plain}")
  string(FIND "${plain}" "\\" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "generate_messages: ${where} contains a backslash other than \\r or \\n")
  endif()
endfunction()

refuse_unsafe("${WEB_ADDRESS}" "WEB_ADDRESS")

# A UTF-8 byte order mark would become part of the first line.
string(LENGTH "${source}" source_length)
if(source_length GREATER_EQUAL 3)
  string(SUBSTRING "${source}" 0 3 head)
  string(HEX "${head}" head)
  if(head STREQUAL "efbbbf")
    string(SUBSTRING "${source}" 3 -1 source)
  endif()
endif()

set(ids_h "// Generated from resources/messages.txt by cmake/generate_messages.cmake. Do not edit.\n")
string(APPEND ids_h "#pragma once\n\n#include <cstdint>\n\nusing MessageId = std::uint16_t;\n\n")
set(table_inc "// Generated from resources/messages.txt by cmake/generate_messages.cmake. Do not edit.\n")
string(APPEND table_inc "// Rows of {id, English, German}.\n")
set(rc_en "")
set(rc_de "")

set(seen_ids "")
set(seen_names "")
set(current_id "")
set(count 0)
set(line_number 0)

# Closes the message being read: both languages must be present.
macro(finish_message)
  if(NOT current_id STREQUAL "")
    if(NOT DEFINED text_en OR NOT DEFINED text_de)
      message(FATAL_ERROR "generate_messages: ${current_name} (${current_id}) lacks the en or de text")
    endif()
    string(APPEND ids_h "inline constexpr MessageId ${current_name} = ${current_id};\n")
    string(APPEND table_inc "{${current_name}, L\"${text_en}\", L\"${text_de}\"},\n")
    string(APPEND rc_en "  ${current_id}, L\"${text_en}\"\n")
    string(APPEND rc_de "  ${current_id}, L\"${text_de}\"\n")
    math(EXPR count "${count} + 1")
  endif()
  unset(text_en)
  unset(text_de)
endmacro()

# Walks the file line by line with string positions, never as a CMake list.
set(rest "${source}")
while(NOT rest STREQUAL "")
  math(EXPR line_number "${line_number} + 1")
  string(FIND "${rest}" "\n" newline)
  if(newline EQUAL -1)
    set(line "${rest}")
    set(rest "")
  else()
    string(SUBSTRING "${rest}" 0 ${newline} line)
    math(EXPR next "${newline} + 1")
    string(SUBSTRING "${rest}" ${next} -1 rest)
  endif()
  string(REGEX REPLACE "\r$" "" line "${line}")
  # Comment lines may hold anything; they never reach the outputs.

  if(line STREQUAL "" OR line MATCHES "^#")
    continue()
  endif()

  if(line MATCHES "^([0-9]+) (IDS_[A-Z0-9_]+)$")
    finish_message()
    set(current_id "${CMAKE_MATCH_1}")
    set(current_name "${CMAKE_MATCH_2}")
    if(current_id GREATER 65535)
      message(FATAL_ERROR "generate_messages: line ${line_number}: ${current_id} is not a 16-bit id")
    endif()
    if("${current_id}" IN_LIST seen_ids OR "${current_name}" IN_LIST seen_names)
      message(FATAL_ERROR "generate_messages: line ${line_number}: ${current_name} ${current_id} given twice")
    endif()
    list(APPEND seen_ids "${current_id}")
    list(APPEND seen_names "${current_name}")
  elseif(line MATCHES "^(en|de) (.*)$")
    set(language "${CMAKE_MATCH_1}")
    set(text "${CMAKE_MATCH_2}")
    if(current_id STREQUAL "")
      message(FATAL_ERROR "generate_messages: line ${line_number}: text before any message id")
    endif()
    if(DEFINED text_${language})
      message(FATAL_ERROR "generate_messages: line ${line_number}: second '${language}' text for ${current_name}")
    endif()
    refuse_unsafe("${text}" "${INPUT} line ${line_number}")
    string(REPLACE "{WEB}" "${WEB_ADDRESS}" text "${text}")
    set(text_${language} "${text}")
  else()
    message(FATAL_ERROR "generate_messages: line ${line_number} not understood: ${line}")
  endif()
endwhile()
finish_message()

if(count EQUAL 0)
  message(FATAL_ERROR "generate_messages: ${INPUT} holds no messages")
endif()

set(rc "// Generated from resources/messages.txt by cmake/generate_messages.cmake. Do not edit.\n")
string(APPEND rc "#pragma code_page(65001)\n\n")
string(APPEND rc "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\nSTRINGTABLE\nBEGIN\n${rc_en}END\n\n")
string(APPEND rc "LANGUAGE LANG_GERMAN, SUBLANG_GERMAN\nSTRINGTABLE\nBEGIN\n${rc_de}END\n")
string(APPEND rc "// The including script's LANGUAGE is German from here on; it sets its own again.\n")

file(MAKE_DIRECTORY "${OUTPUT_DIR}")
file(WRITE "${OUTPUT_DIR}/message_ids.h" "${ids_h}")
file(WRITE "${OUTPUT_DIR}/message_table.inc" "${table_inc}")
file(WRITE "${OUTPUT_DIR}/strings.rc" "${rc}")
