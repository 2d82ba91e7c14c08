#include "sim/simulated_unit.h"

#include <algorithm>
#include <utility>

#include "protocol/unit_report.h"

namespace sim {
namespace {

// The unit's command codes and constants, written out here rather than taken from the codec so
// that a wrong value on the product's side cannot agree with itself in the tests.
constexpr std::uint8_t REQUEST_REPORT_ID = 0x01;
constexpr std::uint8_t REPLY_REPORT_ID = 0x02;
constexpr std::uint8_t IDENTIFY = 0x08;
constexpr std::uint8_t READ_UNIT_MEMORY = 0x0A;
constexpr std::uint8_t SYSTEM_LOCK = 0x0B;
constexpr std::uint8_t WRITE_BLOCK = 0x1B;
constexpr std::uint8_t READ_ESC_INFO = 0x1D;
constexpr std::uint8_t ERASE = 0x1E;
constexpr std::uint8_t SET_ADDRESS = 0x1F;
constexpr std::uint8_t ESC_WRITE_PROTECT = 0x20;
constexpr std::uint8_t READ_ESC_BOOT_INFO = 0x22;
constexpr std::uint32_t KEY = 0x6B2E9D47;
constexpr std::uint32_t UNIT_MEMORY_AT = 0x0801FC00;
constexpr std::uint8_t UNIT_MEMORY_LENGTH = 12;
constexpr std::size_t MAX_BLOCK_BYTES = 56;

constexpr std::uint8_t STATUS_OK = 0x00;
constexpr std::uint8_t STATUS_REFUSED = 0xFF;

// Long enough for the longest reply (the bootloader block ends at byte 43).
constexpr std::size_t REPLY_BYTES = 64;
// Bytes a request must carry for the unit to read its header and both parameter words.
constexpr std::size_t HEADER_BYTES = 4;
constexpr std::size_t PARAMETER_BYTES = 12;

// Byte 2 of a reply is not interpreted by the product; the model puts the number of payload
// bytes that follow byte 3 there, as a length field would.
std::vector<std::uint8_t> Reply(std::uint8_t flag, std::uint8_t payloadLength) {
  std::vector<std::uint8_t> reply(REPLY_BYTES, 0);
  reply[0] = REPLY_REPORT_ID;
  reply[1] = STATUS_OK;
  reply[2] = payloadLength;
  reply[3] = flag;
  return reply;
}

// A refused reply: status 0xFF, the code in bytes 4..7, the outcome flag 0 (nothing happened).
std::vector<std::uint8_t> Refused(std::uint32_t code) {
  std::vector<std::uint8_t> reply = Reply(0x00, 4);
  reply[1] = STATUS_REFUSED;
  PutU32LE(reply, 4, code);
  return reply;
}

// Whether a request answered by an injected refusal or outcome flag was carried out. The unit
// does what its reply says, as the reply rules read that reply: a refusal with code 0 reports no
// error for the requests judged by their code (block, erase, address, opening the flash), and the
// outcome flag is an outcome only for setting the lock (0x01: locked) and opening the flash
// (0x00: open); to every other request the flag byte means nothing, so the request was done.
bool FaultedRequestDone(const Fault& fault, std::uint8_t command, std::uint8_t argument) {
  const bool lockSet = command == SYSTEM_LOCK && argument == 0x01;
  const bool flashOpen = command == ESC_WRITE_PROTECT && argument == 0x00;
  if (fault.kind == FaultKind::Refuse) {
    const bool judgedByCode =
        command == WRITE_BLOCK || command == ERASE || command == SET_ADDRESS || flashOpen;
    return judgedByCode && fault.code == 0;
  }
  if (lockSet) {
    return fault.flag == 0x01;
  }
  if (flashOpen) {
    return fault.flag == 0x00;
  }
  return true;
}

}  // namespace

SimulatedUnit::SimulatedUnit(UnitConfig config) : config_(std::move(config)) {}

void SimulatedUnit::AddFault(const Fault& fault) {
  faults_.push_back(fault);
}

const Fault* SimulatedUnit::FindFault(std::uint8_t command, std::uint32_t occurrence) const {
  for (const Fault& fault : faults_) {
    if (fault.command == command && (fault.occurrence == 0 || fault.occurrence == occurrence)) {
      return &fault;
    }
  }
  return nullptr;
}

std::array<std::uint8_t, 32> SimulatedUnit::EscInfoBlock() const {
  // The bytes the product does not read carry a fixed pattern, so that a block copied from the
  // wrong offset shows.
  std::array<std::uint8_t, 32> block{};
  for (std::size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<std::uint8_t>(0x40 + i);
  }
  PutU16LE(block, 4, config_.escFirmwareVersion);
  return block;
}

std::array<std::uint8_t, 40> SimulatedUnit::EscBootInfoBlock() const {
  std::array<std::uint8_t, 40> block{};
  for (std::size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<std::uint8_t>(0x80 + i);
  }
  PutU32LE(block, 0, config_.escTypeId);
  PutU32LE(block, 4, config_.escBootloaderVersion);
  return block;
}

bool SimulatedUnit::Write(std::span<const std::uint8_t> report, std::uint64_t nowMs) {
  if (vanished_) {
    return false;
  }
  replyPending_ = false;
  silent_ = false;
  readFailure_ = false;

  const std::uint8_t command = report.size() > 1 ? report[1] : 0;
  const std::uint32_t occurrence = ++commandCounts_[command];
  const Fault* fault = FindFault(command, occurrence);
  if (fault != nullptr && fault->kind == FaultKind::WriteFailure) {
    return false;
  }
  if (fault != nullptr && fault->kind == FaultKind::Vanish) {
    vanished_ = true;
    return false;
  }

  requests_.push_back({nowMs, std::vector<std::uint8_t>(report.begin(), report.end()), {}});

  if (fault != nullptr &&
      (fault->kind == FaultKind::Refuse || fault->kind == FaultKind::FailFlag)) {
    const std::uint8_t argument = report.size() > 3 ? report[3] : 0;
    if (FaultedRequestDone(*fault, command, argument)) {
      (void)Handle(report);
    }
    pendingReply_ = fault->kind == FaultKind::Refuse ? Refused(fault->code) : Reply(fault->flag, 0);
  } else {
    pendingReply_ = Handle(report);
  }
  replyPending_ = true;
  silent_ = fault != nullptr && fault->kind == FaultKind::Silent;
  readFailure_ = fault != nullptr && fault->kind == FaultKind::ReadFailure;
  return true;
}

void SimulatedUnit::StartOtherTalker(std::size_t fromRequest) {
  otherTalker_ = true;
  otherTalkerFrom_ = fromRequest;
  if (fromRequest == 0) {
    ++othersWaiting_;
  }
}

bool SimulatedUnit::TakeOtherTalkersReport(std::span<std::uint8_t> buffer) {
  if (othersWaiting_ == 0 || vanished_) {
    return false;
  }
  --othersWaiting_;
  std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
  // The other program's identification reply: a report like any of the unit's.
  const std::vector<std::uint8_t> reply = Reply(config_.unitMode, 12);
  std::copy_n(reply.begin(), std::min(buffer.size(), reply.size()), buffer.begin());
  return true;
}

SimulatedUnit::ReadOutcome SimulatedUnit::Read(std::span<std::uint8_t> buffer) {
  if (!replyPending_ || silent_ || vanished_) {
    // A HID read blocks until a report comes; with no request outstanding none ever does.
    return ReadOutcome::Silent;
  }
  replyPending_ = false;
  if (otherTalker_ && requests_.size() >= otherTalkerFrom_) {
    ++othersWaiting_;
  }
  if (readFailure_) {
    return ReadOutcome::Failed;
  }
  std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
  const std::size_t n = std::min(buffer.size(), pendingReply_.size());
  std::copy_n(pendingReply_.begin(), n, buffer.begin());
  return ReadOutcome::Reply;
}

SimulatedUnit::ReadOutcome SimulatedUnit::Read(std::span<std::uint8_t> buffer,
                                               std::uint64_t nowMs) {
  const ReadOutcome outcome = Read(buffer);
  if (outcome == ReadOutcome::Reply && !requests_.empty()) {
    requests_.back().replyTimeMs = nowMs;
  }
  return outcome;
}

std::vector<std::uint8_t> SimulatedUnit::Handle(std::span<const std::uint8_t> report) {
  if (report.size() < HEADER_BYTES || report[0] != REQUEST_REPORT_ID) {
    return Refused(UNIT_ERROR_BAD_REQUEST);
  }
  const std::uint8_t command = report[1];
  const std::uint8_t length = report[2];
  const std::uint8_t argument = report[3];
  const bool hasParameters = report.size() >= PARAMETER_BYTES;

  switch (command) {
    case IDENTIFY: {
      if (length != 0x00) {
        return Refused(UNIT_ERROR_BAD_LENGTH);
      }
      std::vector<std::uint8_t> reply = Reply(config_.unitMode, 12);
      if (config_.unitMode == 0) {
        PutU16LE(reply, 4, config_.escState);
        PutU16LE(reply, 6, config_.escStateAux);
        PutU32LE(reply, 8, config_.unitVersion);
        PutU32LE(reply, 12, config_.unitVersionAux);
      } else {
        std::copy(config_.otherModeBytes.begin(), config_.otherModeBytes.end(), reply.begin() + 4);
      }
      return reply;
    }

    case READ_UNIT_MEMORY: {
      if (length != UNIT_MEMORY_LENGTH) {
        return Refused(UNIT_ERROR_BAD_LENGTH);
      }
      if (!hasParameters) {
        return Refused(UNIT_ERROR_BAD_REQUEST);
      }
      if (GetU32LE(report, 4) != UNIT_MEMORY_AT) {
        return Refused(UNIT_ERROR_BAD_ARGUMENT);
      }
      // The 12 bytes read: the address echoed (the first word of that memory is not known, and
      // an echo lets a reader check what it got), then the two version words.
      std::vector<std::uint8_t> reply = Reply(0x00, UNIT_MEMORY_LENGTH);
      PutU32LE(reply, 4, UNIT_MEMORY_AT);
      PutU32LE(reply, 8, config_.unitVersion);
      PutU32LE(reply, 12, config_.unitVersionAux);
      return reply;
    }

    case SYSTEM_LOCK: {
      if (length != 0x01) {
        return Refused(UNIT_ERROR_BAD_LENGTH);
      }
      if (argument > 0x01) {
        return Refused(UNIT_ERROR_BAD_ARGUMENT);
      }
      locked_ = argument == 0x01;
      return Reply(locked_ ? 0x01 : 0x00, 0);  // byte 3: the lock state now
    }

    case READ_ESC_INFO:
    case READ_ESC_BOOT_INFO:
    case ESC_WRITE_PROTECT:
    case ERASE:
    case SET_ADDRESS:
    case WRITE_BLOCK:
      if (config_.unitMode != 0) {
        return Refused(UNIT_ERROR_WRONG_MODE);
      }
      if (config_.escState != 3) {
        return Refused(UNIT_ERROR_NO_ESC);
      }
      return HandleFlash(command, report);

    default:
      return Refused(UNIT_ERROR_UNKNOWN_COMMAND);
  }
}

std::vector<std::uint8_t> SimulatedUnit::HandleFlash(std::uint8_t command,
                                                     std::span<const std::uint8_t> report) {
  const std::uint8_t length = report[2];
  const std::uint8_t argument = report[3];
  const bool hasParameters = report.size() >= PARAMETER_BYTES;

  switch (command) {
    case READ_ESC_INFO: {
      if (length != 0x08) {
        return Refused(UNIT_ERROR_BAD_LENGTH);
      }
      if (!hasParameters) {
        return Refused(UNIT_ERROR_BAD_REQUEST);
      }
      if (GetU32LE(report, 4) != 32 || GetU32LE(report, 8) != 0xFFFFFFE0) {
        return Refused(UNIT_ERROR_BAD_ARGUMENT);
      }
      if (config_.refuseEscInfoWithZero) {
        return Refused(0);
      }
      const auto block = EscInfoBlock();
      std::vector<std::uint8_t> reply = Reply(0x00, static_cast<std::uint8_t>(block.size()));
      std::copy(block.begin(), block.end(), reply.begin() + 4);
      return reply;
    }

    case READ_ESC_BOOT_INFO: {
      // Byte 2 is whatever the product passes on from the information reply; the model does
      // not depend on it.
      if (config_.refuseBootInfoWithZero) {
        return Refused(0);
      }
      const auto block = EscBootInfoBlock();
      std::vector<std::uint8_t> reply = Reply(0x00, static_cast<std::uint8_t>(block.size()));
      std::copy(block.begin(), block.end(), reply.begin() + 4);
      return reply;
    }

    case ESC_WRITE_PROTECT: {
      if (length != 0x01) {
        return Refused(UNIT_ERROR_BAD_LENGTH);
      }
      if (argument > 0x01) {
        return Refused(UNIT_ERROR_BAD_ARGUMENT);
      }
      // Opening the flash is guarded by the system lock; closing it never is.
      if (argument == 0x00 && !locked_) {
        return Refused(UNIT_ERROR_NOT_LOCKED);
      }
      writeProtected_ = argument == 0x01;
      return Reply(writeProtected_ ? 0x01 : 0x00, 0);  // byte 3: the protection state now
    }

    case ERASE: {
      if (length != 0x04) {
        return Refused(UNIT_ERROR_BAD_LENGTH);
      }
      if (!hasParameters) {
        return Refused(UNIT_ERROR_BAD_REQUEST);
      }
      if (GetU32LE(report, 4) != KEY) {
        return Refused(UNIT_ERROR_BAD_KEY);
      }
      if (!locked_) {
        return Refused(UNIT_ERROR_NOT_LOCKED);
      }
      if (writeProtected_) {
        return Refused(UNIT_ERROR_PROTECTED);
      }
      erased_ = true;
      addressSet_ = false;
      address_ = 0;
      flash_.clear();
      return Reply(0x00, 0);
    }

    case SET_ADDRESS: {
      if (length != 0x09) {
        return Refused(UNIT_ERROR_BAD_LENGTH);
      }
      if (!hasParameters) {
        return Refused(UNIT_ERROR_BAD_REQUEST);
      }
      if (GetU32LE(report, 8) != KEY) {
        return Refused(UNIT_ERROR_BAD_KEY);
      }
      const std::uint32_t address = GetU32LE(report, 4);
      if (argument != 0x01 || address >= config_.flashBytes) {
        return Refused(UNIT_ERROR_BAD_ARGUMENT);
      }
      if (!locked_) {
        return Refused(UNIT_ERROR_NOT_LOCKED);
      }
      if (!erased_) {
        return Refused(UNIT_ERROR_NOT_ERASED);
      }
      address_ = address;
      addressSet_ = true;
      flash_.clear();
      return Reply(0x00, 0);
    }

    case WRITE_BLOCK: {
      if (length % 4 != 0 || length > MAX_BLOCK_BYTES) {
        return Refused(UNIT_ERROR_BAD_LENGTH);
      }
      if (report.size() < HEADER_BYTES + length) {
        return Refused(UNIT_ERROR_BAD_REQUEST);
      }
      if (!locked_) {
        return Refused(UNIT_ERROR_NOT_LOCKED);
      }
      if (writeProtected_) {
        return Refused(UNIT_ERROR_PROTECTED);
      }
      if (!addressSet_) {
        return Refused(UNIT_ERROR_NO_ADDRESS);
      }
      if (std::uint64_t{address_} + flash_.size() + length > config_.flashBytes) {
        return Refused(UNIT_ERROR_FLASH_FULL);
      }
      const auto data = report.subspan(HEADER_BYTES, length);
      flash_.insert(flash_.end(), data.begin(), data.end());
      return Reply(0x00, 0);
    }

    default:
      return Refused(UNIT_ERROR_UNKNOWN_COMMAND);
  }
}

}  // namespace sim
