// Simulated programming units for the host tests: a configuration that differs from the default
// in one place, and a unit put on a simulated bus.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "sim/sim_transport.h"
#include "sim/simulated_unit.h"

namespace sim_units {

// The default configuration with `change` applied, for table rows.
inline sim::UnitConfig With(void (*change)(sim::UnitConfig&)) {
  sim::UnitConfig config;
  change(config);
  return config;
}

// Puts a programming unit on the bus (last in enumeration order).
inline std::shared_ptr<sim::SimulatedUnit> Plug(sim::SimTransport& transport, DevicePath path,
                                                sim::UnitConfig config = {},
                                                std::uint16_t productId = 2) {
  auto unit = std::make_shared<sim::SimulatedUnit>(config);
  sim::SimDevice device;
  device.path = std::move(path);
  device.productId = productId;
  device.unit = unit;
  transport.devices().push_back(device);
  return unit;
}

}  // namespace sim_units
