#include <windows.h>

#include "carried_image_digest.h"

#include "platform/win32/hid_library.h"
#include "platform/win32/win32_hid_transport.h"
#include "platform/win32/win32_os_services.h"
#include "protocol/os_services.h"
#include "protocol/unit_link.h"
#include "ui/message_catalogue.h"
#include "ui/win32/app_state.h"
#include "ui/win32/main_dialog.h"
#include "ui/win32/resource_access.h"
#include "ui/win32/system_libraries.h"
#include "ui/win32/win32_progress_window.h"
#include "update/firmware_package.h"
#include "update/progress_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Every static import is a known DLL; whatever is loaded from here on comes from System32.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // The transfer pumps no messages for ~46 s; a ghost window would offer to kill it mid-write.
  DisableProcessWindowsGhosting();

  App().instance = instance;
  ChooseUiLanguage();
  BindTextLookup(&ResourceText);
  if (!LoadCommonControls()) {
    ReportMissingSystemLibrary(L"comctl32.dll", GetLastError());
    return 1;
  }
  // Without hid.dll no unit could ever be found; say so rather than show "no unit found".
  if (!LoadHidLibrary()) {
    ReportMissingSystemLibrary(L"hid.dll", GetLastError());
    return 1;
  }

  static Win32OsServices os;
  static Win32HidTransport transport;
  static Win32ProgressWindow progress;
  BindOsServices(&os);
  TheUnitLink().BindTransport(&transport);
  BindImageSource(&CarriedImage, CARRIED_IMAGE_SHA256);
  BindProgressWindow(&progress);
  TheUnitLink().Close();

  DialogBoxIndirectParamW(instance, MainDialogTemplate(), nullptr, &MainDialogProc, 0);
  App().rowBrush.reset();
  return 0;
}
