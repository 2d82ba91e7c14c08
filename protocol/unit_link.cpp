#include "protocol/unit_link.h"

#include <algorithm>
#include <vector>

#include "protocol/os_services.h"
#include "protocol/unit_report.h"

namespace {

// The erase needs this long before the unit can answer.
constexpr std::uint32_t ERASE_REPLY_WAIT_MS = 1000;

struct ExchangeOptions {
  ResultCode writeFailure = RESULT_WRITE_FAILED;
  std::uint32_t waitBeforeReadMs = 0;
};

// Shorter reports could not carry the longest request or reply.
bool CanCarryProtocol(std::uint32_t inputLength, std::uint32_t outputLength) {
  return inputLength >= MIN_INPUT_REPORT_LENGTH && outputLength >= MIN_OUTPUT_REPORT_LENGTH;
}

ResultCode IgnoreReply(std::span<const std::uint8_t>) {
  return RESULT_OK;
}

// Carries one request: write it at the unit's full output report length, read the reply at the
// full input report length, then judge the reply with `rule`. No unit, or one whose reports are
// too short, gives "no unit" and sends nothing (so identification refuses such a unit before its
// first request); a failed write reads nothing.
template <typename Rule>
ResultCode Exchange(HidTransport* transport, const UnitLink& link, const UnitRequest& request,
                    Rule&& rule, ExchangeOptions options = {}) {
  if (transport == nullptr || !link.IsOpen() ||
      !CanCarryProtocol(link.inputReportLength, link.outputReportLength)) {
    return RESULT_NO_DEVICE;
  }

  std::vector<std::uint8_t> out(std::max<std::size_t>(REPORT_BUFFER_MIN, link.outputReportLength));
  EncodeRequest(request, out);  // cannot fail: `out` is longer than any request
  if (!transport->WriteReport(link.handle, std::span(out).first(link.outputReportLength))) {
    return options.writeFailure;
  }

  if (options.waitBeforeReadMs != 0) {
    WaitMilliseconds(options.waitBeforeReadMs);
  }

  std::vector<std::uint8_t> in(std::max<std::size_t>(REPORT_BUFFER_MIN, link.inputReportLength));
  in[0] = REPORT_ID_IN;
  const std::span<std::uint8_t> reply = std::span(in).first(link.inputReportLength);
  if (!transport->ReadReport(link.handle, reply)) {
    return RESULT_READ_FAILED;
  }
  return rule(std::span<const std::uint8_t>(reply));
}

}  // namespace

std::uint16_t UnitLink::escFirmwareVersion() const {
  return GetU16LE(escInfo, 4);
}

void UnitLink::setEscFirmwareVersion(std::uint16_t version) {
  PutU16LE(escInfo, 4, version);
}

std::uint32_t UnitLink::escTypeId() const {
  return GetU32LE(escBootInfo, 0);
}

std::uint32_t UnitLink::escBootloaderVersion() const {
  return GetU32LE(escBootInfo, 4);
}

ResultCode UnitLink::Open() {
  Close();
  if (transport_ == nullptr) {
    return RESULT_NO_DEVICE;
  }
  OpenedDevice device;
  const ResultCode found = transport_->FindAndOpen(device);
  if (found != RESULT_OK) {
    return found;
  }
  productId = device.productId;
  handle = device.handle;
  devicePath = std::move(device.path);
  return Query();
}

