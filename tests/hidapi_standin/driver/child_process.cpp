#include "tests/hidapi_standin/driver/child_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tests/hidapi_standin/wire.h"

extern char** environ;

namespace standin {

namespace {

constexpr auto POLL_INTERVAL = std::chrono::milliseconds(10);
// After the program ends, output still in the pipes is collected for this long at most (a
// grandchild may hold them open).
constexpr auto DRAIN_GRACE = std::chrono::milliseconds(1000);

std::vector<std::string> MergedEnvironment(
    const std::vector<std::pair<std::string, std::string>>& overrides) {
  std::vector<std::string> merged;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const std::string_view name = text.substr(0, text.find('='));
    bool overridden = false;
    for (const auto& [key, value] : overrides) {
      overridden = overridden || key == name;
    }
    if (!overridden) {
      merged.emplace_back(text);
    }
  }
  for (const auto& [key, value] : overrides) {
    merged.push_back(key + "=" + value);
  }
  return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) {
    pointers.push_back(s.data());
  }
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

std::string QuoteCommand(const std::vector<std::string>& argv) {
  std::string command;
  for (const std::string& arg : argv) {
    if (!command.empty()) {
      command += ' ';
    }
    command += '\'';
    for (const char c : arg) {
      command += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    command += '\'';
  }
  return command;
}

ChildProcess::ChildProcess(const ProgramOptions& options)
    : options_(options), start_(std::chrono::steady_clock::now()) {
  int in[2];
  int out[2];
  int err[2];
  if (options.argv.empty() || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0) {
    return;
  }
  input_.reset(in[0]);
  const ScopedFd childIn(in[1]);
  if (::pipe2(out, O_CLOEXEC) != 0) {
    return;
  }
  outRead_.reset(out[0]);
  const ScopedFd childOut(out[1]);
  if (::pipe2(err, O_CLOEXEC) != 0) {
    return;
  }
  errRead_.reset(err[0]);
  const ScopedFd childErr(err[1]);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, childIn.get(), STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, childOut.get(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, childErr.get(), STDERR_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // Its own process group, so a time-out kills whatever it started too.
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);

  std::vector<std::string> args = options.argv;
  std::vector<std::string> environment = MergedEnvironment(options.environment);
  std::vector<char*> argPointers = Pointers(args);
  std::vector<char*> environmentPointers = Pointers(environment);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, args[0].c_str(), &actions, &attributes, argPointers.data(),
                                   environmentPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0) {
    err_ = "cannot start " + args[0] + ": " + std::strerror(spawned);
    return;
  }
  pid_ = pid;
  collector_ = std::thread([this] { Collect(); });
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !finished_) {
    ::kill(-pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  input_.reset();
  stopCollecting_ = true;
  if (collector_.joinable()) {
    collector_.join();
  }
}

void ChildProcess::Collect() {
  pollfd watch[2] = {{outRead_.get(), POLLIN, 0}, {errRead_.get(), POLLIN, 0}};
  std::string* targets[2] = {&out_, &err_};
  int open = 2;
  while (open > 0 && !stopCollecting_) {
    const int ready = ::poll(watch, 2, static_cast<int>(POLL_INTERVAL.count()) * 5);
    if (ready == 0) {
      continue;
    }
    if (ready < 0) {
      if (errno == EINTR) {
        continue;
      }
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (watch[i].fd < 0 || watch[i].revents == 0) {
        continue;
      }
      char buffer[4096];
      const ssize_t n = ::read(watch[i].fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) {
        continue;
      }
      if (n <= 0) {
        watch[i].fd = -1;
        --open;
        continue;
      }
      const std::lock_guard lock(mutex_);
      targets[i]->append(buffer, static_cast<std::size_t>(n));
      changed_.notify_all();
    }
  }
  const std::lock_guard lock(mutex_);
  outputEnded_ = true;
  changed_.notify_all();
}

bool ChildProcess::Input(std::string_view text) {
  return SendAll(input_.get(), reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void ChildProcess::CloseInput() {
  if (input_) {
    ::shutdown(input_.get(), SHUT_WR);
    input_.reset();
  }
}

bool ChildProcess::WaitForOutput(std::string_view text, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] {
    return out_.find(text) != std::string::npos || outputEnded_;
  }) && out_.find(text) != std::string::npos;
}

std::string ChildProcess::OutputSoFar() const {
  const std::lock_guard lock(mutex_);
  return out_;
}

bool ChildProcess::WaitForError(std::string_view text, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] {
    return err_.find(text) != std::string::npos || outputEnded_;
  }) && err_.find(text) != std::string::npos;
}

std::string ChildProcess::ErrorSoFar() const {
  const std::lock_guard lock(mutex_);
  return err_;
}

ProgramResult ChildProcess::Finish() {
  if (finished_ || pid_ <= 0) {
    result_.err = err_;
    return result_;
  }
  const auto deadline = start_ + options_.timeout;
  int status = 0;
  pid_t ended = 0;
  while ((ended = ::waitpid(pid_, &status, WNOHANG)) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      result_.timedOut = true;
      ::kill(-pid_, SIGKILL);
      ended = ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(POLL_INTERVAL);
  }
  finished_ = true;
  result_.started = true;
  result_.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start_);
  if (ended == pid_ && WIFEXITED(status)) {
    result_.exited = true;
    result_.exitCode = WEXITSTATUS(status);
  } else if (ended == pid_ && WIFSIGNALED(status)) {
    result_.signal = WTERMSIG(status);
  }
  {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, DRAIN_GRACE, [&] { return outputEnded_; })) {
      // Something the program started (in another group) still holds its output open.
      ::kill(-pid_, SIGKILL);
      stopCollecting_ = true;
    }
  }
  CloseInput();
  collector_.join();
  const std::lock_guard lock(mutex_);
  result_.out = out_;
  result_.err = err_;
  return result_;
}

ProgramResult RunProgram(const ProgramOptions& options, std::string_view input) {
  ChildProcess child(options);
  if (!child.started()) {
    ProgramResult result = child.Finish();
    ADD_FAILURE() << "cannot start " << QuoteCommand(options.argv) << ": " << result.err;
    return result;
  }
  if (!input.empty()) {
    child.Input(input);
  }
  child.CloseInput();
  ProgramResult result = child.Finish();
  if (result.timedOut) {
    ADD_FAILURE() << QuoteCommand(options.argv) << " ran past " << options.timeout.count()
                  << " ms and was killed.\nstdout:\n"
                  << result.out << "\nstderr:\n"
                  << result.err;
  }
  return result;
}

}  // namespace standin
