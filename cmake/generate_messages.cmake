# Turns the message catalogue source into the code and resources that carry it, so every text is
# typed once (resources/messages.txt) and the Windows string tables and the host table agree.
#
#   cmake -DINPUT=messages.txt -DOUTPUT_DIR=dir -DWEB_ADDRESS=www.example -P generate_messages.cmake
#
# The languages are whatever the source declares ("language <code> <Name> <Windows id>" lines,
# before the first message); nothing here names one. Every message needs a text in each.
#
# Writes into OUTPUT_DIR:
#   message_ids.h         inline constexpr MessageId IDS_... = <id>;
#   message_languages.h   enum class Language { <Name>, ... } in the order declared
#   message_languages.inc the declared languages as CatalogueLanguage rows {"<code>", <Windows id>}
#   message_table.inc     {IDS_..., <language index>, L"text"}, one line per message and language
#   strings.rc            resource script part: one STRINGTABLE per language, entries id, L"text"
# The two .inc files are data for one translation unit each (they define arrays), so a test can
# carry a second catalogue beside the program's without a clash of names.
#
# Texts are bodies of C string literals; the only escape allowed is \n, a line break: kept as it
# is in the table, written \r\n in the string tables, where Windows' controls need both.
# Anything that would change meaning on the way (a quote, another backslash escape, or a
# character that CMake's list handling would split or swallow) stops the build.
#
# Characters outside ASCII are written as escapes, so both outputs are plain ASCII and no
# compiler's idea of the source code page matters: \uXXXX in C++, \xXXXX in the resource script
# (GNU windres reads the bytes of a UTF-8 L"..." string one by one, sign-extended, whatever the
# code page says).

cmake_minimum_required(VERSION 3.25)
include("${CMAKE_CURRENT_LIST_DIR}/hex_digits.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/take_line.cmake")

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
  # Only n may follow a backslash.
  string(REPLACE "\\n" "" plain "${text}")
  string(FIND "${plain}" "\\" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "generate_messages: ${where} contains a backslash other than \\n")
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
string(APPEND table_inc "// Rows of {id, language index, text}.\nconstexpr CatalogueEntry kEntries[] = {\n")

# The declared languages: codes, names and primary Windows languages in order; per code its index
# and Windows language id.
set(language_codes "")
set(language_names "")
set(language_primaries "")

set(seen_ids "")
set(seen_names "")
set(current_id "")
set(count 0)
set(line_number 0)

