#include "protocol/claiming_transport.h"

#include <algorithm>

ResultCode ClaimingTransport::FindAndOpen(OpenedDevice& out) {
  OpenedDevice opened;
  const ResultCode found = inner_.FindAndOpen(opened);
  if (found != RESULT_OK) {
    return found;
  }
  const RequestResult claimed = Claim(opened);
  if (!claimed.ok()) {
    return claimed.code;
  }
  out = std::move(opened);
  return RESULT_OK;
}

RequestResult ClaimingTransport::Claim(const OpenedDevice& device) {
  ClaimResult result = claims_.Claim(device.path);
  if (result.outcome != ClaimOutcome::Claimed || result.claim == nullptr) {
    inner_.CloseDevice(device.handle);
    if (result.outcome == ClaimOutcome::Busy) {
      return {RESULT_BUSY};
    }
    return {RESULT_NO_DEVICE, result.osError};
  }
  held_.emplace_back(device.handle, std::move(result.claim));
  return {};
}

void ClaimingTransport::CloseDevice(DeviceHandle handle) {
  inner_.CloseDevice(handle);
  // Given up only once the device is closed, so no other program meets it still open here.
  std::erase_if(held_, [&](const auto& held) { return held.first == handle; });
}
