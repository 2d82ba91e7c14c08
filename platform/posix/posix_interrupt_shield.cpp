#include "platform/posix/posix_interrupt_shield.h"

#include <pthread.h>

#include <chrono>
#include <optional>

namespace {

// How soon a second interrupt must follow the first to stop the update.
constexpr auto CONFIRM_WINDOW = std::chrono::seconds(5);
// Wakes the watcher when the shield is lowered.
constexpr int WAKE_SIGNAL = SIGUSR1;

}  // namespace

void PosixInterruptShield::Raise() {
  if (watcher_.joinable()) {
    return;
  }
  stopRequested_ = false;
  lowering_ = false;
  sigemptyset(&watched_);
  for (const int signal :
       {SIGINT, SIGTERM, SIGQUIT, SIGHUP, SIGTSTP, SIGTTIN, SIGTTOU, WAKE_SIGNAL}) {
    sigaddset(&watched_, signal);
  }
  // Blocked in this thread (and so in the watcher, which inherits the mask) they are only ever
  // taken by sigwait: no system call of the update is interrupted, so no HID read fails early.
  // A blocked SIGTTOU also lets a background job's text through to the terminal instead of
  // stopping the job.
  pthread_sigmask(SIG_BLOCK, &watched_, &previousMask_);
  watcher_ = std::thread([this] { Watch(); });
}

void PosixInterruptShield::Lower() {
  if (!watcher_.joinable()) {
    return;
  }
  lowering_ = true;
  pthread_kill(watcher_.native_handle(), WAKE_SIGNAL);
  watcher_.join();
  pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

void PosixInterruptShield::Watch() {
  std::optional<std::chrono::steady_clock::time_point> first;
  for (;;) {
    int signal = 0;
    if (sigwait(&watched_, &signal) != 0) {
      continue;
    }
    if (signal == WAKE_SIGNAL) {
      if (lowering_) {
        return;
      }
      continue;
    }
    if (signal == SIGTSTP) {
      // A unit kept waiting in the middle of the write may give up: the update is not paused.
      console_.Err(L"\n" + suspendWarning_ + L"\n");
      continue;
    }
    if (signal == SIGHUP || signal == SIGTTIN || signal == SIGTTOU || stopRequested_) {
      continue;
    }
    const auto now = std::chrono::steady_clock::now();
    if (first && now - *first <= CONFIRM_WINDOW) {
      stopRequested_ = true;
      continue;
    }
    first = now;
    console_.Err(L"\n" + warning_ + L"\n");
  }
}
