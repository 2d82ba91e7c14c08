#include "sim/uhid/fault_option.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace uhid_unit {
namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at - start));
    if (at == std::string::npos) {
      return parts;
    }
    start = at + 1;
  }
}

std::optional<unsigned long> Number(const std::string& text, unsigned long max) {
  if (text.empty()) {
    return std::nullopt;
  }
  char* end = nullptr;
  errno = 0;
  const unsigned long value = std::strtoul(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || value > max) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<sim::Fault> ParseFault(const std::string& text) {
  const std::vector<std::string> parts = Split(text, ':');
  if (parts.size() < 3 || parts.size() > 4) {
    return std::nullopt;
  }
  const auto command = Number(parts[0], 0xFF);
  const auto occurrence = Number(parts[1], 0xFFFFFFFF);
  if (!command || !occurrence) {
    return std::nullopt;
  }
  sim::Fault fault;
  fault.command = static_cast<std::uint8_t>(*command);
  fault.occurrence = static_cast<std::uint32_t>(*occurrence);
  const std::string& kind = parts[2];
  if (kind == "refuse" && parts.size() == 4) {
    const auto code = Number(parts[3], 0xFFFFFFFF);
    if (!code) {
      return std::nullopt;
    }
    fault.kind = sim::FaultKind::Refuse;
    fault.code = static_cast<std::uint32_t>(*code);
  } else if (kind == "failflag" && parts.size() == 3) {
    fault.kind = sim::FaultKind::FailFlag;
  } else if (kind == "writefail" && parts.size() == 3) {
    fault.kind = sim::FaultKind::WriteFailure;
  } else if (kind == "readfail" && parts.size() == 3) {
    fault.kind = sim::FaultKind::ReadFailure;
  } else if (kind == "silent" && parts.size() == 3) {
    fault.kind = sim::FaultKind::Silent;
  } else if (kind == "vanish" && parts.size() == 3) {
    fault.kind = sim::FaultKind::Vanish;
  } else {
    return std::nullopt;
  }
  return fault;
}

}  // namespace uhid_unit
