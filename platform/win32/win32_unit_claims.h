#pragma once

#include "protocol/unit_claim.h"

// Claims a unit with a named mutex per device path: the first program to create it holds the
// claim for as long as it keeps the handle, and Windows closes the handle when the program ends,
// however it ends, so no stale claim survives its holder. Only the object's existence counts; it
// is never waited on.
class Win32UnitClaims final : public UnitClaims {
 public:
  ClaimResult Claim(const DevicePath& path) override;
};
