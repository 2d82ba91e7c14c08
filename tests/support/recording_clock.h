#pragma once

#include <cstdint>
#include <string>

#include "tests/support/fake_clock.h"
#include "tests/support/timeline.h"

// The fake clock that also notes each wait on a timeline.
class RecordingClock : public FakeClock {
 public:
  explicit RecordingClock(Timeline& timeline) : timeline_(timeline) {}

  void Wait(std::uint32_t milliseconds) override {
    timeline_.Note("wait " + std::to_string(milliseconds));
    FakeClock::Wait(milliseconds);
  }

 private:
  Timeline& timeline_;
};
