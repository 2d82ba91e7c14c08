#pragma once

#include <windows.h>

#include "dialog/dialog_logic.h"
#include "platform/win32/device_notification.h"
#include "platform/win32/hid_library.h"
#include "platform/win32/scoped_handle.h"
#include "texts/message_catalogue.h"
#include "win32/dialog_logo.h"
#include "win32/win32_dialog_view.h"

// What the main dialog works with: built by the program's entry point, handed to the dialog as
// its creation parameter and kept in the window's user data while the dialog lives.
struct MainDialogState {
  HINSTANCE instance = nullptr;
  const HidLibrary& hid;
  const Catalogue& texts;
  Win32DialogView& view;
  DialogLogic& logic;
  UnitLink& link;
  DeviceNotification notification;  // held from WM_INITDIALOG until the dialog ends
  BrushHandle rowBrush;  // background of the red ESC row; made once, deleted with the state
  DialogLogo logo;       // stretched at the first paint, kept with the state
};

// The dialog procedure of the main dialog (template 110); its creation parameter is a
// MainDialogState that outlives the dialog.
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
