#pragma once

#include <windows.h>

#include <string_view>

#include "platform/win32/scoped_handle.h"
#include "texts/message_catalogue.h"

// comctl32.dll is not imported: it is loaded at run time from System32 only, so that a planted
// copy beside the executable is never picked up.
class CommonControls {
 public:
  // Loads the library and registers the progress-bar class; false with GetLastError set when
  // either fails. The library stays loaded as long as this object lives.
  bool Load();

 private:
  ModuleHandle module_;
};

// Tells the user that the program cannot start: `subject`, then the system's description of
// `error` (none for 0), under the catalogue's application-error caption.
void ReportStartFailure(const Catalogue& texts, std::wstring_view subject, unsigned long error);
