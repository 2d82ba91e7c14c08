#include "platform/win32/device_notification.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "platform/win32/device_broadcast.h"
#include "platform/win32/hid_library.h"

static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) == 32);
static_assert(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) == BROADCAST_INTERFACE_NAME_AT);
static_assert(sizeof(DEV_BROADCAST_HDR) == BROADCAST_HEADER_BYTES);

DeviceNotification RegisterHidNotification(HWND window, const HidLibrary& hid) {
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof(filter);
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_reserved = 0;
  hid.GetHidGuid(&filter.dbcc_classguid);
  return DeviceNotification(
      RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
}

DeviceEvent ToDeviceEvent(WPARAM wParam, LPARAM lParam) {
  const auto code = static_cast<std::uint64_t>(wParam);
  const auto* broadcast = reinterpret_cast<const std::uint8_t*>(lParam);
  // Only these two codes carry a broadcast; for any other, lParam may be anything.
  if ((code != DBT_DEVICEARRIVAL && code != DBT_DEVICEREMOVECOMPLETE) || broadcast == nullptr) {
    return DeviceEventFromBroadcast(code, {});
  }
  DWORD stated = 0;
  std::memcpy(&stated, broadcast, sizeof(stated));
  return DeviceEventFromBroadcast(code, std::span<const std::uint8_t>(broadcast, stated));
}
