// A small program on the real hidapi transport and the unit link, linked against the system's
// libhidapi-hidraw.so.0 like the product. The tests run it with the stand-in library first on
// LD_LIBRARY_PATH and read what it prints, one line per step:
//
//   hidapi_probe [--sysfs-root DIR] [--device PATH] STEP...
//   version        version <hid_version_str()>
//   list           unit path=<path> pid=<id> per unit, then units count=<n>
//   open           open result=<code> errno=<OS error of the failed transfer, else 0> path=...
//   pid=... in=... out=... state=...
//                  unit=... fw=... type=... boot=...; then failure path=... errno=... denied=0|1
//   open-path=P    the same for HidapiTransport::OpenPath(P) (closed again at once)
//   flash          lock, open the flash, erase, set the address, write one 14-word block
//   lock           lock set alone
//   wait           prints "waiting", then reads one line of standard input
//   close          closes the link
#include <hidapi.h>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/hidapi/hidapi_transport.h"
#include "platform/posix/monotonic_waiter.h"
#include "protocol/unit_link.h"
#include "tests/hidapi_standin/probe/probe_block.h"

namespace {

void PrintFailures(const HidapiTransport& transport) {
  for (const OpenFailure& failure : transport.openFailures()) {
    std::printf("failure path=%s errno=%d denied=%d\n", failure.path.c_str(), failure.error,
                failure.permissionDenied() ? 1 : 0);
  }
}

void PrintOpen(const UnitLink& link, RequestResult result) {
  std::printf(
      "open result=%d errno=%u path=%s pid=%u in=%u out=%u state=%u unit=0x%08X fw=0x%04X "
      "type=0x%08X boot=0x%08X\n",
      result.code, result.osError, link.devicePath().empty() ? "-" : link.devicePath().c_str(),
      link.identity().productId(), link.reportLengths().input, link.reportLengths().output,
      link.identity().escState(), link.identity().unitVersion(),
      link.identity().escFirmwareVersion(), link.identity().escTypeId(),
      link.identity().escBootloaderVersion());
}

}  // namespace

int main(int argc, char** argv) {
  HidapiOptions options;
  std::optional<std::string> device;
  int first = 1;
  for (; first + 1 < argc; first += 2) {
    const std::string flag = argv[first];
    if (flag == "--sysfs-root") {
      options.sysfsRoot = argv[first + 1];
    } else if (flag == "--device") {
      device = argv[first + 1];
    } else {
      break;
    }
  }

  MonotonicWaiter waiter;
  HidapiTransport transport(options);
  UnitLink link(transport, waiter);
  // With --device, open takes that unit only, as pelora-update --device does.
  const auto open = [&]() -> RequestResult {
    if (!device) {
      return link.Open();
    }
    link.Close();
    OpenedDevice opened;
    const ResultCode found = transport.OpenPath(*device, opened);
    return found == RESULT_OK ? link.Open(std::move(opened)) : RequestResult{found};
  };

  for (int i = first; i < argc; ++i) {
    const std::string step = argv[i];
    if (step == "version") {
      std::printf("version %s\n", hid_version_str());
    } else if (step == "list") {
      const std::vector<UnitListing> units = transport.ListUnits();
      for (const UnitListing& unit : units) {
        std::printf("unit path=%s pid=%u\n", unit.path.c_str(), unit.productId);
      }
      std::printf("units count=%zu\n", units.size());
    } else if (step == "open") {
      PrintOpen(link, open());
      PrintFailures(transport);
    } else if (step.rfind("open-path=", 0) == 0) {
      OpenedDevice opened;
      const ResultCode result = transport.OpenPath(step.substr(10), opened);
      std::printf("open-path result=%d path=%s pid=%u\n", result, opened.path.c_str(),
                  opened.productId);
      PrintFailures(transport);
      if (result == RESULT_OK) {
        transport.CloseDevice(opened.handle);
      }
    } else if (step == "flash") {
      const RequestResult lock = link.SetSystemLock(true);
      const RequestResult unprotect = link.SetEscWriteProtection(false);
      const RequestResult erase = link.Erase();
      const RequestResult address = link.SetAddress();
      constexpr std::array<std::uint8_t, 56> data = ProbeBlock();
      const RequestResult block = link.WriteBlock(data, data.size() / 4);
      std::printf("flash lock=%d unprotect=%d erase=%d address=%d block=%d errno=%u\n", lock.code,
                  unprotect.code, erase.code, address.code, block.code, block.osError);
    } else if (step == "lock") {
      const RequestResult result = link.SetSystemLock(true);
      std::printf("lock result=%d errno=%u\n", result.code, result.osError);
    } else if (step == "wait") {
      std::printf("waiting\n");
      std::fflush(stdout);
      std::string line;
      std::getline(std::cin, line);
    } else if (step == "close") {
      link.Close();
    } else {
      std::fprintf(stderr, "unknown step %s\n", step.c_str());
      return 2;
    }
    std::fflush(stdout);
  }
  link.Close();
  return 0;
}
