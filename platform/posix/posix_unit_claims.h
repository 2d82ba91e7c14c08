#pragma once

#include <string>
#include <utility>

#include "protocol/unit_claim.h"

// Claims a unit with an advisory lock (flock) that the kernel drops when the holder's last
// descriptor closes, so a program killed in any way leaves no stale claim behind.
//
// A unit named by a device node (/dev/hidrawN on Linux) is locked on the node itself: every
// program that may open the node can lock it, whoever runs it, and the lock follows the device,
// not a name that a later device may reuse. A unit named otherwise (macOS names it by a registry
// ID, which is no file) is locked on a file of its own in `lockFolder`.
class PosixUnitClaims final : public UnitClaims {
 public:
  explicit PosixUnitClaims(std::string lockFolder = "/tmp") : lockFolder_(std::move(lockFolder)) {}

  ClaimResult Claim(const DevicePath& path) override;

  // The lock file for a unit that is not named by a file.
  std::string LockFileFor(const DevicePath& path) const;

 private:
  std::string lockFolder_;
};
