#include "sim/sim_transport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "protocol/unit_filter.h"

namespace sim {

SimTransport::SimTransport(Clock clock) : clock_(std::move(clock)) {}

int SimTransport::openHandles() const {
  return static_cast<int>(open_.size());
}

SimTransport::OpenEntry* SimTransport::Find(DeviceHandle handle) {
  const auto it = std::find_if(open_.begin(), open_.end(),
                               [&](const OpenEntry& entry) { return entry.handle == handle; });
  return it == open_.end() ? nullptr : &*it;
}

std::shared_ptr<SimulatedUnit> SimTransport::Plug(DevicePath path, const DevicePlan& plan) {
  const std::vector<std::string> unplayable = Unplayable(plan, Rig::Host);
  for (const std::string& what : unplayable) {
    std::fprintf(stderr, "simulated bus: cannot play %s (device \"%s\")\n", what.c_str(),
                 plan.name.c_str());
  }
  if (!unplayable.empty()) {
    std::abort();
  }
  devices_.push_back({std::move(path), plan, MakeUnit(plan)});
  return devices_.back().unit;
}

void SimTransport::Unplug(const DevicePath& path) {
  std::erase_if(devices_, [&](const SimDevice& device) { return device.path == path; });
  for (OpenEntry& entry : open_) {
    if (entry.device.path == path) {
      entry.unplugged = true;
    }
  }
}

// The bus in list order, as the product's enumeration meets it.
class SimTransport::Walk final : public HidInterfaceWalk {
 public:
  explicit Walk(SimTransport& bus) : bus_(bus) {}

  bool Next() override {
    while (++index_ < bus_.devices_.size()) {
      const SimDevice& device = bus_.devices_[index_];
      if (device.unit == nullptr || !device.unit->vanished()) {
        return true;
      }
    }
    return false;
  }
  bool OpenCurrent() override {
    const DevicePlan& device = bus_.devices_[index_].plan;
    if (device.accessDenied || device.busy) {
      return false;
    }
    bus_.opened.push_back(bus_.devices_[index_].path);
    return true;
  }
  std::optional<UsbIds> ReadIds() override {
    const DevicePlan& device = bus_.devices_[index_].plan;
    if (!device.attributesReadable) {
      return std::nullopt;
    }
    return UsbIds{device.vendorId, device.productId};
  }
  void CloseCurrent() override {}
  OpenedDevice TakeCurrent(std::uint16_t productId) override {
    const DeviceHandle handle = bus_.nextHandle_++;
    bus_.open_.push_back({handle, bus_.devices_[index_], false});
    return {handle, bus_.devices_[index_].path, productId};
  }

