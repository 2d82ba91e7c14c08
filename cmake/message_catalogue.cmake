# Build rules that turn a message catalogue source into its generated files (see
# generate_messages.py for what they hold).
#
#   updater_message_catalogue(<target> INPUT <messages.txt> OUTPUT_DIR <dir> [PSEUDO])
#
# Adds <target>, which brings the files in <dir> up to date. With PSEUDO the source first gains
# the test-only pseudo-language (pseudo_language.cmake), so <dir> holds a catalogue with one
# language more; such a catalogue is for tests and never reaches a program users get.
set(UPDATER_CATALOGUE_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}")
# The generator runs on the build machine, whatever the target: never look in a cross root.
find_program(UPDATER_PYTHON NAMES python3 REQUIRED NO_CMAKE_FIND_ROOT_PATH)

function(updater_message_catalogue target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "PSEUDO" "INPUT;OUTPUT_DIR" "")
  set(outputs
      "${arg_OUTPUT_DIR}/message_ids.h"
      "${arg_OUTPUT_DIR}/message_languages.h"
      "${arg_OUTPUT_DIR}/message_languages.inc"
      "${arg_OUTPUT_DIR}/message_table.inc"
      "${arg_OUTPUT_DIR}/strings.rc")
  set(source "${arg_INPUT}")
  if(arg_PSEUDO)
    set(source "${arg_OUTPUT_DIR}/messages-with-pseudo-language.txt")
    add_custom_command(
      OUTPUT "${source}"
      COMMAND "${CMAKE_COMMAND}" "-DINPUT=${arg_INPUT}" "-DOUTPUT=${source}"
              -P "${UPDATER_CATALOGUE_SCRIPTS}/pseudo_language.cmake"
      DEPENDS "${arg_INPUT}" "${UPDATER_CATALOGUE_SCRIPTS}/pseudo_language.cmake"
      COMMENT "Adding the pseudo-language to the message catalogue for tests"
      VERBATIM)
  endif()
  # Rewritten only when the address changes, so that a new address regenerates the texts.
  set(address_stamp "${arg_OUTPUT_DIR}/web_address.txt")
  file(CONFIGURE OUTPUT "${address_stamp}" CONTENT "${UPDATER_WEB_ADDRESS}\n")
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND "${UPDATER_PYTHON}" "${UPDATER_CATALOGUE_SCRIPTS}/generate_messages.py"
            --input "${source}" --output-dir "${arg_OUTPUT_DIR}"
            --web-address "${UPDATER_WEB_ADDRESS}"
    DEPENDS "${source}" "${UPDATER_CATALOGUE_SCRIPTS}/generate_messages.py" "${address_stamp}"
    COMMENT "Generating the message catalogue in ${arg_OUTPUT_DIR}"
    VERBATIM)
  add_custom_target(${target} DEPENDS ${outputs})
endfunction()
