#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "protocol/hid_transport.h"

// Replays a fixed list of exchanges and records what the link did around each. Used only where a
// test needs a reply or a fault the simulated unit does not produce.
class ScriptedTransport : public HidTransport {
 public:
  struct Step {
    bool writeSucceeds = true;
    bool readSucceeds = true;
    std::vector<std::uint8_t> reply;  // copied to the start of the read buffer
  };
  struct ReadSeen {
    std::size_t size = 0;
    std::uint8_t firstByte = 0;  // byte 0 of the buffer as the read began
  };

  std::vector<Step> steps;
  ReportLengths lengths{65, 65};
  std::vector<std::vector<std::uint8_t>> writes;
  std::vector<ReadSeen> reads;

  RequestResult FindAndOpen(OpenedDevice& out) override {
    out.handle = 0x42;
    out.path = "/dev/hidraw-scripted";
    out.productId = 2;
    return {};
  }
  IoResult GetReportLengths(DeviceHandle, ReportLengths& out) override {
    out = lengths;
    return IoResult::Success();
  }
  IoResult WriteReport(DeviceHandle, std::span<const std::uint8_t> report) override {
    writes.emplace_back(report.begin(), report.end());
    if (next_ >= steps.size()) {
      return IoResult::Failure(kFailedTransfer);
    }
    if (!steps[next_].writeSucceeds) {
      ++next_;
      return IoResult::Failure(kFailedTransfer);
    }
    return IoResult::Success();
  }
  IoResult ReadReport(DeviceHandle, std::span<std::uint8_t> buffer) override {
    reads.push_back({buffer.size(), buffer.empty() ? std::uint8_t{0} : buffer[0]});
    if (next_ >= steps.size()) {
      return IoResult::Failure(kFailedTransfer);
    }
    const Step& step = steps[next_++];
    if (!step.readSucceeds) {
      return IoResult::Failure(kFailedTransfer);
    }
    std::copy_n(step.reply.begin(), std::min(step.reply.size(), buffer.size()), buffer.begin());
    return IoResult::Success();
  }

  // Nothing but the script's replies ever comes, unless a test says otherwise.
  ListenResult listenResult = ListenResult::Quiet();
  ListenResult Listen(DeviceHandle, std::span<std::uint8_t>, std::uint32_t) override {
    return listenResult;
  }

  // The OS error every failed transfer of the script carries.
  static constexpr std::uint32_t kFailedTransfer = 31;
  void CloseDevice(DeviceHandle) override {}

 private:
  std::size_t next_ = 0;
};
