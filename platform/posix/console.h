#pragma once

#include <optional>
#include <string>
#include <string_view>

// The terminal or pipes the command line talks through, as bytes: what it is handed is written
// as it is (the command line gives UTF-8). Results go to the output; questions, waiting,
// progress, warnings and failures go to the error stream, so that the output carries results
// alone.
class Console {
 public:
  virtual ~Console() = default;
  // False when the bytes could not be written whole (a closed pipe, a full disk).
  virtual bool Out(std::string_view bytes) = 0;
  virtual void Err(std::string_view bytes) = 0;
  // Whether any Out of this run failed: the result a command printed may be lost.
  virtual bool OutputLost() const = 0;
  // Why the last failed Out failed, in the system's words (strerror).
  virtual std::string OutputError() const = 0;
  // The width of the terminal on the error stream, read now, where a progress line can be
  // redrawn in place; 0 when it is no such terminal (a pipe, a file, TERM=dumb or unset).
  virtual int ProgressColumns() const = 0;
  // Whether a question can be asked: standard input is a terminal, and the question can be shown
  // on a terminal (the error stream is one, or the controlling terminal opens).
  virtual bool CanAsk() = 0;
  // Part of a question or of its answer's echo, where the person who answers sees it.
  virtual void Ask(std::string_view bytes) = 0;
  // One line typed by the user, without its line break; nullopt at the end of input.
  virtual std::optional<std::string> ReadLine() = 0;
};
