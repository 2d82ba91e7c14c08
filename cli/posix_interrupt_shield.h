#pragma once

#include <signal.h>

#include <atomic>
#include <thread>

#include "cli/cli_context.h"
#include "cli/console.h"
#include "ui/message_catalogue.h"

// The interrupt policy while an update writes the ESC: SIGINT, SIGTERM and SIGQUIT are taken by
// a watcher thread instead of ending the process. The first one explains the risk; a second
// within five seconds asks the procedure to stop at the next request boundary. SIGHUP (a closed
// terminal) is ignored meanwhile, so the update still ends cleanly.
class PosixInterruptShield final : public InterruptShield, private StopRequest {
 public:
  PosixInterruptShield(Console& console, const Catalogue& texts)
      : console_(console), texts_(texts) {}
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
  const Catalogue& texts_;
  sigset_t watched_{};
  sigset_t previousMask_{};
  std::thread watcher_;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> lowering_{false};
};
