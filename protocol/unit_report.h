#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "protocol/byte_order.h"
#include "protocol/result_code.h"

// The report codec: the bytes of every request the unit understands and the rules by which its
// replies are judged. Pure data and arithmetic, no I/O.

inline constexpr std::uint8_t REPORT_ID_OUT = 0x01;
inline constexpr std::uint8_t REPORT_ID_IN = 0x02;
inline constexpr std::uint8_t STATUS_ERROR = 0xFF;

inline constexpr std::uint8_t CMD_IDENTIFY = 0x08;
inline constexpr std::uint8_t CMD_READ_UNIT_MEMORY = 0x0A;
inline constexpr std::uint8_t CMD_SYSTEM_LOCK = 0x0B;
inline constexpr std::uint8_t CMD_WRITE_BLOCK = 0x1B;
inline constexpr std::uint8_t CMD_READ_ESC_INFO = 0x1D;
inline constexpr std::uint8_t CMD_ERASE = 0x1E;
inline constexpr std::uint8_t CMD_SET_ADDRESS = 0x1F;
inline constexpr std::uint8_t CMD_ESC_WRITE_PROTECT = 0x20;
inline constexpr std::uint8_t CMD_READ_ESC_BOOT_INFO = 0x22;

// The unit refuses erase and set-address requests that do not carry this value.
inline constexpr std::uint32_t FLASH_KEY = 0x6B2E9D47;
// Where the unit keeps its version words when it is not relaying to an ESC.
inline constexpr std::uint32_t UNIT_MEMORY_ADDRESS = 0x0801FC00;
inline constexpr std::uint8_t UNIT_MEMORY_BYTES = 12;
// The two parameter words of the ESC information request: 32 and -32.
inline constexpr std::uint32_t ESC_INFO_FIRST_WORD = 0x00000020;
inline constexpr std::uint32_t ESC_INFO_SECOND_WORD = 0xFFFFFFE0;

inline constexpr std::size_t ESC_INFO_BYTES = 32;
inline constexpr std::size_t ESC_BOOT_INFO_BYTES = 40;
inline constexpr std::size_t MAX_BLOCK_WORDS = 14;

// The longest request ends at byte 59 (a full write block), the longest reply content at byte
// 43 (the bootloader block); a unit with shorter reports cannot carry the protocol.
inline constexpr std::size_t REQUEST_BYTES = 60;
inline constexpr std::size_t MIN_OUTPUT_REPORT_LENGTH = REQUEST_BYTES;
inline constexpr std::size_t MIN_INPUT_REPORT_LENGTH = 44;
// Report buffers are never shorter than this, whatever the unit reports.
inline constexpr std::size_t REPORT_BUFFER_MIN = 64;

// The meaningful bytes of one request; on the wire it is zero-padded to the output report length.
// Bytes without a fixed value are zero.
struct UnitRequest {
  std::array<std::uint8_t, REQUEST_BYTES> bytes{};
};

UnitRequest BuildIdentifyRequest();
UnitRequest BuildReadUnitMemoryRequest();
UnitRequest BuildSystemLockRequest(bool on);
UnitRequest BuildReadEscInfoRequest();
// `lengthByte` goes to byte 2 (the link passes on byte 2 of the ESC information reply).
UnitRequest BuildReadEscBootInfoRequest(std::uint8_t lengthByte);
UnitRequest BuildEraseRequest();
UnitRequest BuildSetAddressRequest();
UnitRequest BuildEscWriteProtectRequest(bool on);
// Takes the first 4 * wordCount bytes of `block`, nothing beyond. RESULT_NO_DEVICE for more than
// MAX_BLOCK_WORDS words or a block shorter than 4 * wordCount bytes; `out` is then unchanged.
ResultCode BuildWriteBlockRequest(std::span<const std::uint8_t> block, std::size_t wordCount,
                                  UnitRequest& out);

// Copies the request to the start of `report` and zeroes the rest. False (and `report` untouched)
// when `report` is shorter than REQUEST_BYTES.
bool EncodeRequest(const UnitRequest& request, std::span<std::uint8_t> report);

// Reply rules. Each returns RESULT_READ_FAILED when the reply is shorter than the bytes it has to
// read, so a short reply is never read past its end.

// Write block, erase, set address: a refused reply gives its 32-bit code as it stands (0 is
// success), any other reply success.
ResultCode ApplyStatusRule(std::span<const std::uint8_t> reply);
// Lock set: the status byte is not looked at; only outcome 0x01 is success.
ResultCode ApplyLockRule(std::span<const std::uint8_t> reply);
// Protection release: a refused reply gives its 32-bit code; otherwise outcome 0x00 is success.
ResultCode ApplyProtectionReleaseRule(std::span<const std::uint8_t> reply);

// What the program uses of the identify reply. In the relay mode (unitMode 0) bytes 6..7 and
// 12..15 hold a second state and version word, and in any other mode bytes 4..15 hold values of
// that mode; nothing depends on them.
struct IdentifyReply {
  std::uint8_t unitMode = 0;
  std::uint16_t escState = 0;     // relay mode only
  std::uint32_t unitVersion = 0;  // relay mode only
};
// The status byte is not looked at. The reply must reach byte 15 in either mode.
ResultCode ParseIdentifyReply(std::span<const std::uint8_t> reply, IdentifyReply& out);

// Bytes 8..11 of the 12 bytes read; bytes 12..15 hold a second version word nothing uses.
struct UnitMemoryReply {
  std::uint32_t unitVersion = 0;
};
// The status byte is not looked at. The reply must reach byte 15.
ResultCode ParseUnitMemoryReply(std::span<const std::uint8_t> reply, UnitMemoryReply& out);

template <std::size_t N>
struct InfoBlockReply {
  bool refused = false;
  // Only bytes 4..5 of a refused reply count: a code whose low 16 bits are zero is a zero code.
  std::uint16_t refusalCode = 0;
  std::array<std::uint8_t, N> block{};  // filled only when not refused
  std::uint8_t byte2 = 0;               // not interpreted, but passed on (see the boot request)
};
using EscInfoReply = InfoBlockReply<ESC_INFO_BYTES>;
using EscBootInfoReply = InfoBlockReply<ESC_BOOT_INFO_BYTES>;

ResultCode ParseEscInfoReply(std::span<const std::uint8_t> reply, EscInfoReply& out);
ResultCode ParseEscBootInfoReply(std::span<const std::uint8_t> reply, EscBootInfoReply& out);
