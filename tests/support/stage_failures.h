// The stage-failure table: which request of which stage fails, by which of the simulated unit's
// faults, and what the program must make of it (the message, the result code, the command line's
// exit status). Every rig plays its rows through its own way of injecting the fault; the browser
// tests read it as stage_failures.json, written from this table by the web build. A new stage is
// new rows here and its name in kStages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "protocol/result_code.h"
#include "sim/simulated_unit.h"
#include "texts/message_catalogue.h"
#include "update/update_procedure.h"

namespace stage_failures {

// The suites that play a row. A row is played where it is cheap enough and shows something the
// rig's own layer could get wrong; the host dialog suite plays every stage against every fault.
enum Rig : unsigned {
  kDialog = 1u << 0,          // tests/logic, the dialog's logic over the simulated bus
  kCommandLine = 1u << 1,     // tests/cli, the command line's commands over the simulated bus
  kStandIn = 1u << 2,         // tests/cli_e2e, pelora-update on the hidapi stand-in
  kWindows = 1u << 3,         // tests/e2e, the Windows program under Wine: its fault matrix
  kWindowsReplies = 1u << 4,  // tests/e2e's failures group: refusals, judged by the reply rules
  kBrowser = 1u << 5,         // tests/web, the page in Chromium
};

// Every stage in the update's order, with its one name as `UpdateStage` spells it.
struct NamedStage {
  UpdateStage stage;
  const char* name;
};
inline constexpr NamedStage kStages[] = {{UpdateStage::Lock, "Lock"},
                                         {UpdateStage::OpenFlash, "OpenFlash"},
                                         {UpdateStage::Erase, "Erase"},
                                         {UpdateStage::Address, "Address"},
                                         {UpdateStage::Transfer, "Transfer"}};

inline const char* StageName(UpdateStage stage) {
  for (const NamedStage& named : kStages) {
    if (named.stage == stage) {
      return named.name;
    }
  }
  return "?";
}

// Blocks counted from the image's end, resolved by each rig for the image it carries.
inline constexpr std::uint32_t kLastFullBlock = std::numeric_limits<std::uint32_t>::max() - 1;
inline constexpr std::uint32_t kFinalBlock = std::numeric_limits<std::uint32_t>::max();

struct StageFailure {
  UpdateStage stage;
  const char* what;      // the case within the stage; the row's name is "<Stage>_<what>"
  std::uint8_t request;  // command byte of the request that fails
  std::uint32_t block;   // for the transfer: the 1-based block that fails; 1 otherwise
  sim::FaultKind fault;
  std::uint32_t code;  // for Refuse: the unit's code
  std::uint8_t flag;   // for FailFlag: byte 3 of the reply
  MessageId message;   // the failure's text
  ResultCode result;   // the first number of the code line
  int exitStatus;      // pelora-update's exit status
  unsigned rigs;

  std::string Name() const { return std::string(StageName(stage)) + "_" + what; }

  // The 1-based block for an image of `blocks` blocks (1 before the transfer).
  std::uint32_t Block(std::uint32_t blocks) const {
    return block == kFinalBlock ? blocks : block == kLastFullBlock ? blocks - 1 : block;
  }

  // The fault as the simulated unit takes it.
  sim::Fault Fault(std::uint32_t blocks) const {
    return {request, stage == UpdateStage::Transfer ? Block(blocks) : 1, fault, code, flag};
  }

  // A request whose write failed, or that met a unit already gone, never reached the unit.
  bool RequestTaken() const {
    return fault != sim::FaultKind::WriteFailure && fault != sim::FaultKind::Vanish;
  }

  // 0-based index of the failing request among the update's requests (after identification).
  std::size_t RequestIndex(std::uint32_t blocks) const {
    return stage == UpdateStage::Transfer ? 4 + Block(blocks) - 1 : static_cast<std::size_t>(stage);
  }

  // Update requests the unit received, the failing one included when it was taken.
  std::size_t RequestsSent(std::uint32_t blocks) const {
    return RequestIndex(blocks) + (RequestTaken() ? 1 : 0);
  }