# Sets `out_cpp` and `out_rc` to `text` with every non-ASCII character (UTF-8 in the source) as an
# escape: \uXXXX (\UXXXXXXXX beyond the BMP) for C++, \xXXXX (a surrogate pair beyond the BMP)
# for the resource script, whose wide-string \x takes exactly four digits.
function(escape_non_ascii text where out_cpp out_rc)
  # Printable ASCII needs nothing (the fast path for most texts).
  if(text MATCHES "^[ -~]*$")
    set(${out_cpp} "${text}" PARENT_SCOPE)
    set(${out_rc} "${text}" PARENT_SCOPE)
    return()
  endif()
  string(HEX "${text}" hex)
  string(LENGTH "${text}" length)
  set(cpp "")
  set(rc "")
  set(i 0)
  while(i LESS length)
    math(EXPR at "${i} * 2")
    string(SUBSTRING "${hex}" ${at} 2 pair)
    math(EXPR byte "0x${pair}")
    if(byte LESS 128)
      if(byte LESS 32 OR byte EQUAL 127)
        message(FATAL_ERROR "generate_messages: ${where} contains control character ${byte}")
      endif()
      string(SUBSTRING "${text}" ${i} 1 character)
      string(APPEND cpp "${character}")
      string(APPEND rc "${character}")
      math(EXPR i "${i} + 1")
      continue()
    endif()
    # The lead byte says how many continuation bytes follow and which of its bits count.
    if(byte GREATER_EQUAL 194 AND byte LESS 224)
      set(extra 1)
      math(EXPR code "${byte} & 0x1F")
    elseif(byte GREATER_EQUAL 224 AND byte LESS 240)
      set(extra 2)
      math(EXPR code "${byte} & 0x0F")
    elseif(byte GREATER_EQUAL 240 AND byte LESS 245)
      set(extra 3)
      math(EXPR code "${byte} & 0x07")
    else()
      message(FATAL_ERROR "generate_messages: ${where} is not valid UTF-8")
    endif()
    math(EXPR end "${i} + ${extra}")
    if(end GREATER_EQUAL length)
      message(FATAL_ERROR "generate_messages: ${where} is not valid UTF-8")
    endif()
    foreach(k RANGE 1 ${extra})
      math(EXPR at "(${i} + ${k}) * 2")
      string(SUBSTRING "${hex}" ${at} 2 pair)
      math(EXPR next "0x${pair}")
      if(next LESS 128 OR next GREATER_EQUAL 192)
        message(FATAL_ERROR "generate_messages: ${where} is not valid UTF-8")
      endif()
      math(EXPR code "(${code} << 6) | (${next} & 0x3F)")
    endforeach()
    if((extra EQUAL 2 AND code LESS 2048) OR (extra EQUAL 3 AND code LESS 65536)
       OR (code GREATER_EQUAL 55296 AND code LESS 57344) OR code GREATER 1114111)
      message(FATAL_ERROR "generate_messages: ${where} is not valid UTF-8")
    endif()
    if(code LESS 65536)
      hex_digits(${code} 4 digits)
      string(APPEND cpp "\\u${digits}")
      string(APPEND rc "\\x${digits}")
    else()
      hex_digits(${code} 8 digits)
      string(APPEND cpp "\\U${digits}")
      math(EXPR high "0xD800 + ((${code} - 0x10000) >> 10)")
      math(EXPR low "0xDC00 + ((${code} - 0x10000) & 0x3FF)")
      hex_digits(${high} 4 high_digits)
      hex_digits(${low} 4 low_digits)
      string(APPEND rc "\\x${high_digits}\\x${low_digits}")
    endif()
    math(EXPR i "${i} + 1 + ${extra}")
  endwhile()
  set(${out_cpp} "${cpp}" PARENT_SCOPE)
  set(${out_rc} "${rc}" PARENT_SCOPE)
endfunction()

# Closes the message being read: every declared language must have its text.
macro(finish_message)
  if(NOT current_id STREQUAL "")
    string(APPEND ids_h "inline constexpr MessageId ${current_name} = ${current_id};\n")
    foreach(code IN LISTS language_codes)
      if(NOT DEFINED text_${code})
        message(FATAL_ERROR "generate_messages: ${current_name} (${current_id}) lacks the ${code} text")
      endif()
      escape_non_ascii("${text_${code}}" "${current_name} ${code}" cpp_text rc_text)
      string(APPEND table_inc "{${current_name}, ${index_${code}}, L\"${cpp_text}\"},\n")
      string(REPLACE "\\n" "\\r\\n" rc_text "${rc_text}")
      string(APPEND rc_${code} "  ${current_id}, L\"${rc_text}\"\n")
    endforeach()
    math(EXPR count "${count} + 1")
  endif()
  foreach(code IN LISTS language_codes)
    unset(text_${code})
  endforeach()
endmacro()

