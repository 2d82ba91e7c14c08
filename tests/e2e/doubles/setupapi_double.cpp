// setupapi.dll double: enumerates the HID interfaces of the simulated bus (the driver's named
// pipes), in the driver's order, as SetupAPI would enumerate present HID device interfaces.
#define _SETUPAPI_
#include <windows.h>
#include <setupapi.h>

#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "tests/e2e/doubles/bus_access.h"

namespace {

constexpr GUID kHidGuid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// The snapshot behind an HDEVINFO: the bus as it was when the set was made.
struct DeviceSet {
  static constexpr DWORD kMagic = 0x45324553;  // tells our sets from stray pointers
  DWORD magic = kMagic;
  std::vector<std::wstring> paths;
};

DeviceSet* AsSet(HDEVINFO set) {
  auto* s = static_cast<DeviceSet*>(set);
  if (s == nullptr || set == INVALID_HANDLE_VALUE || s->magic != DeviceSet::kMagic)
    return nullptr;
  return s;
}

}  // namespace

extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsW(const GUID* classGuid, PCWSTR enumerator, HWND parent,
                                     DWORD flags) {
  {
    e2e::KeepLastError keep;
    if (classGuid == nullptr || !IsEqualGUID(*classGuid, kHidGuid)) {
      e2e::ReportMisuse(L"SetupDiGetClassDevsW: class GUID is not the HID interface class");
    }
    if (enumerator != nullptr || parent != nullptr) {
      e2e::ReportMisuse(L"SetupDiGetClassDevsW: enumerator or window given");
    }
    if (flags != (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {
      e2e::ReportMisuse(
          L"SetupDiGetClassDevsW: flags are not DIGCF_PRESENT | DIGCF_DEVICEINTERFACE");
    }
  }
  auto* set = new (std::nothrow) DeviceSet;
  if (set == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  for (const sim::Listing& d : e2e::ReadBusDevices())
    set->paths.push_back(e2e::FromUtf8(d.path));
  e2e::AdjustCounter(L"OpenSets", +1);
  SetLastError(ERROR_SUCCESS);
  return set;
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO devices, PSP_DEVINFO_DATA deviceInfo,
                                        const GUID* interfaceGuid, DWORD index,
                                        PSP_DEVICE_INTERFACE_DATA data) {
  DeviceSet* set = AsSet(devices);
  if (set == nullptr) {
    e2e::ReportMisuse(L"SetupDiEnumDeviceInterfaces: not a live device-info set");
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (deviceInfo != nullptr || interfaceGuid == nullptr || !IsEqualGUID(*interfaceGuid, kHidGuid)) {
    e2e::ReportMisuse(
        L"SetupDiEnumDeviceInterfaces: not asked for HID interfaces of the whole set");
  }
  if (data == nullptr || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (index >= set->paths.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  data->InterfaceClassGuid = kHidGuid;
  data->Flags = SPINT_ACTIVE;
  data->Reserved = index;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailW(HDEVINFO devices, PSP_DEVICE_INTERFACE_DATA data,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail,
                                             DWORD detailSize, PDWORD requiredSize,
                                             PSP_DEVINFO_DATA deviceInfo) {
  DeviceSet* set = AsSet(devices);
  if (set == nullptr || data == nullptr || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) ||
      data->Reserved >= set->paths.size()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::wstring& path = set->paths[data->Reserved];
  const DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                                          (path.size() + 1) * sizeof(wchar_t));
  if (requiredSize != nullptr)
    *requiredSize = needed;
  (void)deviceInfo;  // the program has no use for it, and the bus has no device nodes
  if (detail == nullptr) {
    if (detailSize != 0) {
      SetLastError(ERROR_INVALID_USER_BUFFER);
      return FALSE;
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
    e2e::ReportMisuse(L"SetupDiGetDeviceInterfaceDetailW: cbSize is not the fixed structure size");
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (detailSize < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(detail->DevicePath, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO devices) {
  DeviceSet* set = AsSet(devices);
  if (set == nullptr) {
    e2e::ReportMisuse(L"SetupDiDestroyDeviceInfoList: not a live device-info set");
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  set->magic = 0;
  delete set;
  e2e::AdjustCounter(L"OpenSets", -1);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

}  // extern "C"
