#pragma once

#include <string>
#include <string_view>

// The catalogue's texts are wide strings; terminals, JSON and the browser take UTF-8.

// UTF-8 of a wide text (UTF-16 on Windows, UTF-32 elsewhere; a lone surrogate is written as it
// stands rather than dropped).
std::string Utf8FromWide(std::wstring_view text);
// A path or argument from the command line or the system (UTF-8) as a wide string for the
// catalogue's formats; bytes that are not UTF-8 are kept one character each.
std::wstring WideFromUtf8(std::string_view text);
