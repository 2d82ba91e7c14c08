#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The catalogue's printf-style texts, filled in here instead of by the C runtime: "%s" in a wide
// format means a narrow string in standard C but a wide one in Microsoft's CRT.
//
// "%s" takes a text, "%08x" the next of the numbers as eight lower-case hexadecimal digits, "%%"
// gives "%". A conversion without an argument left, or any other, stays as written.

// Each "%s" takes `text` (IDS_INCOMPATIBLE_TEXT has one).
std::wstring FormatWithText(std::wstring_view format, std::wstring_view text);

// Each "%s" takes the next of `texts`; one without a text left stays as written.
std::wstring FormatWithTexts(std::wstring_view format, std::span<const std::wstring> texts);

// IDS_ERROR_CODES: two "%08x".
std::wstring FormatWithHexPair(std::wstring_view format, std::uint32_t first, std::uint32_t second);
