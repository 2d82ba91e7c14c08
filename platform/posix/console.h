#pragma once

#include <optional>
#include <string>
#include <string_view>

// The terminal or pipes the command line talks through. Texts are the catalogue's wide strings;
// the console writes them in UTF-8. Results go to the output; questions, waiting, progress,
// warnings and failures go to the error stream, so that the output carries results alone.
class Console {
 public:
  virtual ~Console() = default;
  // False when the text could not be written whole (a closed pipe, a full disk).
  virtual bool Out(std::wstring_view text) = 0;
  virtual void Err(std::wstring_view text) = 0;
  // Why the last failed Out failed, in the system's words.
  virtual std::wstring OutputError() const = 0;
  // The width of the terminal on the error stream, read now, where a progress line can be
  // redrawn in place; 0 when it is no such terminal (a pipe, a file, TERM=dumb or unset).
  virtual int ProgressColumns() const = 0;
  // Whether there is a terminal to ask questions on (standard input is one).
  virtual bool InputIsTerminal() const = 0;
  // One line typed by the user, without its line break; nullopt at the end of input.
  virtual std::optional<std::string> ReadLine() = 0;
};
