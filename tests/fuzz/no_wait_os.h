#pragma once

#include <cstdint>

#include "protocol/os_services.h"

// Waits return at once so a fuzz run spends its time in the logic; the total is kept so a
// target can bound it.
class NoWaitOs : public OsServices {
 public:
  void Wait(std::uint32_t milliseconds) override { waitedMs += milliseconds; }
  std::uint32_t LastOsError() override { return lastError; }

  std::uint64_t waitedMs = 0;
  std::uint32_t lastError = 0;
};
