#pragma once

#include <cstdint>

// The two operating-system services the logic needs besides HID: a blocking wait and the last
// error value. Each front end passes its platform's implementation; tests pass a fake clock that
// records every wait.
class OsServices {
 public:
  virtual ~OsServices() = default;
  // Blocks for at least `milliseconds`; must leave LastOsError() unchanged.
  virtual void Wait(std::uint32_t milliseconds) = 0;
  // The error value of the most recent failed call on this thread.
  virtual std::uint32_t LastOsError() = 0;
};
