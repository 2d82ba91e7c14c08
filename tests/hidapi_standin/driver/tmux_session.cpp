#include "tests/hidapi_standin/driver/tmux_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "tests/hidapi_standin/driver/child_process.h"

namespace standin {

namespace {

constexpr char SESSION[] = "main";
constexpr auto TMUX_COMMAND_TIMEOUT = std::chrono::seconds(10);
constexpr auto POLL_INTERVAL = std::chrono::milliseconds(50);

}  // namespace

TmuxSession::TmuxSession(const TerminalOptions& options) {
  char folder[] = "/tmp/standin-tmux-XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    ADD_FAILURE() << "cannot make the tmux folder: " << std::strerror(errno);
    return;
  }
  folder_ = folder;
  socket_ = folder_ + "/tmux.sock";
  // The pane stays after the program ends, so its exit status can be read; no status line, so
  // the screen is the program's alone.
  std::ofstream(folder_ + "/tmux.conf") << "set -g remain-on-exit on\n"
                                        << "set -g status off\n"
                                        << "set -g history-limit 10000\n";

  std::vector<std::string> arguments = {"-f",          folder_ + "/tmux.conf",
                                        "new-session", "-d",
                                        "-s",          SESSION,
                                        "-x",          std::to_string(options.columns),
                                        "-y",          std::to_string(options.rows)};
  for (const auto& [name, value] : options.environment) {
    arguments.push_back("-e");
    arguments.push_back(name + "=" + value);
  }
  // tmux 3.3 sometimes marks a pane dead without ever reporting its exit status, so a shell in
  // the pane writes it down itself. Its INT trap (a handler, which exec resets) keeps it alive
  // to do so after Ctrl-C, and its TSTP trap after Ctrl-Z (a shell without job control would
  // stop), while the program keeps the default actions. It also keeps the
  // terminal open half a second after the program ends before it tells the status: a pane whose
  // terminal closes right after the program's last write was seen to lose that output.
  exitStatusFile_ = folder_ + "/exit-status";
  arguments.insert(arguments.end(),
                   {"--", "sh", "-c",
                    "trap : INT TSTP; status=$1; shift; \"$@\"; code=$?; sleep 0.5; "
                    "echo $code > \"$status\"",
                    "sh", exitStatusFile_});
  arguments.insert(arguments.end(), options.argv.begin(), options.argv.end());
  bool ok = false;
  const std::string said = Tmux(arguments, &ok);
  started_ = ok;
  if (!ok) {
    ADD_FAILURE() << "tmux did not start " << QuoteCommand(options.argv) << ": " << said;
  }
}

TmuxSession::~TmuxSession() {
  if (!folder_.empty()) {
    if (started_) {
      Tmux({"kill-server"});
    }
    std::remove((folder_ + "/tmux.conf").c_str());
    std::remove(exitStatusFile_.c_str());
    std::remove(socket_.c_str());
    ::rmdir(folder_.c_str());
  }
}

std::string TmuxSession::Tmux(std::vector<std::string> arguments, bool* ok) const {
  arguments.insert(arguments.begin(), {"tmux", "-S", socket_});
  ChildProcess child({arguments, {}, TMUX_COMMAND_TIMEOUT});
  child.CloseInput();
  const ProgramResult result = child.Finish();
  if (ok != nullptr) {
    *ok = result.exited && result.exitCode == 0;
  }
  return result.exited && result.exitCode == 0 ? result.out : result.err;
}

bool TmuxSession::Type(std::string_view text) {
  bool ok = false;
  Tmux({"send-keys", "-t", SESSION, "-l", std::string(text)}, &ok);
  return ok;
}

bool TmuxSession::SendKeys(const std::vector<std::string>& keys) {
  std::vector<std::string> arguments = {"send-keys", "-t", SESSION};
  arguments.insert(arguments.end(), keys.begin(), keys.end());
  bool ok = false;
  Tmux(arguments, &ok);
  return ok;
}

std::string TmuxSession::Screen() const {
  return Tmux({"capture-pane", "-p", "-t", SESSION});
}

bool TmuxSession::WaitForText(std::string_view text, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const std::string screen = Screen();
    if (screen.find(text) != std::string::npos) {
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      ADD_FAILURE() << "\"" << text << "\" did not appear within " << timeout.count()
                    << " ms; the screen:\n"
                    << screen;
      return false;
    }
    std::this_thread::sleep_for(POLL_INTERVAL);
  }
}

std::optional<int> TmuxSession::WaitForExit(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    std::ifstream file(exitStatusFile_);
    std::string status;
    // Whole once the line has its end: the shell writes the number, then the newline.
    if (std::getline(file, status) && !file.eof() && !status.empty()) {
      return std::atoi(status.c_str());
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return std::nullopt;
    }
    std::this_thread::sleep_for(POLL_INTERVAL);
  }
}

}  // namespace standin
