#include "cli/interrupt_shield.h"

#include <signal.h>

#include <string>

InterruptAction InterruptPolicy::OnSignal(int signal, std::chrono::steady_clock::time_point now) {
  if (signal == SIGTSTP) {
    // A unit kept waiting in the middle of the write may give up: the update is not paused.
    return InterruptAction::CannotPause;
  }
  if (stopping_ || (signal != SIGINT && signal != SIGTERM && signal != SIGQUIT)) {
    return InterruptAction::Ignore;
  }
  if (first_ && now - *first_ <= CONFIRM_WINDOW) {
    stopping_ = true;
    return InterruptAction::Stop;
  }
  first_ = now;
  return InterruptAction::Warn;
}

void InterruptShield::Raise() {
  if (raised_) {
    return;
  }
  raised_ = true;
  policy_ = InterruptPolicy{};
  stopRequested_ = false;
  signals_.Start({SIGINT, SIGTERM, SIGQUIT, SIGHUP, SIGTSTP, SIGTTIN, SIGTTOU},
                 [this](int signal) { OnSignal(signal); });
}

void InterruptShield::Lower() {
  signals_.Stop();
  raised_ = false;
}

void InterruptShield::OnSignal(int signal) {
  switch (policy_.OnSignal(signal, clock_())) {
    case InterruptAction::Warn:
      console_.Err(L"\n" + texts_.Text(IDS_CLI_INTERRUPT_WARNING) + L"\n");
      return;
    case InterruptAction::CannotPause:
      console_.Err(L"\n" + texts_.Text(IDS_CLI_SUSPEND_WARNING) + L"\n");
      return;
    case InterruptAction::Stop:
      stopRequested_ = true;
      return;
    case InterruptAction::Ignore:
      return;
  }
}
