#pragma once

#include <cstdint>
#include <vector>

#include "protocol/waiter.h"

// Waits return at once and only move a virtual clock. For fuzz runs and benchmarks, which must
// not sleep.
class NoWaitClock : public Waiter {
 public:
  void Wait(std::uint32_t milliseconds) override { nowMs += milliseconds; }

  std::uint64_t nowMs = 0;
};

// The virtual clock that also records every wait, so a test sees the exact waits between the
// requests the simulated unit stamps with this clock.
class FakeClock : public NoWaitClock {
 public:
  void Wait(std::uint32_t milliseconds) override {
    waits.push_back(milliseconds);
    NoWaitClock::Wait(milliseconds);
  }

  std::vector<std::uint32_t> waits;
};