  bool PlayedBy(Rig rig) const { return (rigs & rig) != 0; }
};

namespace detail {
using K = sim::FaultKind;
using S = UpdateStage;
inline constexpr std::uint8_t kLock = 0x0B, kOpenFlash = 0x20, kErase = 0x1E, kAddress = 0x1F,
                              kBlock = 0x1B;
inline constexpr ResultCode kMinusOne = -1;
inline constexpr std::uint32_t kAllOnes = 0xFFFFFFFF;  // a refusal code that reads as -1

// clang-format off
inline constexpr StageFailure kTable[] = {
  // Lock: the outcome flag alone decides, so a refusal shows as 1627.
  {S::Lock, "Refused",     kLock, 1, K::Refuse,       5, 0, IDS_LOCK_FAILED, 1627, 10, kDialog | kWindowsReplies},
  {S::Lock, "FlagZero",    kLock, 1, K::FailFlag,     0, 0, IDS_LOCK_FAILED, 1627, 10, kDialog | kCommandLine | kStandIn | kBrowser},
  {S::Lock, "WriteFails",  kLock, 1, K::WriteFailure, 0, 0, IDS_LOCK_FAILED, RESULT_WRITE_FAILED, 10, kDialog | kWindows},
  {S::Lock, "ReadFails",   kLock, 1, K::ReadFailure,  0, 0, IDS_LOCK_FAILED, RESULT_READ_FAILED, 10, kDialog | kWindows},
  {S::Lock, "Silent",      kLock, 1, K::Silent,       0, 0, IDS_LOCK_FAILED, RESULT_READ_FAILED, 10, kDialog | kBrowser | kWindowsReplies},
  {S::Lock, "Vanishes",    kLock, 1, K::Vanish,       0, 0, IDS_LOCK_FAILED, RESULT_WRITE_FAILED, 10, kDialog | kWindows},
  // Opening the flash (releasing the ESC's write protection).
  {S::OpenFlash, "Refused",         kOpenFlash, 1, K::Refuse, 0x13,     0, IDS_PROTECT_FAILED, 0x13, 11, kDialog | kCommandLine | kStandIn | kBrowser | kWindowsReplies},
  {S::OpenFlash, "RefusedMinusOne", kOpenFlash, 1, K::Refuse, kAllOnes, 0, IDS_PROTECT_FAILED, kMinusOne, 11, kDialog},
  {S::OpenFlash, "FlagTwo",         kOpenFlash, 1, K::FailFlag, 0,   0x02, IDS_PROTECT_FAILED, 1627, 11, kDialog | kWindowsReplies},
  {S::OpenFlash, "FlagOne",         kOpenFlash, 1, K::FailFlag, 0,   0x01, IDS_PROTECT_FAILED, 1627, 11, kDialog},
  {S::OpenFlash, "WriteFails",      kOpenFlash, 1, K::WriteFailure, 0, 0, IDS_PROTECT_FAILED, RESULT_WRITE_FAILED, 11, kDialog | kWindows},
  {S::OpenFlash, "ReadFails",       kOpenFlash, 1, K::ReadFailure, 0,  0, IDS_PROTECT_FAILED, RESULT_READ_FAILED, 11, kDialog | kWindows},
  {S::OpenFlash, "Vanishes",        kOpenFlash, 1, K::Vanish, 0,       0, IDS_PROTECT_FAILED, RESULT_WRITE_FAILED, 11, kDialog | kWindows},
  // Erase: judged only after the 4 s wait, whatever happened.
  {S::Erase, "Refused",         kErase, 1, K::Refuse, 9,        0, IDS_ERASE_FAILED, 9, 12, kDialog | kBrowser | kWindowsReplies},
  {S::Erase, "RefusedMinusOne", kErase, 1, K::Refuse, kAllOnes, 0, IDS_ERASE_FAILED, kMinusOne, 12, kDialog},
  {S::Erase, "WriteFails",      kErase, 1, K::WriteFailure, 0,  0, IDS_ERASE_FAILED, RESULT_WRITE_FAILED, 12, kDialog | kWindows},
  {S::Erase, "ReadFails",       kErase, 1, K::ReadFailure, 0,   0, IDS_ERASE_FAILED, RESULT_READ_FAILED, 12, kDialog | kCommandLine | kStandIn | kWindows},
  {S::Erase, "Silent",          kErase, 1, K::Silent, 0,        0, IDS_ERASE_FAILED, RESULT_READ_FAILED, 12, kDialog | kWindows},
  {S::Erase, "Vanishes",        kErase, 1, K::Vanish, 0,        0, IDS_ERASE_FAILED, RESULT_WRITE_FAILED, 12, kDialog | kWindows},
  // Address.
  {S::Address, "Refused",         kAddress, 1, K::Refuse, 0x12345678, 0, IDS_SET_ADDRESS_FAILED, 0x12345678, 13, kDialog | kStandIn | kBrowser | kWindowsReplies},
  {S::Address, "RefusedMinusOne", kAddress, 1, K::Refuse, kAllOnes,   0, IDS_SET_ADDRESS_FAILED, kMinusOne, 13, kDialog},
  {S::Address, "WriteFails",      kAddress, 1, K::WriteFailure, 0,    0, IDS_SET_ADDRESS_FAILED, RESULT_WRITE_FAILED, 13, kDialog | kCommandLine | kWindows},
  {S::Address, "ReadFails",       kAddress, 1, K::ReadFailure, 0,     0, IDS_SET_ADDRESS_FAILED, RESULT_READ_FAILED, 13, kDialog | kWindows},
  {S::Address, "Vanishes",        kAddress, 1, K::Vanish, 0,          0, IDS_SET_ADDRESS_FAILED, RESULT_WRITE_FAILED, 13, kDialog | kWindows},
  // Transfer: the first blocks, a middle one, the last full and the final block. Every block
  // before a failure costs a rig 20 ms, so the slow rigs fail early blocks.
  {S::Transfer, "Block1Refused",          kBlock, 1, K::Refuse, 5,              0, IDS_WRITE_BLOCK_FAILED, 5, 14, kDialog | kBrowser},
  {S::Transfer, "Block1WriteFails",       kBlock, 1, K::WriteFailure, 0,        0, IDS_WRITE_BLOCK_FAILED, RESULT_WRITE_FAILED, 14, kWindows},
  {S::Transfer, "Block1ReadFails",        kBlock, 1, K::ReadFailure, 0,         0, IDS_WRITE_BLOCK_FAILED, RESULT_READ_FAILED, 14, kWindows},
  {S::Transfer, "Block1Vanishes",         kBlock, 1, K::Vanish, 0,              0, IDS_WRITE_BLOCK_FAILED, RESULT_WRITE_FAILED, 14, kWindows},
  {S::Transfer, "Block2RefusedMinusOne",  kBlock, 2, K::Refuse, kAllOnes,       0, IDS_WRITE_BLOCK_FAILED, kMinusOne, 14, kCommandLine | kStandIn},
  {S::Transfer, "Block2WriteFails",       kBlock, 2, K::WriteFailure, 0,        0, IDS_WRITE_BLOCK_FAILED, RESULT_WRITE_FAILED, 14, kWindows},
  {S::Transfer, "Block2ReadFails",        kBlock, 2, K::ReadFailure, 0,         0, IDS_WRITE_BLOCK_FAILED, RESULT_READ_FAILED, 14, kWindows},
  {S::Transfer, "Block2Silent",           kBlock, 2, K::Silent, 0,              0, IDS_WRITE_BLOCK_FAILED, RESULT_READ_FAILED, 14, kCommandLine | kWindows},
  {S::Transfer, "Block2Vanishes",         kBlock, 2, K::Vanish, 0,              0, IDS_WRITE_BLOCK_FAILED, RESULT_WRITE_FAILED, 14, kWindows},
  {S::Transfer, "Block3Refused",          kBlock, 3, K::Refuse, 0x16,           0, IDS_WRITE_BLOCK_FAILED, 0x16, 14, kCommandLine | kStandIn | kWindowsReplies},
  {S::Transfer, "Block100Vanishes",       kBlock, 100, K::Vanish, 0,            0, IDS_WRITE_BLOCK_FAILED, RESULT_WRITE_FAILED, 14, kBrowser},
  {S::Transfer, "Block500RefusedMinusOne", kBlock, 500, K::Refuse, kAllOnes,    0, IDS_WRITE_BLOCK_FAILED, kMinusOne, 14, kDialog},
  {S::Transfer, "Block1000WriteFails",    kBlock, 1000, K::WriteFailure, 0,     0, IDS_WRITE_BLOCK_FAILED, RESULT_WRITE_FAILED, 14, kDialog},
  {S::Transfer, "LastFullBlockVanishes",  kBlock, kLastFullBlock, K::Vanish, 0, 0, IDS_WRITE_BLOCK_FAILED, RESULT_WRITE_FAILED, 14, kDialog},
  {S::Transfer, "FinalBlockReadFails",    kBlock, kFinalBlock, K::ReadFailure, 0, 0, IDS_WRITE_BLOCK_FAILED, RESULT_READ_FAILED, 14, kDialog},
  {S::Transfer, "FinalBlockSilent",       kBlock, kFinalBlock, K::Silent, 0,    0, IDS_WRITE_BLOCK_FAILED, RESULT_READ_FAILED, 14, kDialog},
  {S::Transfer, "FinalBlockVanishes",     kBlock, kFinalBlock, K::Vanish, 0,    0, IDS_WRITE_BLOCK_FAILED, RESULT_WRITE_FAILED, 14, kWindows},
};
// clang-format on
}  // namespace detail

inline constexpr std::span<const StageFailure> kStageFailures = detail::kTable;

// The rows one rig plays, in table order.
inline std::vector<StageFailure> RowsFor(Rig rig) {
  std::vector<StageFailure> rows;
  for (const StageFailure& row : kStageFailures) {
    if (row.PlayedBy(rig)) {
      rows.push_back(row);
    }
  }
  return rows;
}

// Names a row in a parameterised test's failure messages instead of dumping its bytes.
inline void PrintTo(const StageFailure& row, std::ostream* out) {
  *out << row.Name();
}

// The command byte of each stage's request.
inline std::uint8_t RequestOf(UpdateStage stage) {
  for (const StageFailure& row : kStageFailures) {
    if (row.stage == stage) {
      return row.request;
    }
  }
  return 0;
}

}  // namespace stage_failures
