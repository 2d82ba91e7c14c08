#pragma once

#include <cstdint>
#include <vector>

#include "protocol/os_services.h"

// A virtual clock: every wait is recorded and advances the time the simulated unit stamps its
// requests with, so a test sees the exact waits between requests.
class FakeOs : public OsServices {
 public:
  void Wait(std::uint32_t milliseconds) override {
    waits.push_back(milliseconds);
    nowMs += milliseconds;
  }
  std::uint32_t LastOsError() override { return lastError; }

  std::uint64_t Now() const { return nowMs; }

  std::vector<std::uint32_t> waits;
  std::uint64_t nowMs = 0;
  std::uint32_t lastError = 0;
};
