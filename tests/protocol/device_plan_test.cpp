// The plan and the listing encoding every rig shares: what the Wine doubles and the hidapi
// stand-in decode must be what the drivers encoded, and a plan a rig cannot play must not pass.
#include "sim/device_plan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sim/rig_wire.h"
#include "sim/sim_transport.h"

namespace {

// Two listings in which every field differs from its default and from the other's.
std::vector<sim::Listing> TwoListings() {
  sim::Listing unit;
  unit.path = "\\\\.\\pipe\\hid#vid_1209&pid_0002#e2e-run-unit#{guid}";
  unit.vendorId = 0x1209;
  unit.productId = 0x0002;
  unit.releaseNumber = 0x0100;
  unit.usagePage = 0xFF01;
  unit.usage = 0x0001;
  unit.interfaceNumber = -1;
  unit.manufacturer = "Talvero";
  unit.product = "M\xC3\xA4VIRA";  // UTF-8 travels as it is
  unit.serialNumber = "SIM-hidraw0";
  unit.inputReportLength = 0x00010041;  // more than 16 bits: a hidraw length may be
  unit.outputReportLength = 61;
  unit.attributesReadable = false;
  sim::Listing other;
  other.path = "/dev/hidraw1";
  other.vendorId = 0x046D;
  other.productId = 0xC077;
  other.inputReportLength = 8;
  other.capsReadable = false;
  return {unit, other};
}

TEST(RigWire, EveryListingFieldSurvivesTheTrip) {
  const std::vector<sim::Listing> sent = TwoListings();
  const std::vector<std::uint8_t> message = sim::MessageWriter().Entries(sent).bytes();

  sim::MessageReader read(message);
  EXPECT_EQ(read.Entries(), sent);
  EXPECT_TRUE(read.ok());
}

// A list cut anywhere, or one whose readability byte holds an unknown bit, reads as no devices
// at all: a double never serves half a device.
TEST(RigWire, ACutOrDamagedListReadsAsNothing) {
  const std::vector<std::uint8_t> message = sim::MessageWriter().Entries(TwoListings()).bytes();
  for (std::size_t length = 0; length < message.size(); ++length) {
    sim::MessageReader read(std::span<const std::uint8_t>(message).first(length));
    EXPECT_TRUE(read.Entries().empty()) << "cut at " << length;
    EXPECT_FALSE(read.ok()) << "cut at " << length;
  }
  std::vector<std::uint8_t> damaged = message;
  damaged.back() = 0x04;  // the second entry's readability flags end the message
  sim::MessageReader read(damaged);
  EXPECT_TRUE(read.Entries().empty());
  EXPECT_FALSE(read.ok());
}

// What the Wine bus and the stand-in publish of a plan: its own IDs, lengths and readability.
TEST(DevicePlan, ListsTheDeviceAsPlannedOncePerCollection) {
  sim::DevicePlan plan;
  plan.productId = PRODUCT_ID_TORVEX;
  plan.inputReportLength = 48;
  plan.outputReportLength = 61;
  plan.capsReadable = false;
  const sim::Listing second = sim::ListingOf(plan, "/bus/dev/hidraw3", 1);
  EXPECT_EQ(second.vendorId, MAKER_VENDOR_ID);
  EXPECT_EQ(second.productId, PRODUCT_ID_TORVEX);
  EXPECT_EQ(second.product, "TORVEX");
  EXPECT_EQ(second.serialNumber, "SIM-hidraw3");
  EXPECT_EQ(second.inputReportLength, 48u);
  EXPECT_EQ(second.outputReportLength, 61u);
  EXPECT_TRUE(second.attributesReadable);
  EXPECT_FALSE(second.capsReadable);
  EXPECT_NE(second.usagePage, sim::ListingOf(plan, "/bus/dev/hidraw3", 0).usagePage)
      << "each top-level collection is listed apart";
}

TEST(DevicePlan, AFaultlessUnitWithDefaultsPlaysOnEveryRig) {
  for (const sim::Rig rig : {sim::Rig::Host, sim::Rig::Wine, sim::Rig::Standin, sim::Rig::Uhid}) {
    EXPECT_EQ(sim::Unplayable({}, rig), std::vector<std::string>{});
  }
}

TEST(DevicePlan, TheHostBusRefusesAPlanItCannotPlay) {
  sim::SimTransport transport([] { return std::uint64_t{0}; });
  sim::DevicePlan plan;
  plan.collections = 2;
  EXPECT_DEATH(transport.Plug("/dev/hidraw0", plan),
               "cannot play more than one top-level collection");
}

TEST(DevicePlan, FaultsARigCannotPlayAreNamed) {
  sim::DevicePlan plan;
  plan.faults = {{0x1B, 3, sim::FaultKind::WriteFailure}, {0x08, 1, sim::FaultKind::Refuse, 5}};
  EXPECT_EQ(sim::Unplayable(plan, sim::Rig::Wine), std::vector<std::string>{"a write failure"})
      << "a named pipe has taken the write before the unit sees it";
  EXPECT_EQ(sim::Unplayable(plan, sim::Rig::Uhid), std::vector<std::string>{"a write failure"});
  EXPECT_EQ(sim::Unplayable(plan, sim::Rig::Standin), std::vector<std::string>{});
}

}  // namespace
