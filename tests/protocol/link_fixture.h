#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "protocol/unit_link.h"
#include "sim/sim_transport.h"
#include "sim/simulated_unit.h"
#include "tests/support/fake_clock.h"

// How a simulated unit appears on the bus.
struct Port {
  std::uint32_t input = 65;
  std::uint32_t output = 65;
  std::uint16_t productId = 2;
};

// A link over a simulated bus and a fake clock; the clock stamps the unit's request trace.
class LinkTest : public ::testing::Test {
 protected:
  // Puts a programming unit on the bus behind the devices already there.
  sim::SimulatedUnit& Plug(sim::UnitConfig config = {}, Port port = {}) {
    auto unit = std::make_shared<sim::SimulatedUnit>(config);
    sim::SimDevice device;
    device.path = "/dev/hidraw" + std::to_string(transport.devices().size()) + "-pid" +
                  std::to_string(port.productId);
    device.productId = port.productId;
    device.inputReportLength = port.input;
    device.outputReportLength = port.output;
    device.unit = unit;
    transport.devices().push_back(device);
    return *unit;
  }

  // Command byte of every request the unit took, in order.
  static std::vector<std::uint8_t> CommandsSent(const sim::SimulatedUnit& unit) {
    std::vector<std::uint8_t> commands;
    for (const sim::RecordedRequest& request : unit.requests()) {
      commands.push_back(request.bytes.size() > 1 ? request.bytes[1] : 0);
    }
    return commands;
  }

  FakeClock clock;
  sim::SimTransport transport{[this] { return clock.nowMs; }};
  UnitLink link{transport, clock};
};

// A closed link: no device, no lengths, nothing learned.
inline void ExpectReset(const UnitLink& link) {
  EXPECT_FALSE(link.IsOpen());
  EXPECT_TRUE(link.devicePath().empty());
  EXPECT_EQ(link.reportLengths().input, 0u);
  EXPECT_EQ(link.reportLengths().output, 0u);
  EXPECT_EQ(link.identity(), UnitIdentity());
}
