#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "protocol/device_path.h"

#include "protocol/hid_transport.h"
#include "protocol/result_code.h"

// Which HID interface is the programming unit. Every transport (Windows, hidapi, the simulated
// bus) decides through these two functions, so the rule exists once.

struct UsbIds {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
};

// The maker's vendor ID (the build constant) with product ID 1 (TORVEX) or 2 (MAVIRA).
bool IsProgrammingUnit(const UsbIds& ids);

// A programming unit as enumeration lists it, before anything is opened.
struct UnitListing {
  DevicePath path;  // as the system names it (/dev/hidrawN on Linux)
  std::uint16_t productId = 0;
};

// One pass over the HID interfaces present, in the platform's enumeration order.
class HidInterfaceWalk {
 public:
  virtual ~HidInterfaceWalk() = default;
  // Moves to the next interface; false when there is none (or the platform cannot go on).
  virtual bool Next() = 0;
  // Opens the current interface for reading and writing; false when it cannot be opened.
  virtual bool OpenCurrent() = 0;
  // The opened interface's IDs; nullopt when they cannot be read.
  virtual std::optional<UsbIds> ReadIds() = 0;
  // Closes the opened interface again.
  virtual void CloseCurrent() = 0;
  // Hands the opened interface to the caller; the walk no longer owns it.
  virtual OpenedDevice TakeCurrent(std::uint16_t productId) = 0;
};

// The first interface that opens and whose IDs name a programming unit wins; the ones after it
// are not looked at, the ones before it are closed again. RESULT_NOT_FOUND when none does.
ResultCode FindFirstUnit(HidInterfaceWalk& walk, OpenedDevice& out);
