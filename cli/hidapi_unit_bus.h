#pragma once

#include <string>
#include <vector>

#include "cli/unit_bus.h"
#include "platform/hidapi/hidapi_transport.h"

// The command line's view of the hidapi transport.
class HidapiUnitBus final : public UnitBus {
 public:
  explicit HidapiUnitBus(HidapiTransport& transport) : transport_(transport) {}

  std::vector<UnitListing> ListUnits() override { return transport_.ListUnits(); }
  ResultCode OpenPath(const std::string& path, OpenedDevice& out) override {
    return transport_.OpenPath(path, out);
  }
  std::vector<std::string> DeniedPaths() const override {
    std::vector<std::string> denied;
    for (const OpenFailure& failure : transport_.openFailures()) {
      if (failure.permissionDenied()) {
        denied.push_back(failure.path);
      }
    }
    return denied;
  }

 private:
  HidapiTransport& transport_;
};
