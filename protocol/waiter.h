#pragma once

#include <cstdint>

// The blocking wait the update's pacing needs. Each front end passes its platform's
// implementation; tests pass a fake clock that records every wait.
class Waiter {
 public:
  virtual ~Waiter() = default;
  // Blocks for at least `milliseconds`: the unit's timing is a minimum, never cut short.
  virtual void Wait(std::uint32_t milliseconds) = 0;
};
