#pragma once

#include <cstdint>

#include "protocol/os_services.h"

// The browser's last error as the transport recorded it (one of web/browser_errors.h), read by
// the logic right after a failed request.
class BrowserErrorSlot {
 public:
  void Record(std::uint32_t error) { last_ = error; }
  std::uint32_t Last() const { return last_; }

 private:
  std::uint32_t last_ = 0;
};

// Waits to a deadline on the worker's clock. A dedicated worker's timers are not throttled in a
// hidden tab as the page's are, but setTimeout may still fire a little early: each wait
// re-checks its deadline and sleeps again for what is left.
class BrowserOsServices final : public OsServices {
 public:
  explicit BrowserOsServices(const BrowserErrorSlot& errors) : errors_(errors) {}
  void Wait(std::uint32_t milliseconds) override;
  std::uint32_t LastOsError() override { return errors_.Last(); }

 private:
  const BrowserErrorSlot& errors_;
};
