#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <span>

#include "protocol/hid_transport.h"
#include "tests/fuzz/fuzz_check.h"

// Fuzz targets build for the host only, where device paths are byte strings.
inline const DevicePath FUZZ_DEVICE_PATH = "/dev/hidraw-fuzz";

// A transport whose every answer comes from the fuzz input: whether a unit is found, its report
// lengths (0 to 65,535), whether each write and read succeeds, and the reply bytes.
class FuzzTransport : public HidTransport {
 public:
  // `maxReportLength` bounds the stated report lengths (the link target uses the full 16-bit range;
  // the update target keeps them short so that its runs reach the transfer more often).
  explicit FuzzTransport(FuzzedDataProvider& input, std::uint16_t maxReportLength = 0xFFFF)
      : input_(input), maxReportLength_(maxReportLength) {}

  RequestResult FindAndOpen(OpenedDevice& out) override {
    switch (input_.ConsumeIntegralInRange<int>(0, 3)) {
      case 0:
        return {RESULT_NO_DEVICE};
      case 1:
        return {RESULT_NOT_FOUND};
      default:
        // Open() must close the previous handle before it opens again.
        FUZZ_CHECK(openHandles == 0);
        out.handle = 0x1234;
        out.path = FUZZ_DEVICE_PATH;
        out.productId = input_.ConsumeIntegral<std::uint16_t>();
        ++openHandles;
        return {};
    }
  }

  IoResult GetReportLengths(DeviceHandle, ReportLengths& out) override {
    if (!input_.ConsumeBool()) {
      return IoResult::Failure(input_.ConsumeIntegral<std::uint32_t>());
    }
    out.input = input_.ConsumeIntegralInRange<std::uint16_t>(0, maxReportLength_);
    out.output = input_.ConsumeIntegralInRange<std::uint16_t>(0, maxReportLength_);
    return IoResult::Success();
  }

  IoResult WriteReport(DeviceHandle, std::span<const std::uint8_t> report) override {
    // Touch every byte so the sanitizers see a read past the request buffer.
    for (std::uint8_t byte : report) {
      checksum += byte;
    }
    ++writes;
    return Outcome();
  }

  IoResult ReadReport(DeviceHandle, std::span<std::uint8_t> buffer) override {
    const IoResult outcome = Outcome();
    if (!outcome.ok) {
      return outcome;
    }
    // The reply is the next bytes of the input; the rest of the report stays as the reader left
    // it, like a device that delivers a shorter report.
    const std::size_t length =
        input_.ConsumeIntegralInRange<std::size_t>(0, std::min<std::size_t>(buffer.size(), 64));
    const auto bytes = input_.ConsumeBytes<std::uint8_t>(length);
    std::copy(bytes.begin(), bytes.end(), buffer.begin());
    return IoResult::Success();
  }

  // Nobody else talks to the fuzzed unit: its replies come only when read.
  ListenResult Listen(DeviceHandle, std::span<std::uint8_t>, std::uint32_t) override {
    return ListenResult::Quiet();
  }

  void CloseDevice(DeviceHandle handle) override {
    FUZZ_CHECK(handle == 0x1234 && openHandles == 1);
    --openHandles;
  }

  int openHandles = 0;
  std::uint32_t checksum = 0;
  std::uint32_t writes = 0;

 private:
  // One transfer in 16 fails, with an arbitrary OS error.
  IoResult Outcome() {
    if (input_.ConsumeIntegralInRange<int>(0, 15) != 0) {
      return IoResult::Success();
    }
    return IoResult::Failure(input_.ConsumeIntegral<std::uint32_t>());
  }

  FuzzedDataProvider& input_;
  std::uint16_t maxReportLength_;
};
