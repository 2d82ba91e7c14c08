#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

// printf-style formatting of the window title, independent of how a C runtime reads %s in a wide
// format (narrow in standard C, wide in Microsoft's CRT). Understands %s (a wide string), %u and
// %%; a conversion whose argument is missing or of the other kind, and anything else, is copied
// as it stands.
using FormatArgument = std::variant<std::wstring_view, std::uint32_t>;
std::wstring FormatText(std::wstring_view format, std::initializer_list<FormatArgument> arguments);

// The main window's title, at most 255 characters: "TALVERO PELORA FW Updater 3.3 ".
std::wstring MainWindowTitle();
