// The simulated programming unit compiled to wasm, for the fake navigator.hid of the browser
// tests (fake_hid_worker.js): the same model and the same expected request bytes as the host,
// Wine and command-line suites, so the page is judged by the same rules.
#include <emscripten.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sim/simulated_unit.h"
#include "tests/support/expected_requests.h"
#include "update/compiled_in_image.h"

namespace {

std::vector<std::unique_ptr<sim::SimulatedUnit>> units;
std::string verdict;

sim::SimulatedUnit* UnitAt(int id) {
  return id >= 0 && static_cast<std::size_t>(id) < units.size() ? units[id].get() : nullptr;
}

std::string Judge(const sim::SimulatedUnit& unit, int updateRequests) {
  const std::span<const std::uint8_t> image = CarriedImage();
  std::vector<expected::RequestPattern> patterns = expected::ReadyIdentification();
  const std::size_t count =
      updateRequests < 0 ? SIZE_MAX : static_cast<std::size_t>(updateRequests);
  for (auto& pattern : expected::UpdateRequests(image, count)) {
    patterns.push_back(std::move(pattern));
  }
  const auto& requests = unit.requests();
  if (requests.size() != patterns.size()) {
    return "the unit took " + std::to_string(requests.size()) + " requests, expected " +
           std::to_string(patterns.size());
  }
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    const std::string mismatch = expected::Mismatch(patterns[i], requests[i].bytes);
    if (!mismatch.empty()) {
      return "request " + std::to_string(i) + ": " + mismatch;
    }
  }
  if (updateRequests < 0 && unit.flash() != expected::FlashAfterUpdate(image)) {
    return "the ESC flash does not hold the carried image";
  }
  return {};
}

}  // namespace

extern "C" {

// A unit with a ready ESC unless told otherwise; returns its number.
EMSCRIPTEN_KEEPALIVE int sim_create(int unitMode, int escState, int escFirmwareVersion,
                                    std::uint32_t escTypeId) {
  sim::UnitConfig config;
  config.unitMode = static_cast<std::uint8_t>(unitMode);
  config.escState = static_cast<std::uint16_t>(escState);
  config.escFirmwareVersion = static_cast<std::uint16_t>(escFirmwareVersion);
  config.escTypeId = escTypeId;
  units.push_back(std::make_unique<sim::SimulatedUnit>(config));
  return static_cast<int>(units.size()) - 1;
}

// `kind` in the order of sim::FaultKind.
EMSCRIPTEN_KEEPALIVE void sim_add_fault(int id, int command, int occurrence, int kind,
                                        std::uint32_t code, int flag) {
  if (sim::SimulatedUnit* unit = UnitAt(id)) {
    sim::Fault fault;
    fault.command = static_cast<std::uint8_t>(command);
    fault.occurrence = static_cast<std::uint32_t>(occurrence);
    fault.kind = static_cast<sim::FaultKind>(kind);
    fault.code = code;
    fault.flag = static_cast<std::uint8_t>(flag);
    unit->AddFault(fault);
  }
}

EMSCRIPTEN_KEEPALIVE int sim_write(int id, const std::uint8_t* report, int length, double nowMs) {
  sim::SimulatedUnit* unit = UnitAt(id);
  return unit != nullptr && unit->Write({report, static_cast<std::size_t>(length)},
                                        static_cast<std::uint64_t>(nowMs))
             ? 1
             : 0;
}

// 0: a reply in `buffer` (report ID at byte 0), 1: the read fails, 2: no reply ever comes.
EMSCRIPTEN_KEEPALIVE int sim_read(int id, std::uint8_t* buffer, int length, double nowMs) {
  sim::SimulatedUnit* unit = UnitAt(id);
  if (unit == nullptr) {
    return 2;
  }
  switch (
      unit->Read({buffer, static_cast<std::size_t>(length)}, static_cast<std::uint64_t>(nowMs))) {
    case sim::SimulatedUnit::ReadOutcome::Reply:
      return 0;
    case sim::SimulatedUnit::ReadOutcome::Failed:
      return 1;
    default:
      return 2;
  }
}

EMSCRIPTEN_KEEPALIVE int sim_vanished(int id) {
  const sim::SimulatedUnit* unit = UnitAt(id);
  return unit != nullptr && unit->vanished() ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int sim_request_count(int id) {
  const sim::SimulatedUnit* unit = UnitAt(id);
  return unit == nullptr ? 0 : static_cast<int>(unit->requests().size());
}

// The request's first byte of command (byte 1), or -1.
EMSCRIPTEN_KEEPALIVE int sim_request_command(int id, int index) {
  const sim::SimulatedUnit* unit = UnitAt(id);
  if (unit == nullptr || index < 0 || static_cast<std::size_t>(index) >= unit->requests().size() ||
      unit->requests()[index].bytes.size() < 2) {
    return -1;
  }
  return unit->requests()[index].bytes[1];
}

// "" when the unit took the identification of a ready unit and then the first `updateRequests`
// requests of an update of the carried image (all of them, and the flash holding the image,
// for -1), else what differs.
EMSCRIPTEN_KEEPALIVE const char* sim_judge(int id, int updateRequests) {
  const sim::SimulatedUnit* unit = UnitAt(id);
  verdict = unit == nullptr ? "no such unit" : Judge(*unit, updateRequests);
  return verdict.c_str();
}

}  // extern "C"
