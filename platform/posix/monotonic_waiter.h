#pragma once

#include <cstdint>

#include "protocol/waiter.h"

// Waits on the monotonic clock to an absolute deadline, so neither a signal nor a change of the
// wall clock ends one early.
class MonotonicWaiter final : public Waiter {
 public:
  void Wait(std::uint32_t milliseconds) override;
};
