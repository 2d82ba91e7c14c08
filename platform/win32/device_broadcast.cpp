#include "platform/win32/device_broadcast.h"

#include <algorithm>

#include "protocol/byte_order.h"

DeviceChange DeviceBroadcast::change() const {
  switch (code) {
    case DBT_CODE_DEVICE_ARRIVAL:
      return DeviceChange::Arrival;
    case DBT_CODE_DEVICE_REMOVE_COMPLETE:
      return DeviceChange::Removal;
  }
  return DeviceChange::Other;
}

bool DeviceBroadcast::isDeviceInterface() const {
  return change() != DeviceChange::Other && deviceType == DBT_TYPE_DEVICE_INTERFACE;
}

DeviceBroadcast ReadDeviceBroadcast(std::uint64_t code, std::span<const std::uint8_t> broadcast) {
  DeviceBroadcast event;
  event.code = code;
  if (event.change() == DeviceChange::Other) {
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
  if (event.deviceType != DBT_TYPE_DEVICE_INTERFACE ||
      readable.size() <= BROADCAST_INTERFACE_NAME_AT) {
    return event;
  }
  const std::span<const std::uint8_t> name = readable.subspan(BROADCAST_INTERFACE_NAME_AT);
  for (std::size_t at = 0; at + 1 < name.size(); at += 2) {
    const auto unit = static_cast<wchar_t>(name[at] | name[at + 1] << 8);
    if (unit == L'\0') {
      break;
    }
    event.interfacePath.push_back(unit);
  }
  return event;
}
