# GoogleTest for the Windows-side tests: built from source inside the Windows build (the Debian
# package googletest puts the sources in /usr/src/googletest; tools/setup installs it), linked
# statically like everything else in this build, and run under Wine by CTest when cross-compiling.
#
#   include("${PROJECT_SOURCE_DIR}/cmake/mingw_gtest.cmake")
#   add_win32_gtest(<target> [NAME <name>] SOURCES <file>... [LIBRARIES <lib>...]
#                   [ARGS <arg>...] [PROPERTIES <name> <value>...])
#
# makes the test executable <target> (GoogleTest with a wmain that hands the arguments left over
# after GoogleTest's own flags to the tests, see tests/win32/win32_test_main.h) and registers each
# of its tests with CTest as "<name>.<Suite>.<Test>" (<name> defaults to <target>). ARGS go to
# every test run (generator expressions allowed); PROPERTIES are set on every registered test.
# Any directory may call it once this file has been included.
#
# Under Wine the tests run in a prefix of their own, made on first use (no Mono or Gecko
# installers): the emulator is CMAKE_CROSSCOMPILING_EMULATOR when the cache sets one, else wine
# with that prefix. The tests are listed when CTest starts (DISCOVERY_MODE PRE_TEST), not when
# they are built, so that building needs no Wine; the first listing makes the prefix.
include_guard(GLOBAL)
include(GoogleTest)

set(UPDATER_GTEST_SOURCE_DIR "/usr/src/googletest/googletest"
    CACHE PATH "GoogleTest sources for the Windows-side tests (Debian package googletest)")

if(EXISTS "${UPDATER_GTEST_SOURCE_DIR}/src/gtest-all.cc")
  # All of GoogleTest in one translation unit, as its own build does; no gmock, no gtest_main.
  add_library(win32_gtest STATIC "${UPDATER_GTEST_SOURCE_DIR}/src/gtest-all.cc")
  target_include_directories(win32_gtest PUBLIC "${UPDATER_GTEST_SOURCE_DIR}/include"
                                         PRIVATE "${UPDATER_GTEST_SOURCE_DIR}")
  # Not this project's code: its warnings are not ours to fix.
  target_compile_options(win32_gtest PRIVATE -Wno-error)

  add_library(win32_gtest_main STATIC "${PROJECT_SOURCE_DIR}/tests/win32/win32_test_main.cpp")
  target_link_libraries(win32_gtest_main PUBLIC win32_gtest)
  target_compile_definitions(win32_gtest_main PRIVATE UNICODE _UNICODE)
  target_include_directories(win32_gtest_main PUBLIC "${PROJECT_SOURCE_DIR}" "${UPDATER_GENERATED_DIR}")
  if(MINGW)
    # wmain; static C, C++ and thread runtimes, so that the tests need no DLL beside them.
    target_link_options(win32_gtest_main INTERFACE -static -municode)
  endif()
elseif(CMAKE_CROSSCOMPILING)
  message(FATAL_ERROR "No GoogleTest sources in ${UPDATER_GTEST_SOURCE_DIR}: run tools/setup "
                      "(Debian package googletest) or set UPDATER_GTEST_SOURCE_DIR")
else()
  # A native Windows build (MSVC) without the sources still builds the program.
  message(STATUS "Windows-side tests skipped: no GoogleTest sources in "
                 "${UPDATER_GTEST_SOURCE_DIR} (set UPDATER_GTEST_SOURCE_DIR)")
endif()

set(win32_test_emulator "")
set(win32_test_properties "")
if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
  set(win32_test_emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")
elseif(CMAKE_CROSSCOMPILING)
  find_program(WINE_PROGRAM wine)
  find_program(WINESERVER_PROGRAM wineserver)
  set(wine_env "WINEPREFIX=${CMAKE_BINARY_DIR}/wine-platform-tests" WINEDEBUG=-all
               "WINEDLLOVERRIDES=mscoree,mshtml=")
  if(WINE_PROGRAM)
    set(win32_test_emulator "${CMAKE_COMMAND};-E;env;${wine_env};${WINE_PROGRAM}")
  endif()
  if(WINE_PROGRAM AND WINESERVER_PROGRAM)
    # One wineserver (and Wine's services) for the whole run, ended by the cleanup: a test then
    # starts in about 0.1 s instead of 2 to 5 s, also when it waits (RUN_SERIAL) until the long
    # tests are over.
    add_test(NAME win32_wine.start
             COMMAND "${CMAKE_COMMAND}" -E env ${wine_env} sh -c
                     "'${WINESERVER_PROGRAM}' -p </dev/null >/dev/null 2>&1; '${WINE_PROGRAM}' wineboot </dev/null >/dev/null 2>&1")
    add_test(NAME win32_wine.stop
             COMMAND "${CMAKE_COMMAND}" -E env ${wine_env} sh -c "'${WINESERVER_PROGRAM}' -k || true")
    set_tests_properties(win32_wine.start PROPERTIES FIXTURES_SETUP win32_wine TIMEOUT 240)
    set_tests_properties(win32_wine.stop PROPERTIES FIXTURES_CLEANUP win32_wine TIMEOUT 60)
    set(win32_test_properties FIXTURES_REQUIRED win32_wine)
  endif()
endif()
# Kept where add_win32_gtest finds them from any directory.
set_property(GLOBAL PROPERTY win32_test_emulator "${win32_test_emulator}")
set_property(GLOBAL PROPERTY win32_test_properties "${win32_test_properties}")

function(add_win32_gtest target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "NAME" "SOURCES;LIBRARIES;ARGS;PROPERTIES")
  if(NOT TARGET win32_gtest_main)
    return()
  endif()
  if(NOT arg_NAME)
    set(arg_NAME ${target})
  endif()
  add_executable(${target} ${arg_SOURCES})
  target_link_libraries(${target} PRIVATE win32_gtest_main ${arg_LIBRARIES})
  get_property(emulator GLOBAL PROPERTY win32_test_emulator)
  get_property(properties GLOBAL PROPERTY win32_test_properties)
  if(CMAKE_CROSSCOMPILING)
    if(NOT emulator)
      message(STATUS "${target}: built, not registered with CTest (no wine found)")
      return()
    endif()
    set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR "${emulator}")
  endif()
  # The first listing may make the Wine prefix (about 20 s).
  gtest_discover_tests(${target}
    TEST_PREFIX "${arg_NAME}."
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 240
    NO_PRETTY_VALUES  # names from the tests' own name generators, without the parameter dump
    EXTRA_ARGS ${arg_ARGS}
    PROPERTIES TIMEOUT 120 ${properties} ${arg_PROPERTIES})
endfunction()
