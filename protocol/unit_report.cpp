#include "protocol/unit_report.h"

#include <algorithm>

namespace {

// Reply offsets shared by the rules.
constexpr std::size_t STATUS_OFFSET = 1;
constexpr std::size_t LENGTH_OFFSET = 2;
constexpr std::size_t FLAG_OFFSET = 3;
constexpr std::size_t PAYLOAD_OFFSET = 4;

// Bytes a reply must hold for a rule to read up to and including the given offset.
constexpr std::size_t Through(std::size_t lastOffset) {
  return lastOffset + 1;
}

constexpr std::uint8_t LOCK_SET_OUTCOME = 0x01;
constexpr std::uint8_t RELEASE_OUTCOME = 0x00;

UnitRequest Header(std::uint8_t command, std::uint8_t lengthByte) {
  UnitRequest request;
  request.bytes[0] = REPORT_ID_OUT;
  request.bytes[1] = command;
  request.bytes[2] = lengthByte;
  return request;
}

// A refused reply's 32-bit code, taken as the signed result it stands for (0xFFFFFFFF is -1).
ResultCode RefusalCode32(std::span<const std::uint8_t> reply) {
  return static_cast<ResultCode>(GetU32LE(reply, PAYLOAD_OFFSET));
}

bool IsRefused(std::span<const std::uint8_t> reply) {
  return reply[STATUS_OFFSET] == STATUS_ERROR;
}

template <std::size_t N>
ResultCode ParseInfoBlockReply(std::span<const std::uint8_t> reply, InfoBlockReply<N>& out) {
  if (reply.size() < Through(STATUS_OFFSET)) {
    return RESULT_READ_FAILED;
  }
  if (IsRefused(reply)) {
    // Only the low half of the refusal code counts for these two requests.
    if (reply.size() < Through(PAYLOAD_OFFSET + 1)) {
      return RESULT_READ_FAILED;
    }
    out.refused = true;
    out.refusalCode = GetU16LE(reply, PAYLOAD_OFFSET);
    out.byte2 = reply[LENGTH_OFFSET];
    out.block.fill(0);
    return RESULT_OK;
  }
  if (reply.size() < PAYLOAD_OFFSET + N) {
    return RESULT_READ_FAILED;
  }
  out.refused = false;
  out.refusalCode = 0;
  out.byte2 = reply[LENGTH_OFFSET];
  std::copy_n(reply.begin() + PAYLOAD_OFFSET, N, out.block.begin());
  return RESULT_OK;
}

}  // namespace

UnitRequest BuildIdentifyRequest() {
  return Header(CMD_IDENTIFY, 0x00);
}

UnitRequest BuildReadUnitMemoryRequest() {
  UnitRequest request = Header(CMD_READ_UNIT_MEMORY, UNIT_MEMORY_BYTES);
  PutU32LE(request.bytes, 4, UNIT_MEMORY_ADDRESS);
  return request;
}

UnitRequest BuildSystemLockRequest(bool on) {
  UnitRequest request = Header(CMD_SYSTEM_LOCK, 0x01);
  request.bytes[3] = on ? 0x01 : 0x00;
  return request;
}

UnitRequest BuildReadEscInfoRequest() {
  UnitRequest request = Header(CMD_READ_ESC_INFO, 0x08);
  PutU32LE(request.bytes, 4, ESC_INFO_FIRST_WORD);
  PutU32LE(request.bytes, 8, ESC_INFO_SECOND_WORD);
  return request;
}

UnitRequest BuildReadEscBootInfoRequest(std::uint8_t lengthByte) {
  return Header(CMD_READ_ESC_BOOT_INFO, lengthByte);
}

UnitRequest BuildEraseRequest() {
  UnitRequest request = Header(CMD_ERASE, 0x04);
  PutU32LE(request.bytes, 4, FLASH_KEY);
  return request;
}

