#include "platform/posix/posix_console.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

// A terminal whose size cannot be read is taken to be this wide.
constexpr int DEFAULT_COLUMNS = 80;

// Writes everything; on an error gives up and returns errno. A closed pipe or terminal
// (SIGPIPE is ignored) must not stop an update, it only loses the output.
int WriteAll(int fd, std::string_view bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return errno;
    }
    if (n == 0) {
      return EIO;
    }
    written += static_cast<std::size_t>(n);
  }
  return 0;
}

}  // namespace

bool PosixConsole::Out(std::string_view bytes) {
  const int error = WriteAll(STDOUT_FILENO, bytes);
  if (error != 0) {
    outputError_ = error;
  }
  return error == 0;
}

void PosixConsole::Err(std::string_view bytes) {
  WriteAll(STDERR_FILENO, bytes);
}

std::string PosixConsole::OutputError() const {
  return std::strerror(outputError_);
}

int PosixConsole::ProgressColumns() const {
  // A dumb terminal (or none named) cannot be trusted to return to the start of the line.
  const char* term = std::getenv("TERM");
  if (isatty(STDERR_FILENO) != 1 || term == nullptr || *term == '\0' ||
      std::strcmp(term, "dumb") == 0) {
    return 0;
  }
  // Asked at every redraw rather than on SIGWINCH: a handler would interrupt the HID reads of
  // the update, which hidapi does not resume.
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) {
    return DEFAULT_COLUMNS;
  }
  return size.ws_col;
}

bool PosixConsole::CanAsk() {
  if (isatty(STDIN_FILENO) != 1) {
    return false;
  }
  if (isatty(STDERR_FILENO) == 1 || terminal_) {
    return true;
  }
  // With the error stream sent to a file, a question there would wait unseen; it is asked on the
  // controlling terminal instead, as ssh and git ask for passwords. Without one (a session of
  // its own, a daemon) there is nowhere to ask.
  terminal_.reset(open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC));
  return terminal_.valid();
}

void PosixConsole::Ask(std::string_view bytes) {
  WriteAll(terminal_ ? terminal_.get() : STDERR_FILENO, bytes);
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
