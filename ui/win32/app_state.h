#pragma once

#include <windows.h>

#include "platform/win32/device_notification.h"
#include "platform/win32/scoped_handle.h"

// The process-wide state of the Windows program (the link is TheUnitLink()).
struct AppState {
  HINSTANCE instance = nullptr;
  HWND mainDialog = nullptr;  // set at WM_INITDIALOG
  DeviceNotification notification;
  BrushHandle rowBrush;  // background of the red ESC row; made once, deleted when the dialog ends
};

AppState& App();