UnitRequest BuildSetAddressRequest() {
  UnitRequest request = Header(CMD_SET_ADDRESS, 0x09);
  request.bytes[3] = 0x01;
  PutU32LE(request.bytes, 4, 0x00000000);  // start of the ESC's application flash
  PutU32LE(request.bytes, 8, FLASH_KEY);
  return request;
}

UnitRequest BuildEscWriteProtectRequest(bool on) {
  UnitRequest request = Header(CMD_ESC_WRITE_PROTECT, 0x01);
  request.bytes[3] = on ? 0x01 : 0x00;
  return request;
}

ResultCode BuildWriteBlockRequest(std::span<const std::uint8_t> block, std::size_t wordCount,
                                  UnitRequest& out) {
  if (wordCount > MAX_BLOCK_WORDS || block.size() / 4 < wordCount) {
    return RESULT_NO_DEVICE;
  }
  const std::size_t dataBytes = 4 * wordCount;
  UnitRequest request = Header(CMD_WRITE_BLOCK, static_cast<std::uint8_t>(dataBytes));
  std::copy_n(block.begin(), dataBytes, request.bytes.begin() + PAYLOAD_OFFSET);
  out = request;
  return RESULT_OK;
}

bool EncodeRequest(const UnitRequest& request, std::span<std::uint8_t> report) {
  if (report.size() < request.bytes.size()) {
    return false;
  }
  const auto rest = std::copy(request.bytes.begin(), request.bytes.end(), report.begin());
  std::fill(rest, report.end(), std::uint8_t{0});
  return true;
}

ResultCode ApplyStatusRule(std::span<const std::uint8_t> reply) {
  if (reply.size() < Through(STATUS_OFFSET)) {
    return RESULT_READ_FAILED;
  }
  if (!IsRefused(reply)) {
    return RESULT_OK;
  }
  if (reply.size() < Through(PAYLOAD_OFFSET + 3)) {
    return RESULT_READ_FAILED;
  }
  return RefusalCode32(reply);
}

ResultCode ApplyLockRule(std::span<const std::uint8_t> reply) {
  if (reply.size() < Through(FLAG_OFFSET)) {
    return RESULT_READ_FAILED;
  }
  return reply[FLAG_OFFSET] == LOCK_SET_OUTCOME ? RESULT_OK : ERROR_FUNCTION_FAILED;
}

ResultCode ApplyProtectionReleaseRule(std::span<const std::uint8_t> reply) {
  if (reply.size() < Through(FLAG_OFFSET)) {
    return RESULT_READ_FAILED;
  }
  if (IsRefused(reply)) {
    if (reply.size() < Through(PAYLOAD_OFFSET + 3)) {
      return RESULT_READ_FAILED;
    }
    return RefusalCode32(reply);
  }
  return reply[FLAG_OFFSET] == RELEASE_OUTCOME ? RESULT_OK : ERROR_FUNCTION_FAILED;
}

ResultCode ParseIdentifyReply(std::span<const std::uint8_t> reply, IdentifyReply& out) {
  // Both modes read through byte 15.
  if (reply.size() < Through(15)) {
    return RESULT_READ_FAILED;
  }
  out.unitMode = reply[FLAG_OFFSET];
  if (out.unitMode == 0) {
    out.escState = GetU16LE(reply, 4);
    out.unitVersion = GetU32LE(reply, 8);
  }
  return RESULT_OK;
}

ResultCode ParseUnitMemoryReply(std::span<const std::uint8_t> reply, UnitMemoryReply& out) {
  if (reply.size() < Through(15)) {
    return RESULT_READ_FAILED;
  }
  out.unitVersion = GetU32LE(reply, 8);
  return RESULT_OK;
}

ResultCode ParseEscInfoReply(std::span<const std::uint8_t> reply, EscInfoReply& out) {
  return ParseInfoBlockReply(reply, out);
}

ResultCode ParseEscBootInfoReply(std::span<const std::uint8_t> reply, EscBootInfoReply& out) {
  return ParseInfoBlockReply(reply, out);
}
