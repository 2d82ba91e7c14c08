#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "protocol/os_services.h"
#include "protocol/unit_link.h"
#include "sim/sim_transport.h"
#include "sim/simulated_unit.h"
#include "tests/support/fake_os.h"

// How a simulated unit appears on the bus.
struct Port {
  std::uint32_t input = 65;
  std::uint32_t output = 65;
  std::uint16_t productId = 2;
};

// A link bound to a simulated bus and a fake clock; the clock stamps the unit's request trace.
class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BindOsServices(&os);
    link.BindTransport(&transport);
  }
  void TearDown() override {
    link.Close();
    BindOsServices(nullptr);
  }

  // Puts a programming unit on the bus behind the devices already there.
  sim::SimulatedUnit& Plug(sim::UnitConfig config = {}, Port port = {}) {
    auto unit = std::make_shared<sim::SimulatedUnit>(config);
    sim::SimDevice device;
    device.path = L"\\\\?\\hid#vid_1209&pid_000" + std::to_wstring(port.productId) + L"#" +
                  std::to_wstring(transport.devices().size());
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

  FakeOs os;
  sim::SimTransport transport{[this] { return os.nowMs; },
                              [this](std::uint32_t error) { os.lastError = error; }};
  UnitLink link;
};

// Every field of the record in its reset state.
inline void ExpectReset(const UnitLink& link) {
  EXPECT_EQ(link.handle, INVALID_DEVICE_HANDLE);
  EXPECT_FALSE(link.IsOpen());
  EXPECT_FALSE(link.devicePath.has_value());
  EXPECT_EQ(link.outputReportLength, 0u);
  EXPECT_EQ(link.inputReportLength, 0u);
  EXPECT_EQ(link.unitMode, 0);
  EXPECT_EQ(link.unitVersion, 0u);
  EXPECT_EQ(link.unitVersionAux, 0u);
  EXPECT_EQ(link.escState, 0);
  EXPECT_EQ(link.escStateAux, 0);
  EXPECT_EQ(link.otherMode.byte4, 0);
  EXPECT_EQ(link.otherMode.word5, 0);
  EXPECT_EQ(link.otherMode.dword7, 0u);
  EXPECT_EQ(link.otherMode.dword11, 0u);
  EXPECT_EQ(link.otherMode.byte15, 0);
  EXPECT_EQ(link.escInfo, (std::array<std::uint8_t, 32>{}));
  EXPECT_EQ(link.escBootInfo, (std::array<std::uint8_t, 40>{}));
  EXPECT_EQ(link.productId, 0);
}
