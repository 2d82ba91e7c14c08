#pragma once

#include <windows.h>
#include <hidsdi.h>

#include "platform/win32/scoped_handle.h"

// The hid.dll functions this program uses. hid.dll is not a known DLL, so it is loaded at run
// time from System32 only: a planted copy beside the executable must never be picked up.
class HidLibrary {
 public:
  // Loads hid.dll and resolves its functions; false with GetLastError set when that fails.
  bool Load();

  decltype(&HidD_GetHidGuid) GetHidGuid = nullptr;
  decltype(&HidD_GetAttributes) GetAttributes = nullptr;
  decltype(&HidD_GetPreparsedData) GetPreparsedData = nullptr;
  decltype(&HidD_FreePreparsedData) FreePreparsedData = nullptr;
  decltype(&HidP_GetCaps) GetCaps = nullptr;

 private:
  ModuleHandle module_;  // the functions are valid as long as this is held
};

// Resolves an export into a typed function pointer; false when it is missing.
template <typename Function>
bool ResolveExport(HMODULE module, const char* name, Function& out) {
  const FARPROC address = GetProcAddress(module, name);
  // void (*)() is the one function type every other may be cast through without a warning.
  out = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
  return address != nullptr;
}
