#include "platform/win32/hid_library.h"

#include <utility>

bool HidLibrary::Load() {
  ModuleHandle loaded(LoadLibraryExW(L"hid.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  if (!loaded) {
    return false;
  }
  const HMODULE module = loaded.get();
  const bool complete = ResolveExport(module, "HidD_GetHidGuid", GetHidGuid) &&
                        ResolveExport(module, "HidD_GetAttributes", GetAttributes) &&
                        ResolveExport(module, "HidD_GetPreparsedData", GetPreparsedData) &&
                        ResolveExport(module, "HidD_FreePreparsedData", FreePreparsedData) &&
                        ResolveExport(module, "HidP_GetCaps", GetCaps);
  if (!complete) {
    return false;  // GetLastError: ERROR_PROC_NOT_FOUND, kept by the module's reset
  }
  module_ = std::move(loaded);
  return true;
}
