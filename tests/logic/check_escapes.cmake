# Runs the catalogue generator on catalogues/escapes.txt and checks how characters of one to four
# UTF-8 bytes come out in the C++ table and the resource script.
execute_process(
  COMMAND "${CMAKE_COMMAND}" "-DINPUT=${SOURCE_DIR}/catalogues/escapes.txt"
          "-DOUTPUT_DIR=${OUTPUT_DIR}" "-DWEB_ADDRESS=www.talvero.example"
          -P "${GENERATOR}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the generator failed on valid input")
endif()

function(expect_line file line)
  file(READ "${OUTPUT_DIR}/${file}" content)
  string(FIND "${content}" "${line}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${file} lacks the line: ${line}\n--- it holds:\n${content}")
  endif()
endfunction()

expect_line(message_ids.h "inline constexpr MessageId IDS_FIRST = 40000;")
expect_line(message_table.inc "{IDS_FIRST, 0, L\"A\\nb\"},")
expect_line(message_table.inc
            "{IDS_FIRST, 1, L\"\\u00fcber Windows\\u2122PC \\U0001f600face \\u00df\"},")
expect_line(message_languages.h "enum class Language { English, German };")
expect_line(message_languages.inc "{\"de\", 0x0407},")
expect_line(strings.rc "LANGUAGE 0x07, 0x01")
expect_line(strings.rc "  40000, L\"A\\r\\nb\"")
expect_line(strings.rc "  40000, L\"\\x00fcber Windows\\x2122PC \\xd83d\\xde00face \\x00df\"")
