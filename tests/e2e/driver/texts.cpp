#include "tests/e2e/driver/texts.h"

#include <cstdio>

namespace e2e {

namespace {

std::wstring Hex8(std::uint32_t v) {
  wchar_t buf[16];
  std::swprintf(buf, 16, L"%08x", static_cast<unsigned>(v));
  return buf;
}

std::wstring ReplaceFirst(std::wstring text, const std::wstring& what, const std::wstring& with) {
  std::size_t at = text.find(what);
  if (at != std::wstring::npos)
    text.replace(at, what.size(), with);
  return text;
}

}  // namespace

std::wstring Msg(MessageId id, Language lang) {
  const std::wstring table = TableText(id, lang);
  if (table.empty()) {
    return L"<no message " + std::to_wstring(id) + L">";
  }
  // The table breaks lines with "\n"; the program's controls and boxes show "\r\n".
  std::wstring text;
  for (const wchar_t c : table) {
    if (c == L'\n') {
      text.push_back(L'\r');
    }
    text.push_back(c);
  }
  return text;
}

std::wstring Guidance(MessageId status, Language lang) {
  return Msg(status, lang) + L"\r\n\r\n" + Msg(IDS_INSTRUCTIONS, lang);
}

std::wstring IncompatibleText(Language lang) {
  return ReplaceFirst(Msg(IDS_INCOMPATIBLE_TEXT, lang), L"%s", L"PELORA");
}

std::wstring FailureText(MessageId message, std::int32_t result, std::uint32_t lastError,
                         Language lang) {
  if (result == -1)
    return Msg(message, lang);
  std::wstring line = Msg(IDS_ERROR_CODES, lang);
  line = ReplaceFirst(line, L"%08x", Hex8(static_cast<std::uint32_t>(result)));
  line = ReplaceFirst(line, L"%08x", Hex8(lastError));
  return Msg(message, lang) + L"\r\n" + line;
}

std::wstring CodeLinePrefix(Language lang) {
  std::wstring line = Msg(IDS_ERROR_CODES, lang);
  return line.substr(0, line.find(L"%08x"));
}

}  // namespace e2e
