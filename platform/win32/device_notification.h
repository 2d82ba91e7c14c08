#pragma once

#include <windows.h>
#include <dbt.h>

#include "platform/win32/hid_library.h"
#include "platform/win32/scoped_handle.h"
#include "protocol/device_event.h"

struct DeviceNotificationTraits {
  using Handle = HDEVNOTIFY;
  static void Close(Handle handle) { UnregisterDeviceNotification(handle); }
};
// Unregister = reset(); skipped by the handle when none is held.
using DeviceNotification = ScopedHandle<DeviceNotificationTraits>;

// Asks for HID interface arrivals and removals as WM_DEVICECHANGE to `window`; none on failure.
// `hid` (loaded) gives the HID class GUID.
DeviceNotification RegisterHidNotification(HWND window, const HidLibrary& hid);

// WM_DEVICECHANGE parameters as the logic sees them; the broadcast is read only within the size
// its header states.
DeviceEvent ToDeviceEvent(WPARAM wParam, LPARAM lParam);
