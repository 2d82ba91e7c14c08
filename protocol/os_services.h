#pragma once

#include <cstdint>

// The two operating-system services the logic needs besides HID: a blocking wait and the last
// error value. Production binds the Windows implementation once at start-up; tests bind a fake
// clock that records every wait.
class OsServices {
 public:
  virtual ~OsServices() = default;
  // Blocks for at least `milliseconds`; must leave LastOsError() unchanged.
  virtual void Wait(std::uint32_t milliseconds) = 0;
  virtual std::uint32_t LastOsError() = 0;
};

void BindOsServices(OsServices* services);

void WaitMilliseconds(std::uint32_t milliseconds);
std::uint32_t LastOsError();
