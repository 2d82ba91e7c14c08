// The floor for the Windows program's whole update on Wine's HID stack: the least a client can
// do for the same update. It finds the unit, opens it for synchronous reads and writes, sends
// the update's requests with the same exact waits, and judges each reply, with no dialog, no
// thread, no listening and no time-out (the guest's `timeout` bounds it).
//
//   floor_client.exe IMAGE
//
// Prints the seconds from the lock request to the closing pair; exits 0 when every reply was a
// success, 1 when one was not, 2 on bad arguments or no unit.
#include <windows.h>
// After windows.h, which these need; mingw-w64's hidsdi.h declares C functions without saying so.
extern "C" {
#include <hidsdi.h>
}
#include <setupapi.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "build_facts.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_waiter.h"
#include "protocol/unit_report.h"

namespace {

constexpr std::size_t kBlockBytes = build_facts::kImageBlockBytes;

struct Unit {
  KernelObject file;
  std::size_t inputLength = 0;
  std::size_t outputLength = 0;
};

bool ReadLengths(HANDLE file, Unit& unit) {
  PHIDP_PREPARSED_DATA data = nullptr;
  if (!HidD_GetPreparsedData(file, &data)) {
    return false;
  }
  HIDP_CAPS caps{};
  const bool read = HidP_GetCaps(data, &caps) == HIDP_STATUS_SUCCESS;
  HidD_FreePreparsedData(data);
  unit.inputLength = caps.InputReportByteLength;
  unit.outputLength = caps.OutputReportByteLength;
  return read && unit.inputLength >= MIN_INPUT_REPORT_LENGTH &&
         unit.outputLength >= MIN_OUTPUT_REPORT_LENGTH;
}

// The first HID interface with the maker's vendor ID.
std::optional<Unit> FindUnit() {
  GUID hidClass{};
  HidD_GetHidGuid(&hidClass);
  const HDEVINFO interfaces =
      SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (interfaces == INVALID_HANDLE_VALUE) {
    return std::nullopt;
  }
  std::optional<Unit> found;
  SP_DEVICE_INTERFACE_DATA entry{};
  entry.cbSize = sizeof(entry);
  for (DWORD index = 0;
       !found && SetupDiEnumDeviceInterfaces(interfaces, nullptr, &hidClass, index, &entry);
       ++index) {
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailW(interfaces, &entry, nullptr, 0, &required, nullptr);
    std::vector<std::uint8_t> storage(required + sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W));
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!SetupDiGetDeviceInterfaceDetailW(interfaces, &entry, detail, required, nullptr, nullptr)) {
      continue;
    }
    Unit unit;
    unit.file.reset(CreateFileW(detail->DevicePath, GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr));
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof(attributes);
    if (unit.file.valid() && HidD_GetAttributes(unit.file.get(), &attributes) &&
        attributes.VendorID == build_facts::kVendorId && ReadLengths(unit.file.get(), unit)) {
      found = std::move(unit);
    }
  }
  SetupDiDestroyDeviceInfoList(interfaces);
  return found;
}

class FloorClient {
 public:
  explicit FloorClient(Unit& unit) : unit_(unit) {}

  // Writes the request, waits `waitBeforeReadMs`, reads the reply; the reply, or empty when the
  // write or the read failed.
  std::vector<std::uint8_t> Exchange(const UnitRequest& request, std::uint32_t waitBeforeReadMs) {
    std::vector<std::uint8_t> out(unit_.outputLength);
    EncodeRequest(request, out);
    DWORD moved = 0;
    if (!WriteFile(unit_.file.get(), out.data(), static_cast<DWORD>(out.size()), &moved, nullptr)) {
      return {};
    }
    if (waitBeforeReadMs != 0) {
      waiter_.Wait(waitBeforeReadMs);
    }
    std::vector<std::uint8_t> in(unit_.inputLength);
    in[0] = REPORT_ID_IN;
    if (!ReadFile(unit_.file.get(), in.data(), static_cast<DWORD>(in.size()), &moved, nullptr)) {
      return {};
    }
    return in;
  }

  void Wait(std::uint32_t ms) { waiter_.Wait(ms); }

 private:
  Unit& unit_;
  Win32Waiter waiter_;
};

bool Succeeded(const std::vector<std::uint8_t>& reply,
               ResultCode (*rule)(std::span<const std::uint8_t>)) {
  return !reply.empty() && rule(reply) == RESULT_OK;
}

// The update as the unit needs it: lock, flash opened, erase, address, the blocks, the closing
// pair, with the mandated waits between them.
bool Update(FloorClient& client, std::span<const std::uint8_t> image) {
  if (!Succeeded(client.Exchange(BuildSystemLockRequest(true), 0), ApplyLockRule)) {
    return false;
  }
  client.Wait(20);
  if (!Succeeded(client.Exchange(BuildEscWriteProtectRequest(false), 0),
                 ApplyProtectionReleaseRule)) {
    return false;
  }
  client.Wait(20);
  const bool erased = Succeeded(client.Exchange(BuildEraseRequest(), 1000), ApplyStatusRule);
  client.Wait(4000);
  if (!erased) {
    return false;
  }
  client.Wait(20);
  if (!Succeeded(client.Exchange(BuildSetAddressRequest(), 0), ApplyStatusRule)) {
    return false;
  }
  for (std::size_t offset = 0; offset < image.size(); offset += kBlockBytes) {
    // A shorter tail is padded to whole words, as the program sends it.
    std::vector<std::uint8_t> block(
        image.begin() + static_cast<std::ptrdiff_t>(offset),
        image.begin() + static_cast<std::ptrdiff_t>(std::min(image.size(), offset + kBlockBytes)));
    const std::size_t words = (block.size() + 3) / 4;
    block.resize(words * 4, 0);
    UnitRequest request;
    client.Wait(20);
    if (BuildWriteBlockRequest(block, words, request) != RESULT_OK ||
        !Succeeded(client.Exchange(request, 0), ApplyStatusRule)) {
      return false;
    }
  }
  client.Wait(20);
  client.Exchange(BuildEscWriteProtectRequest(true), 0);
  client.Exchange(BuildSystemLockRequest(false), 0);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: floor_client.exe IMAGE\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  const std::vector<std::uint8_t> image((std::istreambuf_iterator<char>(file)),
                                        std::istreambuf_iterator<char>());
  if (image.empty()) {
    std::fprintf(stderr, "floor_client: no image\n");
    return 2;
  }
  std::optional<Unit> unit = FindUnit();
  if (!unit) {
    std::fprintf(stderr, "floor_client: no unit\n");
    return 2;
  }
  FloorClient client(*unit);
  LARGE_INTEGER frequency{}, start{}, end{};
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const bool updated = Update(client, image);
  QueryPerformanceCounter(&end);
  std::printf(
      "floor: %s in %.3f s\n", updated ? "whole update" : "failed update",
      static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
  return updated ? 0 : 1;
}
