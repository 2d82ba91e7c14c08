// wmain of the Windows-side GoogleTest programs: GoogleTest takes its flags, the tests get the
// remaining arguments through win32_test::Arguments().
#include "tests/win32/win32_test_main.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include <gtest/gtest.h>

namespace win32_test {

namespace {
std::vector<std::wstring> g_arguments;
}  // namespace

const std::vector<std::wstring>& Arguments() {
  return g_arguments;
}

}  // namespace win32_test

int wmain(int argc, wchar_t** argv) {
  // Plain "\n" line ends: CTest's test discovery reads --gtest_list_tests line by line and would
  // keep the "\r" of a text-mode stream in every name.
  _setmode(_fileno(stdout), _O_BINARY);
  testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    win32_test::g_arguments.emplace_back(argv[i]);
  }
  return RUN_ALL_TESTS();
}
