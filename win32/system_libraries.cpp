#include "win32/system_libraries.h"

#include <commctrl.h>

#include <iterator>
#include <string>
#include <utility>

#include "platform/win32/hid_library.h"

bool CommonControls::Load() {
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
  module_ = std::move(loaded);
  return true;
}

void ReportStartFailure(const Catalogue& texts, std::wstring_view subject, unsigned long error) {
  std::wstring text(subject);
  // A failing call that left no error (0) has no reason to add: the system's text for 0 would
  // read "success".
  wchar_t reason[512] = L"";
  if (error != 0) {
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   reason, static_cast<DWORD>(std::size(reason)), nullptr);
  }
  if (!text.empty() && reason[0] != L'\0') {
    text += L"\r\n\r\n";
  }
  text += reason;
  MessageBoxW(nullptr, text.c_str(), texts.Text(IDS_APP_ERROR).c_str(), MB_OK | MB_ICONERROR);
}
