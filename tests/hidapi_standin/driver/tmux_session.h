// Runs a program in a real terminal for a test: a detached tmux session on a private server, so
// prompts, line editing and progress bars behave as they do for a person. Keys go in with
// send-keys, the screen comes back with capture-pane.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace standin {

struct TerminalOptions {
  std::vector<std::string> argv;
  std::vector<std::pair<std::string, std::string>> environment;  // set for the program only
  int columns = 100;
  int rows = 30;
};

class TmuxSession {
 public:
  explicit TmuxSession(const TerminalOptions& options);
  ~TmuxSession();  // ends the session and its server
  TmuxSession(const TmuxSession&) = delete;
  TmuxSession& operator=(const TmuxSession&) = delete;

  bool started() const { return started_; }

  // Literal text, typed as it stands (no key names).
  bool Type(std::string_view text);
  // tmux key names: "Enter", "C-c", "Up", "y".
  bool SendKeys(const std::vector<std::string>& keys);
  // The visible screen, one line per row (tmux drops the spaces at the end of each line).
  std::string Screen() const;
  // Waits until `text` is on the screen; false (the test then reports the screen) otherwise.
  bool WaitForText(std::string_view text, std::chrono::milliseconds timeout);
  // The program's exit status once it has ended (128 + the signal that ended it, as a shell
  // says), or nullopt if it has not ended within `timeout`.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout);

 private:
  std::string Tmux(std::vector<std::string> arguments, bool* ok = nullptr) const;

  std::string folder_;
  std::string socket_;
  std::string exitStatusFile_;
  bool started_ = false;
};

}  // namespace standin
