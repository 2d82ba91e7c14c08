#pragma once

#include <string>

namespace e2e {

// Saves the whole screen as a 24-bit BMP (the harness turns it into PNG).
bool SaveScreenBmp(const std::wstring& path);

}  // namespace e2e
