#pragma once

#include <cstdint>

// The system DPI, the one a system-DPI-aware program (see the manifest) lays itself out for: the
// screen's LOGPIXELSY. GetDpiForSystem would say the same but exists only from Windows 10 1607.
// 96 when it cannot be read.
std::int32_t SystemDpi();
