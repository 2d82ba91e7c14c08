#include "cli/line_fit.h"

#include <string_view>

namespace {

constexpr std::wstring_view SEPARATOR = L"  ";
constexpr std::wstring_view INDENT = L"  ";

}  // namespace

std::wstring FitFields(std::span<const std::wstring> fields, std::size_t columns) {
  std::wstring text;
  std::size_t lineStart = 0;
  for (const std::wstring& field : fields) {
    if (text.empty()) {
      text = field;
      continue;
    }
    if (text.size() - lineStart + SEPARATOR.size() + field.size() <= columns) {
      text += SEPARATOR;
    } else {
      text += L'\n';
      lineStart = text.size();
      text += INDENT;
    }
    text += field;
  }
  return text;
}
