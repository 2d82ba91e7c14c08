#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

// A model of the programming unit and the ESC bootloader behind it, driven only by the request
// bytes and answering by the reply rules of the report protocol.
namespace sim {

enum class FaultKind {
  Refuse,        // status 0xFF with `code` (bytes 4..7)
  FailFlag,      // the outcome flag says failure (lock set: byte 3 != 1; release: byte 3 = `flag`)
  WriteFailure,  // writing the request fails
  ReadFailure,   // reading the reply fails
  Silent,        // the request is taken but no reply ever comes
  Vanish,        // the device disappears before the request is taken
};

struct Fault {
  std::uint8_t command = 0;     // CMD_ code the fault applies to
  std::uint32_t occurrence = 1;  // 1-based count of that command's requests; 0 = every one
  FaultKind kind = FaultKind::Refuse;
  std::uint32_t code = 0;   // for Refuse
  std::uint8_t flag = 0x02;  // for FailFlag on the protection release
};

struct UnitConfig {
  std::uint8_t unitMode = 0;
  std::uint16_t escState = 3;
  std::uint16_t escStateAux = 0;
  std::uint32_t unitVersion = 0x00000102;
  std::uint32_t unitVersionAux = 0;
  std::array<std::uint8_t, 12> otherModeBytes{};  // identify bytes 4..15 when unitMode != 0
  std::uint16_t escFirmwareVersion = 0x0302;      // written into escInfo bytes 4..5
  std::uint32_t escTypeId = 0x1422605A;           // escBootInfo bytes 0..3
  std::uint32_t escBootloaderVersion = 0x00000105;  // escBootInfo bytes 4..7
  bool refuseEscInfoWithZero = false;             // CMD_READ_ESC_INFO refused with code 0
  bool refuseBootInfoWithZero = false;            // CMD_READ_ESC_BOOT_INFO refused with code 0
  std::uint32_t flashBytes = 128 * 1024;
};

struct RecordedRequest {
  std::uint64_t timeMs = 0;
  std::vector<std::uint8_t> bytes;  // the whole report as written
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

  bool vanished() const { return vanished_; }
  const UnitConfig& config() const { return config_; }
  const std::vector<RecordedRequest>& requests() const { return requests_; }

  bool locked() const { return locked_; }
  bool writeProtected() const { return writeProtected_; }
  bool erased() const { return erased_; }
  // Bytes written to the ESC flash since the erase, from the start address, in order.
  const std::vector<std::uint8_t>& flash() const { return flash_; }

 private:
  // Implementation state lives here (see simulated_unit.cpp).
  UnitConfig config_;
  std::vector<Fault> faults_;
  std::vector<RecordedRequest> requests_;
  std::vector<std::uint8_t> pendingReply_;
  bool replyPending_ = false;
  bool silent_ = false;
  bool readFailure_ = false;
  bool vanished_ = false;
  bool locked_ = false;
  bool writeProtected_ = true;
  bool erased_ = false;
  bool addressSet_ = false;
  std::vector<std::uint8_t> flash_;
};

}  // namespace sim
