#pragma once

#include "protocol/device_path.h"

// What happened on the bus, as the logic sees it. Each front end maps its platform's
// notifications (WM_DEVICECHANGE codes, WebHID connect/disconnect) to these.
enum class DeviceChange {
  Arrival,  // a device was plugged in
  Removal,  // a device is gone (on Windows: its removal is complete)
  Other,    // any other notification; carries nothing else
};

// One device-change notification. Only arrivals and removals say whether a device interface is
// concerned, and only device-interface events carry its path.
struct DeviceEvent {
  DeviceChange change = DeviceChange::Other;
  bool deviceInterface = false;
  DevicePath path;
};
