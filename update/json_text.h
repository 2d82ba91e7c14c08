#pragma once

#include <string>
#include <string_view>

// A JSON string literal, quotes included, for text from the system that may be anything: a
// device path's bytes, a UTF-16 path from Windows. The result is always valid JSON in UTF-8:
// control characters are escaped, and bytes that are not UTF-8 (or lone UTF-16 surrogates) each
// become U+FFFD, so a record never turns unreadable over one odd path.
std::string JsonString(std::string_view bytes);
std::string JsonString(std::wstring_view text);
