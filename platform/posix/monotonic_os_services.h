#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "protocol/os_services.h"

// Waits on the monotonic clock to an absolute deadline, so neither a signal nor a change of the
// wall clock ends one early; LastOsError() is errno.
class MonotonicOsServices final : public OsServices {
 public:
  void Wait(std::uint32_t milliseconds) override;
  std::uint32_t LastOsError() override;

  // For benchmarks: while recording, every wait appends how long after its deadline it ended.
  void RecordOvershoots(bool on) { recording_ = on; }
  const std::vector<std::chrono::nanoseconds>& overshoots() const { return overshoots_; }
  void ClearOvershoots() { overshoots_.clear(); }

 private:
  bool recording_ = false;
  std::vector<std::chrono::nanoseconds> overshoots_;
};
