#include "platform/win32/device_notification.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <utility>

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

static_assert(DBT_DEVICEARRIVAL == DBT_CODE_DEVICE_ARRIVAL);
static_assert(DBT_DEVICEREMOVECOMPLETE == DBT_CODE_DEVICE_REMOVE_COMPLETE);
static_assert(DBT_DEVTYP_DEVICEINTERFACE == DBT_TYPE_DEVICE_INTERFACE);

DeviceEvent ToDeviceEvent(WPARAM wParam, LPARAM lParam) {
  const auto code = static_cast<std::uint64_t>(wParam);
  const auto* data = reinterpret_cast<const std::uint8_t*>(lParam);
  DeviceBroadcast broadcast;
  // Only these two codes carry a broadcast; for any other, lParam may be anything.
  if ((code != DBT_DEVICEARRIVAL && code != DBT_DEVICEREMOVECOMPLETE) || data == nullptr) {
    broadcast = ReadDeviceBroadcast(code, {});
  } else {
    DWORD stated = 0;
    std::memcpy(&stated, data, sizeof(stated));
    broadcast = ReadDeviceBroadcast(code, std::span<const std::uint8_t>(data, stated));
  }
  return {broadcast.change(), broadcast.isDeviceInterface(), std::move(broadcast.interfacePath)};
}
