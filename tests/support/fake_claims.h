#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "protocol/unit_claim.h"

// Claims as other programs would hold them: the paths in `busy` are held elsewhere.
class FakeClaims final : public UnitClaims {
 public:
  ClaimResult Claim(const DevicePath& path) override {
    ClaimResult result;
    if (std::find(busy.begin(), busy.end(), path) != busy.end()) {
      result.outcome = ClaimOutcome::Busy;
      return result;
    }
    ++claimed;
    result.outcome = ClaimOutcome::Claimed;
    result.claim = std::make_unique<UnitClaim>();
    return result;
  }
  std::vector<DevicePath> busy;
  int claimed = 0;
};
