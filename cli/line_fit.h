#pragma once

#include <cstddef>
#include <span>
#include <string>

// The width the command line keeps its own lines within: a terminal's classic 80 columns, also
// what a pager or a log file shows in one go.
inline constexpr std::size_t LINE_COLUMNS = 80;

// `fields` joined by two spaces on one line where they fit in `columns`; otherwise the line is
// broken before each field that would pass the last column, and the lines after the first are
// indented by two spaces. A field wider than a whole line is not cut.
std::wstring FitFields(std::span<const std::wstring> fields, std::size_t columns = LINE_COLUMNS);