# Walks the file line by line with string positions, never as a CMake list.
set(rest "${source}")
while(NOT rest STREQUAL "")
  math(EXPR line_number "${line_number} + 1")
  take_line(rest line)
  # Comment lines may hold anything; they never reach the outputs.

  if(line STREQUAL "" OR line MATCHES "^#")
    continue()
  endif()

  if(line MATCHES "^language ")
    if(NOT line MATCHES "^language ([a-z]+) ([A-Z][A-Za-z0-9]*) 0x([0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f])$")
      message(FATAL_ERROR "generate_messages: line ${line_number}: a language is declared as "
                          "'language <code> <Name> <Windows id as 0xNNNN>': ${line}")
    endif()
    set(code "${CMAKE_MATCH_1}")
    set(name "${CMAKE_MATCH_2}")
    math(EXPR windows_id "0x${CMAKE_MATCH_3}")
    # Both platforms pick a language by its language alone (the code; Windows' primary language),
    # so two declarations of one language could never both be chosen.
    math(EXPR primary "${windows_id} & 0x3FF")
    if(NOT current_id STREQUAL "")
      message(FATAL_ERROR "generate_messages: line ${line_number}: languages are declared before the first message")
    endif()
    if(code STREQUAL "language" OR "${code}" IN_LIST language_codes OR "${name}" IN_LIST language_names
       OR "${primary}" IN_LIST language_primaries)
      message(FATAL_ERROR "generate_messages: line ${line_number}: language ${code} ${name} given twice")
    endif()
    list(LENGTH language_codes index_${code})
    list(APPEND language_codes "${code}")
    list(APPEND language_names "${name}")
    list(APPEND language_primaries "${primary}")
    set(windows_id_${code} "${windows_id}")
    set(rc_${code} "")
  elseif(line MATCHES "^([0-9]+) (IDS_[A-Z0-9_]+)$")
    finish_message()
    set(current_id "${CMAKE_MATCH_1}")
    set(current_name "${CMAKE_MATCH_2}")
    if(current_id GREATER 65535)
      message(FATAL_ERROR "generate_messages: line ${line_number}: ${current_id} is not a 16-bit id")
    endif()
    if("${current_id}" IN_LIST seen_ids OR "${current_name}" IN_LIST seen_names)
      message(FATAL_ERROR "generate_messages: line ${line_number}: ${current_name} ${current_id} given twice")
    endif()
    if(language_codes STREQUAL "")
      message(FATAL_ERROR "generate_messages: line ${line_number}: no language is declared before the first message")
    endif()
    list(APPEND seen_ids "${current_id}")
    list(APPEND seen_names "${current_name}")
  elseif(line MATCHES "^([a-z]+) (.*)$")
    set(language "${CMAKE_MATCH_1}")
    set(text "${CMAKE_MATCH_2}")
    if(NOT "${language}" IN_LIST language_codes)
      message(FATAL_ERROR "generate_messages: line ${line_number}: no language '${language}' is declared")
    endif()
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

string(APPEND table_inc "};\n")

# Windows tags a string table with the primary language (low 10 bits) and the sublanguage.
set(rc "// Generated from resources/messages.txt by cmake/generate_messages.cmake. Do not edit.\n")
string(APPEND rc "#pragma code_page(65001)\n")
set(enum_names "")
set(languages_inc "// Generated from resources/messages.txt by cmake/generate_messages.cmake. Do not edit.\n")
string(APPEND languages_inc "// The declared languages, in order: {code, Windows language id}.\n")
string(APPEND languages_inc "constexpr CatalogueLanguage kLanguages[] = {\n")
foreach(code IN LISTS language_codes)
  list(GET language_names ${index_${code}} name)
  string(APPEND enum_names "${name}, ")
  hex_digits(${windows_id_${code}} 4 id_digits)
  string(APPEND languages_inc "{\"${code}\", 0x${id_digits}},\n")
  math(EXPR primary "${windows_id_${code}} & 0x3FF")
  math(EXPR sublanguage "${windows_id_${code}} >> 10")
  hex_digits(${primary} 2 primary)
  hex_digits(${sublanguage} 2 sublanguage)
  string(APPEND rc "\n// ${name}\nLANGUAGE 0x${primary}, 0x${sublanguage}\nSTRINGTABLE\nBEGIN\n${rc_${code}}END\n")
endforeach()
string(APPEND languages_inc "};\n")
string(APPEND rc "// The including script's LANGUAGE is the last table's from here on; it sets its own again.\n")
string(REGEX REPLACE ", $" "" enum_names "${enum_names}")

set(languages_h "// Generated from resources/messages.txt by cmake/generate_messages.cmake. Do not edit.\n")
string(APPEND languages_h "#pragma once\n\n// The catalogue's languages in the order declared; the first is the fallback.\n")
string(APPEND languages_h "enum class Language { ${enum_names} };\n")

file(MAKE_DIRECTORY "${OUTPUT_DIR}")
file(WRITE "${OUTPUT_DIR}/message_ids.h" "${ids_h}")
file(WRITE "${OUTPUT_DIR}/message_languages.h" "${languages_h}")
file(WRITE "${OUTPUT_DIR}/message_languages.inc" "${languages_inc}")
file(WRITE "${OUTPUT_DIR}/message_table.inc" "${table_inc}")
file(WRITE "${OUTPUT_DIR}/strings.rc" "${rc}")
