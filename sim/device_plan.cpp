#include "sim/device_plan.h"

#include "sim/report_descriptor.h"

namespace sim {
namespace {

constexpr unsigned Bit(Rig rig) {
  return 1u << static_cast<unsigned>(rig);
}
constexpr unsigned kAllRigs = Bit(Rig::Host) | Bit(Rig::Wine) | Bit(Rig::Standin) | Bit(Rig::Uhid);

// One thing a plan can ask for and the rigs that play it.
struct Feature {
  const char* what;
  bool (*asked)(const DevicePlan&);
  unsigned rigs;
};

// The unit behind /dev/uhid is alone on its bus, and the kernel opens, lists and reads it: only
// the unit's own answers are its to change.
constexpr Feature kFeatures[] = {
    {"a device that is no unit", [](const DevicePlan& p) { return !p.isUnit; },
     Bit(Rig::Host) | Bit(Rig::Wine) | Bit(Rig::Standin)},
    {"access denied", [](const DevicePlan& p) { return p.accessDenied; },
     Bit(Rig::Host) | Bit(Rig::Standin)},
    {"a busy device", [](const DevicePlan& p) { return p.busy; },
     Bit(Rig::Host) | Bit(Rig::Standin)},
    {"unreadable attributes", [](const DevicePlan& p) { return !p.attributesReadable; },
     Bit(Rig::Host) | Bit(Rig::Wine)},
    {"unreadable capabilities", [](const DevicePlan& p) { return !p.capsReadable; },
     Bit(Rig::Host) | Bit(Rig::Wine)},
    {"an unreadable report descriptor", [](const DevicePlan& p) { return !p.descriptorReadable; },
     Bit(Rig::Standin)},
    {"a report descriptor of its own", [](const DevicePlan& p) { return p.descriptor.has_value(); },
     Bit(Rig::Standin) | Bit(Rig::Uhid)},
    {"more than one top-level collection", [](const DevicePlan& p) { return p.collections != 1; },
     Bit(Rig::Standin)},
    {"a connection ended after some requests",
     [](const DevicePlan& p) { return p.endAfterRequests != 0; }, Bit(Rig::Wine)},
};

// Which rigs play a fault: a named pipe has taken the write before the unit sees it, and a
// device that vanishes stays listed on the Wine bus; a uhid write succeeds once the kernel has
// queued it, and a hidraw read fails only when the device is gone.
unsigned RigsPlaying(FaultKind kind) {
  switch (kind) {
    case FaultKind::WriteFailure:
      return Bit(Rig::Host) | Bit(Rig::Standin);
    case FaultKind::ReadFailure:
      return Bit(Rig::Host) | Bit(Rig::Wine) | Bit(Rig::Standin);
    case FaultKind::Vanish:
      return Bit(Rig::Host) | Bit(Rig::Standin) | Bit(Rig::Uhid);
    case FaultKind::Refuse:
    case FaultKind::FailFlag:
    case FaultKind::Silent:
      return kAllRigs;
  }
  return 0;
}

const char* FaultName(FaultKind kind) {
  switch (kind) {
    case FaultKind::WriteFailure:
      return "a write failure";
    case FaultKind::ReadFailure:
      return "a read failure";
    case FaultKind::Vanish:
      return "a unit that vanishes";
    case FaultKind::Refuse:
      return "a refusal";
    case FaultKind::FailFlag:
      return "a failing outcome flag";
    case FaultKind::Silent:
      return "a silent unit";
  }
  return "an unknown fault";
}

}  // namespace

std::vector<std::string> Unplayable(const DevicePlan& plan, Rig rig) {
  std::vector<std::string> unplayable;
  for (const Feature& feature : kFeatures) {
    if (feature.asked(plan) && (feature.rigs & Bit(rig)) == 0) {
      unplayable.push_back(feature.what);
    }
  }
  for (const Fault& fault : plan.faults) {
    if ((RigsPlaying(fault.kind) & Bit(rig)) == 0) {
      unplayable.push_back(FaultName(fault.kind));
    }
  }
  return unplayable;
}

std::shared_ptr<SimulatedUnit> MakeUnit(const DevicePlan& plan) {
  if (!plan.isUnit) {
    return nullptr;
  }
  auto unit = std::make_shared<SimulatedUnit>(plan.unit);
  for (const Fault& fault : plan.faults) {
    unit->AddFault(fault);
  }
  return unit;
}

Listing ListingOf(const DevicePlan& plan, const std::string& path, int collection) {
  Listing l;
  l.path = path;
  l.vendorId = plan.vendorId;
  l.productId = plan.productId;
  l.releaseNumber = 0x0100;
  l.usagePage = static_cast<std::uint16_t>(0xFF00 + collection);  // vendor-defined, as the unit's
  l.usage = 0x01;
  l.interfaceNumber = 0;
  l.manufacturer = plan.isUnit ? "Talvero" : "Other maker";
  l.product = !plan.isUnit                          ? "HID device"
              : plan.productId == PRODUCT_ID_TORVEX ? "TORVEX"
                                                    : "MAVIRA";
  l.serialNumber = "SIM-" + path.substr(path.find_last_of("/\\") + 1);
  l.inputReportLength = plan.inputReportLength;
  l.outputReportLength = plan.outputReportLength;
  l.attributesReadable = plan.attributesReadable;
  l.capsReadable = plan.capsReadable;
  return l;
}

std::vector<std::uint8_t> ReportDescriptorOf(const DevicePlan& plan) {
  return plan.descriptor.value_or(
      BuildReportDescriptor(plan.inputReportLength, plan.outputReportLength));
}

}  // namespace sim
