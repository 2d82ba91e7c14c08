#pragma once

#include <string>

#include "protocol/unit_claim.h"

// Claims a unit with a Web Lock (navigator.locks, shared by every tab and worker of the page's
// origin in this browser), which the browser gives up when its holder's worker or tab ends,
// however it ends. WebHID shows no serial number, so two tabs cannot tell two units of the same
// product apart: the lock is per vendor and product ID, and a second such unit waits until the
// first is given up. Programs outside the browser hold claims of their own that it cannot see.
class BrowserUnitClaims final : public UnitClaims {
 public:
  ClaimResult Claim(const DevicePath& path) override;
};

// The lock's name for a device path of web/worker_pre.js ("webhid-VVVV-PPPP-N"): the path
// without its per-worker number.
std::string UnitLockName(const DevicePath& path);
