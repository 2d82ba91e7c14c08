#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <utility>

#include "cli/text_console.h"
#include "platform/posix/signal_watcher.h"
#include "texts/message_catalogue.h"
#include "update/update_guard.h"

// What the command line does with a signal while an update writes the ESC.
enum class InterruptAction {
  Ignore,       // SIGHUP (a closed terminal), SIGTTIN/SIGTTOU (a background job), or already
                // stopping
  Warn,         // a first SIGINT, SIGTERM or SIGQUIT: the risk explained, the update goes on
  Stop,         // a second one within five seconds: stop at the next request boundary
  CannotPause,  // SIGTSTP (Ctrl-Z): the update cannot be paused, it goes on
};

// The policy alone, without signals or words: which action each signal asks for at `now`.
class InterruptPolicy {
 public:
  // How soon a second interrupt must follow the first to stop the update.
  static constexpr std::chrono::seconds CONFIRM_WINDOW{5};

  InterruptAction OnSignal(int signal, std::chrono::steady_clock::time_point now);

 private:
  std::optional<std::chrono::steady_clock::time_point> first_;
  bool stopping_ = false;
};

// The guard of an update on the command line: raised, it takes SIGINT, SIGTERM, SIGQUIT, SIGHUP,
// SIGTSTP, SIGTTIN and SIGTTOU instead of letting them end or stop the process, and acts on them
// by the InterruptPolicy, in the catalogue's words.
class InterruptShield final : public UpdateGuard, private StopRequest {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  InterruptShield(
      SignalWatcher& signals, TextConsole& console, const Catalogue& texts,
      Clock clock = [] { return std::chrono::steady_clock::now(); })
      : signals_(signals), console_(console), texts_(texts), clock_(std::move(clock)) {}
  ~InterruptShield() override { Lower(); }
  InterruptShield(const InterruptShield&) = delete;
  InterruptShield& operator=(const InterruptShield&) = delete;

  void Raise() override;
  void Lower() override;
  const StopRequest& stop() const override { return *this; }

  // What a signal does while raised (called on the watcher's thread).
  void OnSignal(int signal);

 private:
  bool Requested() const override { return stopRequested_.load(); }

  SignalWatcher& signals_;
  TextConsole& console_;
  const Catalogue& texts_;
  Clock clock_;
  InterruptPolicy policy_;
  bool raised_ = false;
  std::atomic<bool> stopRequested_{false};
};
