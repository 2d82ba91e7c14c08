#include "ui/win32/system_libraries.h"

#include <windows.h>
#include <commctrl.h>

#include <iterator>
#include <string>
#include <utility>

#include "platform/win32/hid_library.h"
#include "platform/win32/scoped_handle.h"
#include "ui/message_catalogue.h"

bool LoadCommonControls() {
  static ModuleHandle module;
  if (module) {
    return true;
  }
  ModuleHandle loaded(LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  decltype(&InitCommonControlsEx) initialise = nullptr;
  if (!loaded || !ResolveExport(loaded.get(), "InitCommonControlsEx", initialise)) {
    return false;
  }
  INITCOMMONCONTROLSEX classes{};
  classes.dwSize = sizeof(classes);
  classes.dwICC = ICC_PROGRESS_CLASS;
  if (!initialise(&classes)) {
    return false;
  }
  module = std::move(loaded);
  return true;
}

void ReportMissingSystemLibrary(const wchar_t* name, unsigned long error) {
  wchar_t reason[512] = L"";
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                 reason, static_cast<DWORD>(std::size(reason)), nullptr);
  const std::wstring text = std::wstring(name) + L"\r\n\r\n" + reason;
  MessageBoxW(nullptr, text.c_str(), Text(IDS_APP_ERROR).c_str(), MB_OK | MB_ICONERROR);
}
