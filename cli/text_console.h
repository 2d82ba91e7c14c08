#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/console.h"
#include "texts/text_encoding.h"

// The console as the commands use it: the catalogue's wide texts, written in UTF-8. The console
// below moves bytes only and knows no texts.
class TextConsole {
 public:
  explicit TextConsole(Console& console) : console_(console) {}

  // False when the text could not be written whole (a closed pipe, a full disk).
  bool Out(std::wstring_view text) { return console_.Out(Utf8FromWide(text)); }
  void Err(std::wstring_view text) { console_.Err(Utf8FromWide(text)); }
  bool OutputLost() const { return console_.OutputLost(); }
  // Why the last failed Out failed, in the system's words.
  std::wstring OutputError() const { return WideFromUtf8(console_.OutputError()); }
  int ProgressColumns() const { return console_.ProgressColumns(); }
  bool CanAsk() { return console_.CanAsk(); }
  void Ask(std::wstring_view text) { console_.Ask(Utf8FromWide(text)); }
  std::optional<std::string> ReadLine() { return console_.ReadLine(); }

 private:
  Console& console_;
};
