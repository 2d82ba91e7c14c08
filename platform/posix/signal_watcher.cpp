#include "platform/posix/signal_watcher.h"

#include <pthread.h>

#include <utility>

namespace {

// Wakes the watcher when it is stopped.
constexpr int WAKE_SIGNAL = SIGUSR1;

}  // namespace

void SignalWatcher::Start(std::initializer_list<int> signals, Handler onSignal) {
  if (watcher_.joinable()) {
    return;
  }
  onSignal_ = std::move(onSignal);
  stopping_ = false;
  sigemptyset(&watched_);
  for (const int signal : signals) {
    sigaddset(&watched_, signal);
  }
  sigaddset(&watched_, WAKE_SIGNAL);
  // Blocked in this thread (and so in the watcher, which inherits the mask) they are only ever
  // taken by sigwait. A blocked SIGTTOU also lets a background job's text through to the
  // terminal instead of stopping the job.
  pthread_sigmask(SIG_BLOCK, &watched_, &previousMask_);
  watcher_ = std::thread([this] { Watch(); });
}

void SignalWatcher::Stop() {
  if (!watcher_.joinable()) {
    return;
  }
  stopping_ = true;
  pthread_kill(watcher_.native_handle(), WAKE_SIGNAL);
  watcher_.join();
  pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

void SignalWatcher::Watch() {
  for (;;) {
    int signal = 0;
    if (sigwait(&watched_, &signal) != 0) {
      continue;
    }
    if (signal == WAKE_SIGNAL) {
      if (stopping_) {
        return;
      }
      continue;
    }
    onSignal_(signal);
  }
}
