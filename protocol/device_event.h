#pragma once

#include <cstdint>
#include <string>

inline constexpr std::uint64_t DEVICE_EVENT_ARRIVAL = 0x8000;
inline constexpr std::uint64_t DEVICE_EVENT_REMOVE_COMPLETE = 0x8004;
inline constexpr std::uint32_t DEVICE_TYPE_INTERFACE = 5;

// A device-change notification as the logic sees it. Only arrival and removal-complete events
// carry a device type, and only device-interface events carry a path.
struct DeviceEvent {
  std::uint64_t code = 0;
  std::uint32_t deviceType = 0;
  std::wstring path;
};
