// One simulated HID device as a scenario plans it, the same for every rig: the host tests' bus
// (SimTransport), the Wine driver's named pipes, the hidapi stand-in's socket and the unit behind
// /dev/uhid. The fields after `faults` are what one platform or another can do to a device; a rig
// refuses a plan that asks for what it cannot play (Unplayable), so that a scenario written once
// never passes on a rig that quietly left part of it out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/vendor.h"
#include "sim/rig_wire.h"
#include "sim/simulated_unit.h"

namespace sim {

struct DevicePlan {
  std::string name;  // tells devices apart in a rig's messages; the Wine bus's pipe names hold it
  std::uint16_t vendorId = MAKER_VENDOR_ID;
  std::uint16_t productId = PRODUCT_ID_MAVIRA;
  bool isUnit = true;  // false: another HID device, which must never get a request
  std::uint32_t inputReportLength = 65;  // both include the report-ID byte
  std::uint32_t outputReportLength = 65;
  UnitConfig unit;
  std::vector<Fault> faults;

  // Opening the node fails: no udev rule grants this user access (EACCES), or another program
  // holds it exclusively (EBUSY).
  bool accessDenied = false;
  bool busy = false;
  // Windows reads these from an open handle; a device whose attributes fail never matches.
  bool attributesReadable = true;
  bool capsReadable = true;
  // hidraw serves a report descriptor, built from the lengths unless the plan gives one.
  bool descriptorReadable = true;
  std::optional<std::vector<std::uint8_t>> descriptor;
  int collections = 1;  // hidapi lists a node once per top-level collection
  // A named pipe cannot fail a write it has buffered: the Wine bus ends the connection once this
  // many requests have been answered (0: never), so that the program's next write fails as on a
  // unit that is gone.
  std::size_t endAfterRequests = 0;
};

enum class Rig { Host, Wine, Standin, Uhid };

// What of `plan` `rig` cannot play, one phrase each ("a write failure"); empty when it plays all.
std::vector<std::string> Unplayable(const DevicePlan& plan, Rig rig);

// The unit the plan describes, with its faults; null for a device that is no unit.
std::shared_ptr<SimulatedUnit> MakeUnit(const DevicePlan& plan);

// How the OS lists the device at `path`, as its `collection`th top-level collection.
Listing ListingOf(const DevicePlan& plan, const std::string& path, int collection = 0);

// The report descriptor the device serves: the plan's own, or one shaped like the unit's.
std::vector<std::uint8_t> ReportDescriptorOf(const DevicePlan& plan);

}  // namespace sim
