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
// terminal) is ignored meanwhile, so the update still ends cleanly.
class PosixInterruptShield final : public UpdateGuard, private StopRequest {
 public:
  // `warning` is what a first interrupt explains.
  PosixInterruptShield(Console& console, std::wstring warning)
      : console_(console), warning_(std::move(warning)) {}
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
  sigset_t watched_{};
  sigset_t previousMask_{};
  std::thread watcher_;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> lowering_{false};
};
