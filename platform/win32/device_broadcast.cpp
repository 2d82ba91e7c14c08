#include "platform/win32/device_broadcast.h"

#include <algorithm>

#include "protocol/byte_order.h"

DeviceEvent DeviceEventFromBroadcast(std::uint64_t code, std::span<const std::uint8_t> broadcast) {
  DeviceEvent event;
  event.code = code;
  if (code != DEVICE_EVENT_ARRIVAL && code != DEVICE_EVENT_REMOVE_COMPLETE) {
    return event;
  }
  if (broadcast.size() < BROADCAST_HEADER_BYTES) {
    return event;
  }
  const std::size_t stated = GetU32LE(broadcast, 0);
  const std::span<const std::uint8_t> readable =
      broadcast.first(std::min(stated, broadcast.size()));
  if (readable.size() < BROADCAST_HEADER_BYTES) {
    return event;
  }
  event.deviceType = GetU32LE(readable, 4);
  if (event.deviceType != DEVICE_TYPE_INTERFACE || readable.size() <= BROADCAST_INTERFACE_NAME_AT) {
    return event;
  }
  const std::span<const std::uint8_t> name = readable.subspan(BROADCAST_INTERFACE_NAME_AT);
  for (std::size_t at = 0; at + 1 < name.size(); at += 2) {
    const auto unit = static_cast<wchar_t>(name[at] | name[at + 1] << 8);
    if (unit == L'\0') {
      break;
    }
    event.path.push_back(unit);
  }
  return event;
}
