#include "platform/win32/hid_library.h"

#include <utility>

#include "platform/win32/scoped_handle.h"

namespace {

HidLibrary library;
ModuleHandle module;

}  // namespace

bool LoadHidLibrary() {
  if (module) {
    return true;
  }
  ModuleHandle loaded(LoadLibraryExW(L"hid.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  if (!loaded) {
    return false;
  }
  HidLibrary resolved;
  const bool complete =
      ResolveExport(loaded.get(), "HidD_GetHidGuid", resolved.GetHidGuid) &&
      ResolveExport(loaded.get(), "HidD_GetAttributes", resolved.GetAttributes) &&
      ResolveExport(loaded.get(), "HidD_GetPreparsedData", resolved.GetPreparsedData) &&
      ResolveExport(loaded.get(), "HidD_FreePreparsedData", resolved.FreePreparsedData) &&
      ResolveExport(loaded.get(), "HidP_GetCaps", resolved.GetCaps);
  if (!complete) {
    return false;  // GetLastError: ERROR_PROC_NOT_FOUND, kept by the module's reset
  }
  library = resolved;
  module = std::move(loaded);
  return true;
}

const HidLibrary& Hid() {
  return library;
}
