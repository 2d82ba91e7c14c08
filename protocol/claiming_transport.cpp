#include "protocol/claiming_transport.h"

#include <algorithm>

RequestResult ClaimingTransport::FindAndOpen(OpenedDevice& out) {
  return OpenClaimed([this](OpenedDevice& opened) { return inner_.FindAndOpen(opened); }, out);
}

RequestResult ClaimingTransport::OpenClaimed(const Opener& open, OpenedDevice& out) {
  OpenedDevice opened;
  const RequestResult found = open(opened);
  if (!found.ok()) {
    return found;
  }
  const RequestResult claimed = Claim(opened);
  if (!claimed.ok()) {
    return claimed;
  }
  out = std::move(opened);
  return {};
}

RequestResult ClaimingTransport::Claim(const OpenedDevice& device) {
  ClaimResult result = claims_.Claim(device.path);
  if (result.outcome != ClaimOutcome::Claimed || result.claim == nullptr) {
    inner_.CloseDevice(device.handle);
    if (result.outcome == ClaimOutcome::Busy) {
      return {RESULT_BUSY};
    }
    return {RESULT_CLAIM_FAILED, result.osError};
  }
  held_.emplace_back(device.handle, std::move(result.claim));
  return {};
}

void ClaimingTransport::CloseDevice(DeviceHandle handle) {
  inner_.CloseDevice(handle);
  // Given up only once the device is closed, so no other program meets it still open here.
  std::erase_if(held_, [&](const auto& held) { return held.first == handle; });
}
