// hid.dll double: answers attribute and capability queries for handles the program opened on the
// simulated bus's pipes. A handle is mapped to its device by the pipe's name, which
// GetFileInformationByHandleEx(FileNameInfo) returns for a pipe client handle under Wine.
#include <windows.h>
// The headers declare these functions without C linkage for C++ callers.
extern "C" {
#include <hidsdi.h>
}

#include <new>
#include <string>
#include <vector>

#include "tests/e2e/doubles/bus_access.h"

namespace {

constexpr GUID kHidGuid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
constexpr NTSTATUS kHidpStatusSuccess = 0x00110000;
constexpr NTSTATUS kHidpStatusInvalidPreparsedData = static_cast<NTSTATUS>(0xC0110001);

// The opaque preparsed data: the device's capabilities at the time of the query.
struct Preparsed {
  static constexpr DWORD kMagic = 0x50524550;
  DWORD magic = kMagic;
  USHORT inputReportLength = 0;
  USHORT outputReportLength = 0;
  USHORT usagePage = 0;
  USHORT usage = 0;
};

// The bus entry of the device behind `handle`, if it is still present.
bool DeviceOf(HANDLE handle, sim::Listing& out) {
  alignas(FILE_NAME_INFO) unsigned char buffer[sizeof(FILE_NAME_INFO) + 1024 * sizeof(wchar_t)];
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
      !GetFileInformationByHandleEx(handle, FileNameInfo, buffer, sizeof buffer)) {
    return false;
  }
  const auto* info = reinterpret_cast<const FILE_NAME_INFO*>(buffer);
  std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
  if (!name.empty() && name.front() == L'\\')
    name.erase(0, 1);
  for (const sim::Listing& d : e2e::ReadBusDevices()) {
    if (SameDevicePath(e2e::PipeNameOf(e2e::FromUtf8(d.path)), name)) {
      out = d;
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" {

void NTAPI HidD_GetHidGuid(LPGUID guid) {
  if (guid != nullptr)
    *guid = kHidGuid;
}

BOOLEAN NTAPI HidD_GetAttributes(HANDLE handle, PHIDD_ATTRIBUTES attributes) {
  if (attributes == nullptr)
    return FALSE;
  if (attributes->Size != sizeof(HIDD_ATTRIBUTES)) {
    e2e::ReportMisuse(L"HidD_GetAttributes: Size is not sizeof(HIDD_ATTRIBUTES)");
  }
  sim::Listing device;
  if (!DeviceOf(handle, device) || !device.attributesReadable) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  attributes->VendorID = device.vendorId;
  attributes->ProductID = device.productId;
  attributes->VersionNumber = device.releaseNumber;
  return TRUE;
}

BOOLEAN NTAPI HidD_GetPreparsedData(HANDLE handle, PHIDP_PREPARSED_DATA* preparsed) {
  if (preparsed == nullptr)
    return FALSE;
  sim::Listing device;
  if (!DeviceOf(handle, device) || !device.capsReadable) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  auto* data = new (std::nothrow) Preparsed;
  if (data == nullptr)
    return FALSE;
  // HIDP_CAPS holds the lengths as USHORT.
  data->inputReportLength = static_cast<USHORT>(device.inputReportLength);
  data->outputReportLength = static_cast<USHORT>(device.outputReportLength);
  data->usagePage = device.usagePage;
  data->usage = device.usage;
  {
    e2e::KeepLastError keep;
    e2e::AdjustCounter(L"OpenPreparsed", +1);
  }
  *preparsed = reinterpret_cast<PHIDP_PREPARSED_DATA>(data);
  return TRUE;
}

BOOLEAN NTAPI HidD_FreePreparsedData(PHIDP_PREPARSED_DATA preparsed) {
  auto* data = reinterpret_cast<Preparsed*>(preparsed);
  if (data == nullptr || data->magic != Preparsed::kMagic) {
    e2e::ReportMisuse(L"HidD_FreePreparsedData: not live preparsed data");
    return FALSE;
  }
  data->magic = 0;
  delete data;
  e2e::KeepLastError keep;
  e2e::AdjustCounter(L"OpenPreparsed", -1);
  return TRUE;
}

NTSTATUS NTAPI HidP_GetCaps(PHIDP_PREPARSED_DATA preparsed, PHIDP_CAPS caps) {
  const auto* data = reinterpret_cast<const Preparsed*>(preparsed);
  if (data == nullptr || data->magic != Preparsed::kMagic || caps == nullptr) {
    e2e::ReportMisuse(L"HidP_GetCaps: not live preparsed data");
    return kHidpStatusInvalidPreparsedData;
  }
  *caps = HIDP_CAPS{};
  caps->UsagePage = data->usagePage;
  caps->Usage = data->usage;
  caps->InputReportByteLength = data->inputReportLength;
  caps->OutputReportByteLength = data->outputReportLength;
  return kHidpStatusSuccess;
}

}  // extern "C"
