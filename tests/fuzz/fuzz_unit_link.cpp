// The identify sequence and every request operation against arbitrary replies, arbitrary report
// lengths and arbitrary transfer failures.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <vector>

#include "protocol/unit_link.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/fuzz_transport.h"
#include "tests/support/fake_clock.h"

namespace {

bool IsReset(const UnitLink& link) {
  return !link.IsOpen() && link.devicePath().empty() && link.reportLengths().input == 0 &&
         link.reportLengths().output == 0 && link.identity() == UnitIdentity();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  FuzzTransport transport(input);
  NoWaitClock clock;
  UnitLink link(transport, clock);

  RequestResult result = link.Open();
  FUZZ_CHECK(result.code != 0 || link.IsOpen());
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
          FUZZ_CHECK(result.code == RESULT_NO_DEVICE && transport.writes == writesBefore);
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
        if (link.IsOpen() &&
            (link.reportLengths().input < 44 || link.reportLengths().output < 60)) {
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
  return 0;
}
