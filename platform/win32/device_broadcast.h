#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "protocol/device_event.h"

// Layout of the WM_DEVICECHANGE broadcast (DEV_BROADCAST_HDR, DEV_BROADCAST_DEVICEINTERFACE_W),
// spelled out so that the conversion also builds and is tested off Windows.
inline constexpr std::size_t BROADCAST_HEADER_BYTES = 12;       // size, device type, reserved
inline constexpr std::size_t BROADCAST_INTERFACE_NAME_AT = 28;  // after the class GUID

// The logic's view of one WM_DEVICECHANGE. `broadcast` is what the second parameter points at,
// limited to the bytes the caller may read (for a real message: the header's stated size). It is
// read only for arrival and removal-complete events, never past its end nor past the size the
// header states; an interface name without a terminator in that range is cut at its end.
DeviceEvent DeviceEventFromBroadcast(std::uint64_t code, std::span<const std::uint8_t> broadcast);
