# Adds a pseudo-language to a message catalogue source, for tests only: each text of the first
# declared language (the fallback) again, with its letters accented and about 40 % longer, the
# way translations are tried out before there are any. Texts that still fit with it leave room
# for a real translation; the accents show what a font or a code page would lose.
#
#   cmake -DINPUT=messages.txt -DOUTPUT=messages-with-pseudo-language.txt -P pseudo_language.cmake
#
# The language is declared as code "qps" and Windows id 0x0501, the ones Windows itself sets
# aside for pseudo-localisation (qps-ploc), so no user's language can ever pick it. What the
# texts carry through the build untouched stays untouched: the \n escape, printf conversions
# (%s, %08x, %%) and the {WEB} placeholder.

cmake_minimum_required(VERSION 3.25)

foreach(required INPUT OUTPUT)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "pseudo_language: ${required} must be given")
  endif()
endforeach()

set(PSEUDO_DECLARATION "language qps Pseudo 0x0501")
set(PSEUDO_CODE "qps")

# Each ASCII letter's accented form; the letters without one in Windows' dialog fonts stay.
foreach(pair
        "A|Å" "C|Ç" "D|Ď" "E|É" "G|Ĝ" "H|Ĥ" "I|Î" "J|Ĵ" "K|Ķ" "L|Ļ" "N|Ñ" "O|Ö" "R|Ŕ" "S|Š"
        "T|Ŧ" "U|Û" "W|Ŵ" "Y|Ý" "Z|Ž"
        "a|å" "c|ç" "d|ď" "e|é" "f|ƒ" "g|ĝ" "h|ĥ" "i|î" "j|ĵ" "k|ķ" "l|ļ" "n|ñ" "o|ö" "r|ŕ"
        "s|š" "t|ŧ" "u|û" "w|ŵ" "y|ý" "z|ž")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 plain)
  list(GET pair 1 accented)
  set(accent_${plain} "${accented}")
endforeach()

# `text` in the pseudo-language. Every character earns two fifths of one more; the extra
# characters are repeated letters, placed as soon as they are earned, so the words themselves
# grow (as translations do), spread over the whole text. Whatever a text without enough letters
# still owes is added at its end.
function(pseudo_text text out)
  string(LENGTH "${text}" bytes)
  string(HEX "${text}" hex)
  set(result "")
  set(credit 0)
  set(i 0)
  while(i LESS bytes)
    string(SUBSTRING "${text}" ${i} 1 c)
    math(EXPR at "${i} * 2")
    string(SUBSTRING "${hex}" ${at} 2 byte)
    math(EXPR byte "0x${byte}")
    set(take 1)
    if(c STREQUAL "\\")
      set(take 2)  # \n
    elseif(c STREQUAL "%")
      # A conversion: flags and width, then its letter; or %%.
      string(SUBSTRING "${text}" ${i} -1 rest)
      if(rest MATCHES "^(%[0-9l]*[a-zA-Z%])")
        string(LENGTH "${CMAKE_MATCH_1}" take)
      endif()
    elseif(c STREQUAL "{")
      string(SUBSTRING "${text}" ${i} -1 rest)
      if(rest MATCHES "^({[A-Z]+})")
        string(LENGTH "${CMAKE_MATCH_1}" take)
      endif()
    elseif(byte GREATER_EQUAL 128)
      # A character beyond ASCII: its lead byte says how many bytes it has.
      if(byte GREATER_EQUAL 240)
        set(take 4)
      elseif(byte GREATER_EQUAL 224)
        set(take 3)
      elseif(byte GREATER_EQUAL 192)
        set(take 2)
      endif()
    endif()
    string(SUBSTRING "${text}" ${i} ${take} piece)
    math(EXPR i "${i} + ${take}")
    math(EXPR credit "${credit} + 2")
    if(piece MATCHES "^[A-Za-z]$")
      if(DEFINED accent_${piece})
        set(piece "${accent_${piece}}")
      endif()
      while(credit GREATER_EQUAL 5)
        string(APPEND result "${piece}")
        math(EXPR credit "${credit} - 5")
      endwhile()
    endif()
    string(APPEND result "${piece}")
  endwhile()
  while(credit GREATER_EQUAL 3)
    string(APPEND result "ö")
    math(EXPR credit "${credit} - 5")
  endwhile()
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

include("${CMAKE_CURRENT_LIST_DIR}/take_line.cmake")

file(READ "${INPUT}" source)
set(output "")
set(fallback "")
set(declared FALSE)
set(rest "${source}")
while(NOT rest STREQUAL "")
  take_line(rest line)
  if(fallback STREQUAL "" AND line MATCHES "^language ([a-z]+) ")
    set(fallback "${CMAKE_MATCH_1}")
  endif()
  if(NOT declared AND line MATCHES "^[0-9]+ IDS_")
    string(APPEND output "${PSEUDO_DECLARATION}\n")
    set(declared TRUE)
  endif()
  string(APPEND output "${line}\n")
  if(NOT fallback STREQUAL "" AND line MATCHES "^${fallback} (.*)$")
    pseudo_text("${CMAKE_MATCH_1}" pseudo)
    string(APPEND output "${PSEUDO_CODE} ${pseudo}\n")
  endif()
endwhile()
if(NOT declared)
  message(FATAL_ERROR "pseudo_language: ${INPUT} holds no messages")
endif()
file(WRITE "${OUTPUT}" "${output}")
