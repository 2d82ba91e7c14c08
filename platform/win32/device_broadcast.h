#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "protocol/device_event.h"

// Layout of the WM_DEVICECHANGE broadcast (DEV_BROADCAST_HDR, DEV_BROADCAST_DEVICEINTERFACE_W),
// spelled out so that the conversion also builds and is tested off Windows.
inline constexpr std::size_t BROADCAST_HEADER_BYTES = 12;       // size, device type, reserved
inline constexpr std::size_t BROADCAST_INTERFACE_NAME_AT = 28;  // after the class GUID
inline constexpr std::uint64_t DBT_CODE_DEVICE_ARRIVAL = 0x8000;
inline constexpr std::uint64_t DBT_CODE_DEVICE_REMOVE_COMPLETE = 0x8004;
inline constexpr std::uint32_t DBT_TYPE_DEVICE_INTERFACE = 5;

// One WM_DEVICECHANGE as Windows states it.
struct DeviceBroadcast {
  std::uint64_t code = 0;
  std::uint32_t deviceType = 0;  // arrival and removal-complete only
  std::wstring interfacePath;    // device-interface events only, UTF-16 as Windows gives it

  // The logic's names for the event: arrival, removal complete, or anything else.
  DeviceChange change() const;
  bool isDeviceInterface() const;
};

// `broadcast` is what the second parameter points at, limited to the bytes the caller may read
// (for a real message: the header's stated size). It is read only for arrival and
// removal-complete events, never past its end nor past the size the header states; an interface
// name without a terminator in that range is cut at its end.
DeviceBroadcast ReadDeviceBroadcast(std::uint64_t code, std::span<const std::uint8_t> broadcast);
