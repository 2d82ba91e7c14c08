#pragma once

#include <cstdint>

#include "protocol/waiter.h"

// Waits to a deadline on the worker's clock. A dedicated worker's timers are not throttled in a
// hidden tab as the page's are, but setTimeout may still fire a little early: each wait
// re-checks its deadline.
class BrowserWaiter final : public Waiter {
 public:
  void Wait(std::uint32_t milliseconds) override;
};
