#include "ui/win32/text_format.h"

#include "update/firmware_package.h"

namespace {

constexpr std::size_t TITLE_BUFFER_CHARS = 256;

void AppendDecimal(std::wstring& out, std::uint32_t value) {
  wchar_t digits[10];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) {
    out.push_back(digits[--count]);
  }
}

}  // namespace

std::wstring FormatText(std::wstring_view format, std::initializer_list<FormatArgument> arguments) {
  std::wstring out;
  auto next = arguments.begin();
  for (std::size_t at = 0; at < format.size(); ++at) {
    const std::wstring_view rest = format.substr(at);
    if (rest.starts_with(L"%%")) {
      out.push_back(L'%');
      ++at;
    } else if (rest.starts_with(L"%s") && next != arguments.end() &&
               std::holds_alternative<std::wstring_view>(*next)) {
      out += std::get<std::wstring_view>(*next++);
      ++at;
    } else if (rest.starts_with(L"%u") && next != arguments.end() &&
               std::holds_alternative<std::uint32_t>(*next)) {
      AppendDecimal(out, std::get<std::uint32_t>(*next++));
      ++at;
    } else {
      out.push_back(format[at]);
    }
  }
  return out;
}

std::wstring MainWindowTitle() {
  std::wstring title =
      FormatText(L"TALVERO %s FW Updater %u.%u %s",
                 {std::wstring_view(SUPPORTED_MODEL_NAME), std::uint32_t{FIRMWARE_VERSION_MAJOR},
                  std::uint32_t{FIRMWARE_VERSION_MINOR}, std::wstring_view()});
  if (title.size() >= TITLE_BUFFER_CHARS) {
    title.resize(TITLE_BUFFER_CHARS - 1);
  }
  return title;
}
