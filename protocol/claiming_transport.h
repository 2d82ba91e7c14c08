#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "protocol/hid_transport.h"
#include "protocol/result_code.h"
#include "protocol/unit_claim.h"

// A transport that claims each unit it opens before anything is sent to it, and gives the claim
// up when the unit is closed. A unit another program holds is closed again at once and reported
// as RESULT_BUSY, one whose claim failed otherwise as RESULT_CLAIM_FAILED with the OS error, so a
// link opened through this transport never identifies a unit it has not claimed.
class ClaimingTransport final : public HidTransport {
 public:
  // Opens a unit on the inner transport (the first one, or one named by a front end).
  using Opener = std::function<RequestResult(OpenedDevice& out)>;

  ClaimingTransport(HidTransport& inner, UnitClaims& claims) : inner_(inner), claims_(claims) {}

  RequestResult FindAndOpen(OpenedDevice& out) override;
  // The unit `open` opens on the inner transport, claimed: RESULT_OK and `out` filled, the claim
  // held until CloseDevice; `open`'s own failure; or RESULT_BUSY or RESULT_CLAIM_FAILED with the
  // device closed again.
  RequestResult OpenClaimed(const Opener& open, OpenedDevice& out);

  IoResult GetReportLengths(DeviceHandle handle, ReportLengths& out) override {
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
  RequestResult Claim(const OpenedDevice& device);

  HidTransport& inner_;
  UnitClaims& claims_;
  std::vector<std::pair<DeviceHandle, std::unique_ptr<UnitClaim>>> held_;
};