ResultCode UnitLink::Query() {
  if (transport_ == nullptr || !IsOpen() || !devicePath) {
    return RESULT_NO_DEVICE;
  }
  ReportLengths lengths;
  if (!transport_->GetReportLengths(handle, lengths)) {
    return RESULT_NO_DEVICE;
  }
  inputReportLength = lengths.input;
  outputReportLength = lengths.output;

  IdentifyReply identify;
  ResultCode result = Exchange(transport_, *this, BuildIdentifyRequest(),
                               [&](auto reply) { return ParseIdentifyReply(reply, identify); });
  if (result != RESULT_OK) {
    return result;
  }
  unitMode = identify.unitMode;

  if (unitMode != 0) {
    otherMode = {identify.otherByte4, identify.otherWord5, identify.otherDword7,
                 identify.otherDword11, identify.otherByte15};
    UnitMemoryReply memory;
    result = Exchange(transport_, *this, BuildReadUnitMemoryRequest(),
                      [&](auto reply) { return ParseUnitMemoryReply(reply, memory); },
                      {.writeFailure = RESULT_NO_DEVICE});
    if (result != RESULT_OK) {
      return result;
    }
    unitVersion = memory.unitVersion;
    unitVersionAux = memory.unitVersionAux;
    return RESULT_OK;
  }

  escState = identify.escState;
  escStateAux = identify.escStateAux;
  unitVersion = identify.unitVersion;
  unitVersionAux = identify.unitVersionAux;
  if (escState != ESC_STATE_READY) {
    return RESULT_OK;
  }

  EscInfoReply info;
  result = Exchange(transport_, *this, BuildReadEscInfoRequest(),
                    [&](auto reply) { return ParseEscInfoReply(reply, info); });
  if (result != RESULT_OK) {
    return result;
  }
  if (info.refused && info.refusalCode != 0) {
    return info.refusalCode;
  }
  if (!info.refused) {
    escInfo = info.block;
  }

  // The bootloader request carries byte 2 of the information reply just read. That reply has
  // always arrived when we get here (a failed read ended the sequence above), refused with code
  // 0 or not, so there is no case in which the byte is missing.
  EscBootInfoReply boot;
  result = Exchange(transport_, *this, BuildReadEscBootInfoRequest(info.byte2),
                    [&](auto reply) { return ParseEscBootInfoReply(reply, boot); });
  if (result != RESULT_OK) {
    return result;
  }
  if (boot.refused) {
    return boot.refusalCode;
  }
  escBootInfo = boot.block;
  return RESULT_OK;
}

void UnitLink::Close() {
  if (IsOpen() && transport_ != nullptr) {
    transport_->CloseDevice(handle);
  }
  // The transport binding is not part of the record and survives the reset.
  HidTransport* const transport = transport_;
  *this = UnitLink{};
  transport_ = transport;
}

ResultCode UnitLink::SetSystemLock(bool on) {
  if (!on) {
    // Closing pair: the reply is read but its content has no consequence.
    (void)Exchange(transport_, *this, BuildSystemLockRequest(false), IgnoreReply);
    return RESULT_OK;
  }
  return Exchange(transport_, *this, BuildSystemLockRequest(true), ApplyLockRule);
}

ResultCode UnitLink::SetEscWriteProtection(bool on) {
  if (on) {
    (void)Exchange(transport_, *this, BuildEscWriteProtectRequest(true), IgnoreReply);
    return RESULT_OK;
  }
  return Exchange(transport_, *this, BuildEscWriteProtectRequest(false),
                  ApplyProtectionReleaseRule);
}

ResultCode UnitLink::Erase() {
  // A failed write returns at once: there is no erase under way to wait for.
  return Exchange(transport_, *this, BuildEraseRequest(), ApplyStatusRule,
                  {.waitBeforeReadMs = ERASE_REPLY_WAIT_MS});
}

ResultCode UnitLink::SetAddress() {
  return Exchange(transport_, *this, BuildSetAddressRequest(), ApplyStatusRule);
}

ResultCode UnitLink::WriteBlock(std::span<const std::uint8_t> block, std::size_t wordCount) {
  UnitRequest request;
  const ResultCode built = BuildWriteBlockRequest(block, wordCount, request);
  if (built != RESULT_OK) {
    return built;
  }
  return Exchange(transport_, *this, request, ApplyStatusRule);
}

UnitLink& TheUnitLink() {
  static UnitLink link;
  return link;
}
