#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "protocol/unit_claim.h"

// Claims as other programs would hold them: the paths in `busy` are held elsewhere; a claim on
// the path in `failing` fails with its OS error (no access to the claim, an I/O error).
class FakeClaims final : public UnitClaims {
 public:
  ClaimResult Claim(const DevicePath& path) override {
    ClaimResult result;
    if (std::find(busy.begin(), busy.end(), path) != busy.end()) {
      result.outcome = ClaimOutcome::Busy;
      return result;
    }
    if (failing && failing->first == path) {
      result.outcome = ClaimOutcome::Failed;
      result.osError = failing->second;
      return result;
    }
    ++claimed;
    result.outcome = ClaimOutcome::Claimed;
    result.claim = std::make_unique<UnitClaim>();
    return result;
  }
  std::vector<DevicePath> busy;
  std::optional<std::pair<DevicePath, std::uint32_t>> failing;
  int claimed = 0;
};
