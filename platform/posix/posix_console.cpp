#include "platform/posix/posix_console.h"

#include <unistd.h>

#include <cerrno>

#include "texts/text_encoding.h"

namespace {

// Writes everything or gives up on an error: a closed pipe or terminal (SIGPIPE is ignored)
// must not stop an update, it only loses the output.
void WriteAll(int fd, const std::string& bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      break;
    }
    written += static_cast<std::size_t>(n);
  }
}

}  // namespace

void PosixConsole::Out(std::wstring_view text) {
  WriteAll(STDOUT_FILENO, Utf8FromWide(text));
}

void PosixConsole::Err(std::wstring_view text) {
  WriteAll(STDERR_FILENO, Utf8FromWide(text));
}

bool PosixConsole::OutputIsTerminal() const {
  return isatty(STDOUT_FILENO) == 1;
}

bool PosixConsole::InputIsTerminal() const {
  return isatty(STDIN_FILENO) == 1;
}

std::optional<std::string> PosixConsole::ReadLine() {
  std::string line;
  for (;;) {
    char c = 0;
    const ssize_t n = read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return line.empty() ? std::nullopt : std::optional<std::string>(line);
    }
    if (c == '\n') {
      return line;
    }
    line.push_back(c);
  }
}
