#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The catalogue's two printf-style texts, filled in here instead of by the C runtime: "%s" in a
// wide format means a narrow string in standard C but a wide one in Microsoft's CRT.
//
// Each "%s" takes `text`, each "%08x" the next of the numbers as eight lower-case hexadecimal
// digits, "%%" gives "%". A conversion without an argument left, or any other, stays as written.

// IDS_INCOMPATIBLE_TEXT: one "%s".
std::wstring FormatWithText(std::wstring_view format, std::wstring_view text);

// IDS_ERROR_CODES: two "%08x".
std::wstring FormatWithHexPair(std::wstring_view format, std::uint32_t first, std::uint32_t second);
