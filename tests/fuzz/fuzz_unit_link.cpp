// The identify sequence and every request operation against arbitrary replies, arbitrary report
// lengths and arbitrary transfer failures.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <vector>

#include "protocol/unit_link.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/fuzz_transport.h"
#include "tests/fuzz/no_wait_os.h"

namespace {

bool IsReset(const UnitLink& link) {
  const UnitLink reset;
  return link.handle == INVALID_DEVICE_HANDLE && !link.devicePath && link.outputReportLength == 0 &&
         link.inputReportLength == 0 && link.unitMode == 0 && link.unitVersion == 0 &&
         link.unitVersionAux == 0 && link.escState == 0 && link.escStateAux == 0 &&
         link.escInfo == reset.escInfo && link.escBootInfo == reset.escBootInfo &&
         link.productId == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  FuzzTransport transport(input);
  NoWaitOs os;
  BindOsServices(&os);
  UnitLink link;
  link.BindTransport(&transport);

  ResultCode result = link.Open();
  FUZZ_CHECK(result != 0 || link.IsOpen());
  for (int step = 0; step < 64 && input.remaining_bytes() > 0; ++step) {
    const std::uint32_t writesBefore = transport.writes;
    switch (input.ConsumeIntegralInRange<int>(0, 8)) {
      case 0:
        result = link.Query();
        break;
      case 1:
        result = link.SetSystemLock(input.ConsumeBool());
        break;
      case 2:
        result = link.SetEscWriteProtection(input.ConsumeBool());
        break;
      case 3:
        result = link.Erase();
        break;
      case 4:
        result = link.SetAddress();
        break;
      case 5: {
        const auto block =
            input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 64));
        const auto words = input.ConsumeIntegralInRange<std::size_t>(0, 20);
        result = link.WriteBlock(block, words);
        if (words > 14 || block.size() < 4 * words) {
          FUZZ_CHECK(result == RESULT_NO_DEVICE && transport.writes == writesBefore);
        }
        break;
      }
      case 6:
        link.Close();
        FUZZ_CHECK(IsReset(link) && transport.openHandles == 0);
        break;
      case 7:
        result = link.Open();
        break;
      default:
        result = link.Query();
        // A unit whose reports cannot carry the protocol is never sent anything.
        if (link.IsOpen() && (link.inputReportLength < 44 || link.outputReportLength < 60)) {
          FUZZ_CHECK(transport.writes == writesBefore);
        }
        break;
    }
    if (!link.IsOpen()) {
      FUZZ_CHECK(transport.writes == writesBefore);
    }
  }
  (void)result;
  link.Close();
  FUZZ_CHECK(IsReset(link) && transport.openHandles == 0);
  BindOsServices(nullptr);
  return 0;
}
