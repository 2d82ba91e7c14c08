// Runs a program as a child process for a test: its own process group, optional standard input,
// standard output and error captured, bounded in time (killed with its group when the time is up).
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/posix/scoped_fd.h"

namespace standin {

struct ProgramOptions {
  std::vector<std::string> argv;  // argv[0] is looked up on PATH when it has no slash
  // Set in the child's environment on top of the test's own (for example a bus's
  // ProgramEnvironment()).
  std::vector<std::pair<std::string, std::string>> environment;
  std::chrono::milliseconds timeout{30'000};  // from the start to the end of the program
};

struct ProgramResult {
  bool started = false;
  bool timedOut = false;  // killed because it ran past the time-out
  bool exited = false;    // ended by exit(); exitCode is then valid
  int exitCode = -1;
  int signal = 0;  // the signal that ended it, if one did
  std::string out;
  std::string err;
  std::chrono::milliseconds elapsed{0};
};

class ChildProcess {
 public:
  explicit ChildProcess(const ProgramOptions& options);
  ~ChildProcess();  // kills the process group if it still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // Writes to the program's standard input (a socket, so a program that has gone away cannot
  // raise SIGPIPE in the test); false when it cannot take it.
  bool Input(std::string_view text);
  void CloseInput();
  // Waits until `text` appears in the standard output so far; false when it has not within
  // `timeout` or the program ended without it.
  bool WaitForOutput(std::string_view text, std::chrono::milliseconds timeout);
  std::string OutputSoFar() const;
  // The same for the standard error, where a program's questions and progress go.
  bool WaitForError(std::string_view text, std::chrono::milliseconds timeout);
  std::string ErrorSoFar() const;
  // Waits for the program to end, at most until its time-out (then kills its group).
  ProgramResult Finish();

 private:
  void Collect();

  ProgramOptions options_;
  pid_t pid_ = -1;
  std::chrono::steady_clock::time_point start_;
  ScopedFd input_;
  ScopedFd outRead_;
  ScopedFd errRead_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string out_;
  std::string err_;
  bool outputEnded_ = false;
  std::atomic<bool> stopCollecting_{false};
  std::thread collector_;
  bool finished_ = false;
  ProgramResult result_;
};

// Starts `options`, writes `input` and closes standard input, and waits for the end. A program
// that runs past its time-out is killed, and the test fails with what it had printed.
ProgramResult RunProgram(const ProgramOptions& options, std::string_view input = {});

// A shell-quoted command line, for messages and for tmux.
std::string QuoteCommand(const std::vector<std::string>& argv);

}  // namespace standin
