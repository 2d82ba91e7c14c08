#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/hid_transport.h"
#include "protocol/result_code.h"
#include "protocol/unit_filter.h"

// What the command line needs from a transport beyond HidTransport: every unit present, a unit
// opened by its path, and the units present that this user may not open.
class UnitBus {
 public:
  virtual ~UnitBus() = default;
  virtual std::vector<UnitListing> ListUnits() = 0;
  // RESULT_NOT_FOUND when no programming unit has that path (or it cannot be opened).
  virtual ResultCode OpenPath(const std::string& path, OpenedDevice& out) = 0;
  // Units seen by the last enumeration or open whose node refused this user (permission).
  virtual std::vector<std::string> DeniedPaths() const = 0;
};
