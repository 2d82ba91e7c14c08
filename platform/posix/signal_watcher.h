#pragma once

#include <signal.h>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <thread>

// Takes signals away from their default actions for a while: between Start and Stop the given
// signals are blocked in the starting thread (and so in every thread it starts meanwhile) and
// taken one at a time by a watcher thread with sigwait, which hands each to `onSignal` on that
// thread. Blocked signals interrupt no system call, so no HID read fails early. What a signal
// means is the caller's business.
class SignalWatcher {
 public:
  using Handler = std::function<void(int signal)>;

  SignalWatcher() = default;
  ~SignalWatcher() { Stop(); }
  SignalWatcher(const SignalWatcher&) = delete;
  SignalWatcher& operator=(const SignalWatcher&) = delete;

  // Does nothing while already watching. Stop from the thread that started.
  void Start(std::initializer_list<int> signals, Handler onSignal);
  // Ends the watcher and gives the starting thread its previous signal mask back.
  void Stop();

 private:
  void Watch();

  Handler onSignal_;
  sigset_t watched_{};
  sigset_t previousMask_{};
  std::thread watcher_;
  std::atomic<bool> stopping_{false};
};
