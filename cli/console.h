#pragma once

#include <optional>
#include <string>
#include <string_view>

// The terminal or pipes the program talks through. Texts are the catalogue's wide strings; the
// console writes them in UTF-8 with "\r\n" as a plain line break.
class Console {
 public:
  virtual ~Console() = default;
  virtual void Out(std::wstring_view text) = 0;
  virtual void Err(std::wstring_view text) = 0;
  // Whether standard output is a terminal (a progress bar can be redrawn in place).
  virtual bool OutputIsTerminal() const = 0;
  // Whether there is a terminal to ask questions on (standard input is one).
  virtual bool InputIsTerminal() const = 0;
  // One line typed by the user, without its line break; nullopt at the end of input.
  virtual std::optional<std::string> ReadLine() = 0;
};

// UTF-8 of a catalogue text, with "\r\n" turned into "\n".
std::string TerminalText(std::wstring_view text);
// A path or argument from the command line or the system (UTF-8) as a wide string for the
// catalogue's formats; bytes that are not UTF-8 are kept one character each.
std::wstring WideFromUtf8(std::string_view text);
