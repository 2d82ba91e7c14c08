// The conversion of WM_DEVICECHANGE parameters into a DeviceBroadcast from arbitrary broadcast
// bytes and stated sizes. The broadcast sits in an allocation of exactly its length so that a read
// past it is a sanitizer report.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/win32/device_broadcast.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  std::uint64_t code = 0;
  switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      code = DBT_CODE_DEVICE_ARRIVAL;
      break;
    case 1:
      code = DBT_CODE_DEVICE_REMOVE_COMPLETE;
      break;
    default:
      code = input.ConsumeIntegral<std::uint64_t>();
      break;
  }
  const std::vector<std::uint8_t> bytes = input.ConsumeRemainingBytes<std::uint8_t>();
  const auto broadcast = std::make_unique<std::uint8_t[]>(bytes.size());
  if (!bytes.empty()) {
    std::memcpy(broadcast.get(), bytes.data(), bytes.size());
  }

  const DeviceBroadcast event =
      ReadDeviceBroadcast(code, std::span<const std::uint8_t>(broadcast.get(), bytes.size()));

  FUZZ_CHECK(event.code == code);
  const bool arrivalOrRemoval =
      code == DBT_CODE_DEVICE_ARRIVAL || code == DBT_CODE_DEVICE_REMOVE_COMPLETE;
  FUZZ_CHECK((event.change() == DeviceChange::Other) == !arrivalOrRemoval);
  if (!arrivalOrRemoval) {
    FUZZ_CHECK(event.deviceType == 0 && event.interfacePath.empty());
  }
  if (!event.interfacePath.empty()) {
    FUZZ_CHECK(event.isDeviceInterface());
    FUZZ_CHECK(BROADCAST_INTERFACE_NAME_AT + 2 * event.interfacePath.size() <= bytes.size());
    FUZZ_CHECK(event.interfacePath.find(L'\0') == std::wstring::npos);
  }
  return 0;
}
