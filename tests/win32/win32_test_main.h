// The entry point of the Windows-side GoogleTest programs (cmake/mingw_gtest.cmake).
#pragma once

#include <string>
#include <vector>

namespace win32_test {

// The command-line arguments left after GoogleTest has taken its own flags, program name
// excluded (for example the paths a test reads).
const std::vector<std::wstring>& Arguments();

}  // namespace win32_test
