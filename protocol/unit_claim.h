#pragma once

#include <cstdint>
#include <memory>

#include "protocol/device_path.h"

// One program's claim on one programming unit. While a claim is held, every other program that
// claims units (the command line, the dialog, the page) leaves that unit alone: it sends nothing,
// not even an identification, because the unit's replies reach every program that has it open
// and a foreign reply read in place of one's own ends an update half-way. The operating system
// ends a claim when its holder ends, however it ends.
class UnitClaim {
 public:
  virtual ~UnitClaim() = default;  // gives the claim up
};

enum class ClaimOutcome {
  Claimed,
  Busy,    // another program holds the unit
  Failed,  // the claim could not be tried (osError says why)
};

struct ClaimResult {
  ClaimOutcome outcome = ClaimOutcome::Failed;
  std::unique_ptr<UnitClaim> claim;  // held when Claimed
  std::uint32_t osError = 0;         // when Failed
};

// How a front end claims units: an advisory lock on the device node (POSIX), a named kernel
// object per device path (Windows), a lock per device in the browser. Tries once, never waits.
class UnitClaims {
 public:
  virtual ~UnitClaims() = default;
  virtual ClaimResult Claim(const DevicePath& path) = 0;
};
