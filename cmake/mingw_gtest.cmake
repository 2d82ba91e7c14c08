# GoogleTest for the Windows test programs, built from Debian's googletest sources with the
# cross compiler and linked statically like the programs themselves, so that a test program runs
# under Wine with nothing beside it. One self-contained block; a shared mingw GoogleTest build
# may replace it.
set(UPDATER_MINGW_GTEST_SOURCE "/usr/src/googletest/googletest"
    CACHE PATH "GoogleTest sources built for the Windows test programs")
if(NOT TARGET updater_gtest_mingw AND EXISTS "${UPDATER_MINGW_GTEST_SOURCE}/src/gtest-all.cc")
  add_library(updater_gtest_mingw STATIC "${UPDATER_MINGW_GTEST_SOURCE}/src/gtest-all.cc")
  target_include_directories(updater_gtest_mingw SYSTEM PUBLIC "${UPDATER_MINGW_GTEST_SOURCE}/include")
  target_include_directories(updater_gtest_mingw PRIVATE "${UPDATER_MINGW_GTEST_SOURCE}")
  if(NOT MSVC)
    # Third-party code: its warnings are not ours to fix.
    target_compile_options(updater_gtest_mingw PRIVATE -w)
  endif()
endif()
