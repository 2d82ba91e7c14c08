#pragma once

#include <optional>
#include <string>
#include <string_view>

// The terminal or pipes the command line talks through. Texts are the catalogue's wide strings;
// the console writes them in UTF-8.
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
