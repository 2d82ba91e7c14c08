#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

// A model of the programming unit and the ESC bootloader behind it, driven only by the request
// bytes and answering by the reply rules of the report protocol.
namespace sim {

// Codes the model puts into bytes 4..7 of a refused reply (the real unit's own codes are not
// known; these are nonzero in their low 16 bits so that the information requests end the
// identify sequence with them too).
inline constexpr std::uint32_t UNIT_ERROR_BAD_REQUEST = 0x01;  // wrong report ID or too short
inline constexpr std::uint32_t UNIT_ERROR_UNKNOWN_COMMAND = 0x02;
inline constexpr std::uint32_t UNIT_ERROR_BAD_LENGTH = 0x03;    // byte 2 not what it takes
inline constexpr std::uint32_t UNIT_ERROR_BAD_ARGUMENT = 0x04;  // byte 3 or a parameter word
inline constexpr std::uint32_t UNIT_ERROR_BAD_KEY = 0x05;       // flash key missing or wrong
inline constexpr std::uint32_t UNIT_ERROR_WRONG_MODE = 0x10;    // unit not relaying to an ESC
inline constexpr std::uint32_t UNIT_ERROR_NO_ESC = 0x11;        // no ready ESC connected
inline constexpr std::uint32_t UNIT_ERROR_NOT_LOCKED = 0x12;    // flash access without lock
inline constexpr std::uint32_t UNIT_ERROR_PROTECTED = 0x13;     // ESC flash write-protected
inline constexpr std::uint32_t UNIT_ERROR_NOT_ERASED = 0x14;    // address before an erase
inline constexpr std::uint32_t UNIT_ERROR_NO_ADDRESS = 0x15;    // block before an address
inline constexpr std::uint32_t UNIT_ERROR_FLASH_FULL = 0x16;    // block past the flash end

enum class FaultKind {
  Refuse,        // status 0xFF with `code` (bytes 4..7)
  FailFlag,      // the outcome flag says failure (lock set: byte 3 != 1; release: byte 3 = `flag`)
  WriteFailure,  // writing the request fails
  ReadFailure,   // reading the reply fails
  Silent,        // the request is taken but no reply ever comes
  Vanish,        // the device disappears before the request is taken
};

// A refused or failed-flag request is carried out exactly when the reply rules take its reply for
// success (a refusal with code 0 of a block, say), and has no effect otherwise; a request whose
// reply fails to read or never comes has been taken and acted on.
struct Fault {
  std::uint8_t command = 0;      // CMD_ code the fault applies to
  std::uint32_t occurrence = 1;  // 1-based count of that command's requests; 0 = every one
  FaultKind kind = FaultKind::Refuse;
  std::uint32_t code = 0;    // for Refuse
  std::uint8_t flag = 0x02;  // for FailFlag: byte 3 of the reply (fails both outcome rules)
};

struct UnitConfig {
  std::uint8_t unitMode = 0;
  std::uint16_t escState = 3;
  std::uint16_t escStateAux = 0;
  std::uint32_t unitVersion = 0x00000102;
  std::uint32_t unitVersionAux = 0;
  std::array<std::uint8_t, 12> otherModeBytes{};    // identify bytes 4..15 when unitMode != 0
  std::uint16_t escFirmwareVersion = 0x0302;        // written into escInfo bytes 4..5
  std::uint32_t escTypeId = 0x1422605A;             // escBootInfo bytes 0..3
  std::uint32_t escBootloaderVersion = 0x00000105;  // escBootInfo bytes 4..7
  bool refuseEscInfoWithZero = false;               // CMD_READ_ESC_INFO refused with code 0
  bool refuseBootInfoWithZero = false;              // CMD_READ_ESC_BOOT_INFO refused with code 0
  std::uint32_t flashBytes = 128 * 1024;
};

struct RecordedRequest {
  std::uint64_t timeMs = 0;
  std::vector<std::uint8_t> bytes;           // the whole report as written
  std::optional<std::uint64_t> replyTimeMs;  // when its reply was delivered, if it was
};

class SimulatedUnit {
 public:
  explicit SimulatedUnit(UnitConfig config = {});

  void AddFault(const Fault& fault);

  // Takes one request report. False when the write fails (injected, or the unit vanished).
  bool Write(std::span<const std::uint8_t> report, std::uint64_t nowMs);

  enum class ReadOutcome { Reply, Failed, Silent };
  // Delivers the reply to the last request into `buffer` (byte 0 = 0x02, rest per the rules,
  // zero beyond); Silent when none will ever come, Failed for an injected read failure.
  ReadOutcome Read(std::span<std::uint8_t> buffer);
  // The same, recording `nowMs` as the reply's delivery time in the request trace.
  ReadOutcome Read(std::span<std::uint8_t> buffer, std::uint64_t nowMs);

  // Another program talks to the unit: every reply to our requests from the `fromRequest`-th on
  // (counting every request recorded) is followed by a reply to it; with 0, one is waiting now.
  // Every holder of a HID device receives every input report.
  void StartOtherTalker(std::size_t fromRequest);
  // Takes one report meant for the other program into `buffer`; false when none is waiting.
  bool TakeOtherTalkersReport(std::span<std::uint8_t> buffer);

  bool vanished() const { return vanished_; }
  const std::vector<RecordedRequest>& requests() const { return requests_; }
  void ClearRequests() { requests_.clear(); }

  bool locked() const { return locked_; }
  bool writeProtected() const { return writeProtected_; }
  // Bytes written to the ESC flash since the erase, from the start address, in order.
  const std::vector<std::uint8_t>& flash() const { return flash_; }

  // The information blocks as the unit reports them from the current configuration.
  std::array<std::uint8_t, 32> EscInfoBlock() const;
  std::array<std::uint8_t, 40> EscBootInfoBlock() const;

 private:
  std::vector<std::uint8_t> Handle(std::span<const std::uint8_t> report);
  std::vector<std::uint8_t> HandleFlash(std::uint8_t command, std::span<const std::uint8_t> report);
  const Fault* FindFault(std::uint8_t command, std::uint32_t occurrence) const;

  UnitConfig config_;
  std::vector<Fault> faults_;
  std::array<std::uint32_t, 256> commandCounts_{};
  std::vector<RecordedRequest> requests_;
  std::vector<std::uint8_t> pendingReply_;
  bool replyPending_ = false;
  bool otherTalker_ = false;
  std::size_t otherTalkerFrom_ = 0;
  std::size_t othersWaiting_ = 0;
  bool silent_ = false;
  bool readFailure_ = false;
  bool vanished_ = false;
  bool locked_ = false;
  bool writeProtected_ = true;
  bool erased_ = false;
  bool addressSet_ = false;
  std::uint32_t address_ = 0;
  std::vector<std::uint8_t> flash_;
};

}  // namespace sim
