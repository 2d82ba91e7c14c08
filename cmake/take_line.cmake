# take_line(REST_VAR LINE_VAR): moves the first line of the text in REST_VAR into LINE_VAR (without
# its line break, and without a carriage return before it) and leaves the rest in REST_VAR. It
# works on string positions, never on CMake lists, so a line may hold semicolons and brackets.
function(take_line rest_var line_var)
  set(rest "${${rest_var}}")
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
  set(${rest_var} "${rest}" PARENT_SCOPE)
  set(${line_var} "${line}" PARENT_SCOPE)
endfunction()
