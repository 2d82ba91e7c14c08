#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "protocol/hid_transport.h"
#include "protocol/result_code.h"
#include "protocol/unit_claim.h"

// A transport that claims each unit it opens before anything is sent to it, and gives the claim
// up when the unit is closed. A unit another program holds is closed again at once and reported
// as RESULT_BUSY, so a link opened through this transport never identifies a busy unit.
class ClaimingTransport final : public HidTransport {
 public:
  ClaimingTransport(HidTransport& inner, UnitClaims& claims) : inner_(inner), claims_(claims) {}

  ResultCode FindAndOpen(OpenedDevice& out) override;
  // Claims `device`, opened by the inner transport: RESULT_OK and the claim held until
  // CloseDevice; RESULT_BUSY, or RESULT_NO_DEVICE with the OS error when no claim could be tried,
  // with the device closed again.
  RequestResult Claim(const OpenedDevice& device);

  bool GetReportLengths(DeviceHandle handle, ReportLengths& out) override {
    return inner_.GetReportLengths(handle, out);
  }
  IoResult WriteReport(DeviceHandle handle, std::span<const std::uint8_t> report) override {
    return inner_.WriteReport(handle, report);
  }
  IoResult ReadReport(DeviceHandle handle, std::span<std::uint8_t> buffer) override {
    return inner_.ReadReport(handle, buffer);
  }
  ListenResult Listen(DeviceHandle handle, std::span<std::uint8_t> buffer,
                      std::uint32_t timeoutMs) override {
    return inner_.Listen(handle, buffer, timeoutMs);
  }
  void CloseDevice(DeviceHandle handle) override;

 private:
  HidTransport& inner_;
  UnitClaims& claims_;
  std::vector<std::pair<DeviceHandle, std::unique_ptr<UnitClaim>>> held_;
};