 private:
  SimTransport& bus_;
  std::size_t index_ = static_cast<std::size_t>(-1);
};

RequestResult SimTransport::FindAndOpen(OpenedDevice& out) {
  if (enumerationFails) {
    return {RESULT_NO_DEVICE};
  }
  Walk walk(*this);
  return {FindFirstUnit(walk, out)};
}

ResultCode SimTransport::OpenPath(const DevicePath& path, OpenedDevice& out, bool& accessDenied) {
  accessDenied = false;
  for (const SimDevice& device : devices_) {
    if (device.path != path || (device.unit != nullptr && device.unit->vanished())) {
      continue;
    }
    const DevicePlan& plan = device.plan;
    if (plan.accessDenied) {
      accessDenied = true;
      return RESULT_NOT_FOUND;
    }
    if (plan.busy || !plan.attributesReadable ||
        !IsProgrammingUnit({plan.vendorId, plan.productId})) {
      return RESULT_NOT_FOUND;
    }
    opened.push_back(device.path);
    const DeviceHandle handle = nextHandle_++;
    open_.push_back({handle, device, false});
    out = {handle, device.path, plan.productId};
    return RESULT_OK;
  }
  return RESULT_NOT_FOUND;
}

IoResult SimTransport::GetReportLengths(DeviceHandle handle, ReportLengths& out) {
  const OpenEntry* entry = Find(handle);
  if (entry == nullptr) {
    return IoResult::Failure(SIM_ERROR_INVALID_HANDLE);
  }
  if (entry->unplugged || (entry->device.unit != nullptr && entry->device.unit->vanished())) {
    return IoResult::Failure(SIM_ERROR_DEVICE_NOT_CONNECTED);
  }
  if (!entry->device.plan.capsReadable) {
    return IoResult::Failure(SIM_ERROR_GEN_FAILURE);
  }
  out.input = entry->device.plan.inputReportLength;
  out.output = entry->device.plan.outputReportLength;
  return IoResult::Success();
}

IoResult SimTransport::WriteReport(DeviceHandle handle, std::span<const std::uint8_t> report) {
  OpenEntry* entry = Find(handle);
  if (entry == nullptr) {
    return IoResult::Failure(SIM_ERROR_INVALID_HANDLE);
  }
  if (entry->unplugged || (entry->device.unit != nullptr && entry->device.unit->vanished())) {
    return IoResult::Failure(SIM_ERROR_DEVICE_NOT_CONNECTED);
  }
  // The HID stack takes output reports of exactly the capability length only.
  if (report.size() != entry->device.plan.outputReportLength) {
    return IoResult::Failure(SIM_ERROR_INVALID_PARAMETER);
  }
  if (entry->device.unit == nullptr) {
    return IoResult::Success();  // some other device: it takes the report and never answers
  }
  if (!entry->device.unit->Write(report, clock_ ? clock_() : 0)) {
    if (entry->device.unit->vanished()) {
      entry->unplugged = true;
      return IoResult::Failure(SIM_ERROR_DEVICE_NOT_CONNECTED);
    }
    return IoResult::Failure(SIM_ERROR_GEN_FAILURE);
  }
  return IoResult::Success();
}

IoResult SimTransport::ReadReport(DeviceHandle handle, std::span<std::uint8_t> buffer) {
  OpenEntry* entry = Find(handle);
  if (entry == nullptr) {
    return IoResult::Failure(SIM_ERROR_INVALID_HANDLE);
  }
  if (entry->unplugged || (entry->device.unit != nullptr && entry->device.unit->vanished())) {
    return IoResult::Failure(SIM_ERROR_DEVICE_NOT_CONNECTED);
  }
  if (buffer.size() != entry->device.plan.inputReportLength) {
    return IoResult::Failure(SIM_ERROR_INVALID_PARAMETER);
  }
  if (entry->device.unit == nullptr) {
    return IoResult::Failure(SIM_ERROR_TIMEOUT);
  }
  switch (entry->device.unit->Read(buffer, clock_ ? clock_() : 0)) {
    case SimulatedUnit::ReadOutcome::Reply:
      return IoResult::Success();
    case SimulatedUnit::ReadOutcome::Failed:
      return IoResult::Failure(SIM_ERROR_GEN_FAILURE);
    case SimulatedUnit::ReadOutcome::Silent:
      // Stands for the product's read time-out of 10 s; the virtual clock is not advanced.
      return IoResult::Failure(SIM_ERROR_TIMEOUT);
  }
  return IoResult::Failure(SIM_ERROR_GEN_FAILURE);
}

ListenResult SimTransport::Listen(DeviceHandle handle, std::span<std::uint8_t> buffer,
                                  std::uint32_t) {
  OpenEntry* entry = Find(handle);
  if (entry == nullptr) {
    return ListenResult::Failure(SIM_ERROR_INVALID_HANDLE);
  }
  if (entry->unplugged || (entry->device.unit != nullptr && entry->device.unit->vanished())) {
    return ListenResult::Failure(SIM_ERROR_DEVICE_NOT_CONNECTED);
  }
  if (entry->device.unit != nullptr && entry->device.unit->TakeOtherTalkersReport(buffer)) {
    return ListenResult::Heard();
  }
  return ListenResult::Quiet();
}

void SimTransport::CloseDevice(DeviceHandle handle) {
  const auto it = std::find_if(open_.begin(), open_.end(),
                               [&](const OpenEntry& entry) { return entry.handle == handle; });
  if (it != open_.end()) {
    open_.erase(it);
  }
}

}  // namespace sim
