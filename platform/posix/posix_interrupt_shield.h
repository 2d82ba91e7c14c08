#pragma once

#include <signal.h>

#include <atomic>
#include <string>
#include <thread>
#include <utility>

#include "platform/posix/console.h"
#include "update/update_guard.h"

// The interrupt policy while an update writes the ESC: SIGINT, SIGTERM and SIGQUIT are taken by
// a watcher thread instead of ending the process. The first one explains the risk; a second
// within five seconds asks the procedure to stop at the next request boundary. SIGHUP (a closed
// terminal) is ignored meanwhile, so the update still ends cleanly. Job control cannot stop it
// either: SIGTSTP (Ctrl-Z) explains that the update cannot be paused and it goes on, and
// SIGTTIN/SIGTTOU, which would stop a background job that touches the terminal, are ignored.
class PosixInterruptShield final : public UpdateGuard, private StopRequest {
 public:
  // `warning` is what a first interrupt explains, `suspendWarning` what Ctrl-Z explains.
  PosixInterruptShield(Console& console, std::wstring warning, std::wstring suspendWarning)
      : console_(console),
        warning_(std::move(warning)),
        suspendWarning_(std::move(suspendWarning)) {}
  ~PosixInterruptShield() override { Lower(); }
  PosixInterruptShield(const PosixInterruptShield&) = delete;
  PosixInterruptShield& operator=(const PosixInterruptShield&) = delete;

  void Raise() override;
  void Lower() override;
  const StopRequest& stop() const override { return *this; }

 private:
  bool Requested() const override { return stopRequested_.load(); }
  void Watch();

  Console& console_;
  std::wstring warning_;
  std::wstring suspendWarning_;
  sigset_t watched_{};
  sigset_t previousMask_{};
  std::thread watcher_;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> lowering_{false};
};
