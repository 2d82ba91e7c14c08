#pragma once

#include <cstdint>
#include <vector>

#include "protocol/os_services.h"

// Waits return at once and only move a virtual clock; the last error is whatever the test (or
// the simulated transport) last set. For fuzz runs and benchmarks, which must not sleep.
class NoWaitOs : public OsServices {
 public:
  void Wait(std::uint32_t milliseconds) override { nowMs += milliseconds; }
  std::uint32_t LastOsError() override { return lastError; }

  std::uint64_t nowMs = 0;
  std::uint32_t lastError = 0;
};

// The virtual clock that also records every wait, so a test sees the exact waits between the
// requests the simulated unit stamps with this clock.
class FakeOs : public NoWaitOs {
 public:
  void Wait(std::uint32_t milliseconds) override {
    waits.push_back(milliseconds);
    NoWaitOs::Wait(milliseconds);
  }

  std::vector<std::uint32_t> waits;
};
