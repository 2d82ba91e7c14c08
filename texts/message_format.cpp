#include "texts/message_format.h"

#include <cstddef>
#include <span>
#include <vector>

namespace {

void AppendHex8(std::wstring& out, std::uint32_t value) {
  constexpr wchar_t kDigits[] = L"0123456789abcdef";
  for (int shift = 28; shift >= 0; shift -= 4) {
    out.push_back(kDigits[(value >> shift) & 0xFu]);
  }
}

// Each "%s" takes the next of `texts`, or the only one over and over when `repeat` is set.
std::wstring Format(std::wstring_view format, std::span<const std::wstring_view> texts, bool repeat,
                    std::span<const std::uint32_t> numbers) {
  constexpr std::wstring_view kText = L"%s";
  constexpr std::wstring_view kHex = L"%08x";
  constexpr std::wstring_view kPercent = L"%%";
  std::wstring out;
  out.reserve(format.size() + 8 * numbers.size());
  std::size_t nextText = 0;
  std::size_t nextNumber = 0;
  std::size_t i = 0;
  while (i < format.size()) {
    const std::wstring_view rest = format.substr(i);
    if (rest.starts_with(kPercent)) {
      out.push_back(L'%');
      i += kPercent.size();
    } else if (nextText < texts.size() && rest.starts_with(kText)) {
      out.append(texts[nextText]);
      nextText += repeat ? 0 : 1;
      i += kText.size();
    } else if (nextNumber < numbers.size() && rest.starts_with(kHex)) {
      AppendHex8(out, numbers[nextNumber++]);
      i += kHex.size();
    } else {
      out.push_back(format[i]);
      ++i;
    }
  }
  return out;
}

}  // namespace

std::wstring FormatWithText(std::wstring_view format, std::wstring_view text) {
  return Format(format, std::span(&text, 1), true, {});
}

std::wstring FormatWithTexts(std::wstring_view format, std::span<const std::wstring> texts) {
  std::vector<std::wstring_view> views(texts.begin(), texts.end());
  return Format(format, views, false, {});
}

std::wstring FormatWithHexPair(std::wstring_view format, std::uint32_t first,
                               std::uint32_t second) {
  const std::uint32_t numbers[] = {first, second};
  return Format(format, {}, false, numbers);
}
