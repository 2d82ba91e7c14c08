#include "protocol/unit_link.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "protocol/unit_report.h"

namespace {

// The erase needs this long before the unit can answer.
constexpr std::uint32_t ERASE_REPLY_WAIT_MS = 1000;

// Shorter reports could not carry the longest request or reply.
bool CanCarryProtocol(const ReportLengths& lengths) {
  return lengths.input >= MIN_INPUT_REPORT_LENGTH && lengths.output >= MIN_OUTPUT_REPORT_LENGTH;
}

ResultCode IgnoreReply(std::span<const std::uint8_t>) {
  return RESULT_OK;
}

}  // namespace

// Carries one request: write it at the unit's full output report length, read the reply at the
// full input report length, then judge the reply with `rule`. A report waiting before the request
// is written, or still waiting after its reply was read, was sent by the unit to someone else's
// request: another program is writing to the unit, so this reply may not be ours either, and the
// link stops rather than write into that conversation. Looking before the write as well catches a
// foreign reply that came after the last look and was then read in place of ours. No unit, or one
// whose reports are too short, gives "no unit" and sends nothing (so identification refuses such a
// unit before its first request); a failed write reads nothing.
template <typename Rule>
RequestResult UnitLink::Exchange(const UnitRequest& request, Rule&& rule, ExchangeOptions options) {
  if (!IsOpen() || !CanCarryProtocol(lengths_)) {
    return {RESULT_NO_DEVICE};
  }
  if (othersHeard_ || ReportWaiting()) {
    othersHeard_ = true;
    return {RESULT_OTHER_WRITER};
  }

  std::vector<std::uint8_t> out(std::max<std::size_t>(REPORT_BUFFER_MIN, lengths_.output));
  EncodeRequest(request, out);  // cannot fail: `out` is longer than any request
  // The HID stack takes an output report only at exactly the length its capabilities state.
  const IoResult written = transport_.WriteReport(handle_, std::span(out).first(lengths_.output));
  if (!written.ok) {
    return {options.writeFailure, written.osError};
  }

  if (options.waitBeforeReadMs != 0) {
    waiter_.Wait(options.waitBeforeReadMs);
  }

  std::vector<std::uint8_t> in(std::max<std::size_t>(REPORT_BUFFER_MIN, lengths_.input));
  // The unit's input reports are numbered; the reader stores the expected ID first.
  in[0] = REPORT_ID_IN;
  const std::span<std::uint8_t> reply = std::span(in).first(lengths_.input);
  const IoResult read = transport_.ReadReport(handle_, reply);
  if (!read.ok) {
    return {RESULT_READ_FAILED, read.osError};
  }
  if (ReportWaiting()) {
    othersHeard_ = true;
    return {RESULT_OTHER_WRITER};
  }
  return {rule(std::span<const std::uint8_t>(reply))};
}

bool UnitLink::ReportWaiting() {
  std::vector<std::uint8_t> extra(std::max<std::size_t>(REPORT_BUFFER_MIN, lengths_.input));
  extra[0] = REPORT_ID_IN;
  return transport_.Listen(handle_, std::span(extra).first(lengths_.input), 0).outcome ==
         ListenResult::Outcome::Heard;
}

RequestResult UnitLink::ListenForOthers(std::uint32_t timeoutMs) {
  std::vector<std::uint8_t> heard(std::max<std::size_t>(REPORT_BUFFER_MIN, lengths_.input));
  heard[0] = REPORT_ID_IN;
  const ListenResult listened =
      transport_.Listen(handle_, std::span(heard).first(lengths_.input), timeoutMs);
  if (listened.outcome == ListenResult::Outcome::Heard) {
    othersHeard_ = true;
    return {RESULT_BUSY};
  }
  // A device that fails the listen fails the request that follows too, which reports it as
  // every request does.
  return {};
}

RequestResult UnitLink::Open() {
  Close();
  heardOthersAtOpen_ = false;
  OpenedDevice device;
  const RequestResult found = transport_.FindAndOpen(device);
  if (!found.ok()) {
    return found;
  }
  return Open(std::move(device));
}

RequestResult UnitLink::Open(OpenedDevice device) {
  Close();
  heardOthersAtOpen_ = false;
  handle_ = device.handle;
  devicePath_ = std::move(device.path);
  identity_ = UnitIdentity(device.productId);
  // The listen reads at the input report length, which Windows demands of every read.
  if (transport_.GetReportLengths(handle_, lengths_).ok && CanCarryProtocol(lengths_)) {
    const RequestResult others = ListenForOthers(LISTEN_MS);
    if (others.code == RESULT_BUSY) {
      Close();
      heardOthersAtOpen_ = true;
    }
    if (!others.ok()) {
      return others;
    }
  }
  const RequestResult identified = Query();
  if (identified.code == RESULT_OTHER_WRITER) {
    Close();
    heardOthersAtOpen_ = true;
    return {RESULT_BUSY};
  }
  return identified;
}

RequestResult UnitLink::Query() {
  if (!IsOpen() || devicePath_.empty()) {
    return {RESULT_NO_DEVICE};
  }
  ReportLengths lengths;
  const IoResult read = transport_.GetReportLengths(handle_, lengths);
  if (!read.ok) {
    return {RESULT_NO_DEVICE, read.osError};
  }
  lengths_ = lengths;

  IdentifyReply identify;
  RequestResult result = Exchange(BuildIdentifyRequest(),
                                  [&](auto reply) { return ParseIdentifyReply(reply, identify); });
  if (!result.ok()) {
    return result;
  }
  identity_.RecordUnitMode(identify.unitMode);

  if (identify.unitMode != 0) {
    // A unit in the other mode that cannot even take this request counts as no unit (-1), as
    // one whose report lengths cannot be read does: the user is guided, never shown a code.
    UnitMemoryReply memory;
    result = Exchange(BuildReadUnitMemoryRequest(),
                      [&](auto reply) { return ParseUnitMemoryReply(reply, memory); },
                      {.writeFailure = RESULT_NO_DEVICE});
    if (!result.ok()) {
      return result;
    }
    identity_.RecordUnitVersion(memory.unitVersion);
    return {};
  }

  identity_.RecordEscState(identify.escState);
  identity_.RecordUnitVersion(identify.unitVersion);
  if (identify.escState != ESC_STATE_READY) {
    return {};
  }

  EscInfoReply info;
  result = Exchange(BuildReadEscInfoRequest(),
                    [&](auto reply) { return ParseEscInfoReply(reply, info); });
  if (!result.ok()) {
    return result;
  }
  if (info.refused && info.refusalCode != 0) {
    return {info.refusalCode};
  }
  if (!info.refused) {
    identity_.RecordEscInfo(info.block);
  }

  // The bootloader request carries byte 2 of the information reply just read. That reply has
  // always arrived when we get here (a failed read ended the sequence above), refused with code
  // 0 or not, so there is no case in which the byte is missing.
  EscBootInfoReply boot;
  result = Exchange(BuildReadEscBootInfoRequest(info.byte2),
                    [&](auto reply) { return ParseEscBootInfoReply(reply, boot); });
  if (!result.ok()) {
    return result;
  }
  if (boot.refused) {
    return {boot.refusalCode};
  }
  identity_.RecordEscBootInfo(boot.block);
  return {};
}

void UnitLink::Close() {
  if (IsOpen()) {
    transport_.CloseDevice(handle_);
  }
  handle_ = INVALID_DEVICE_HANDLE;
  devicePath_.clear();
  lengths_ = {};
  identity_ = {};
  othersHeard_ = false;
}

RequestResult UnitLink::SetSystemLock(bool on) {
  if (!on) {
    // Closing pair: the reply is read but its content has no consequence.
    (void)Exchange(BuildSystemLockRequest(false), IgnoreReply);
    return {};
  }
  if (IsOpen() && CanCarryProtocol(lengths_) && !othersHeard_) {
    const RequestResult others = ListenForOthers(LISTEN_MS);
    if (!others.ok()) {
      return others;
    }
  }
  return Exchange(BuildSystemLockRequest(true), ApplyLockRule);
}

RequestResult UnitLink::SetEscWriteProtection(bool on) {
  if (on) {
    (void)Exchange(BuildEscWriteProtectRequest(true), IgnoreReply);
    return {};
  }
  return Exchange(BuildEscWriteProtectRequest(false), ApplyProtectionReleaseRule);
}

RequestResult UnitLink::Erase() {
  // A failed write returns at once: there is no erase under way to wait for.
  return Exchange(BuildEraseRequest(), ApplyStatusRule, {.waitBeforeReadMs = ERASE_REPLY_WAIT_MS});
}

RequestResult UnitLink::SetAddress() {
  return Exchange(BuildSetAddressRequest(), ApplyStatusRule);
}

RequestResult UnitLink::WriteBlock(std::span<const std::uint8_t> block, std::size_t wordCount) {
  UnitRequest request;
  const ResultCode built = BuildWriteBlockRequest(block, wordCount, request);
  if (built != RESULT_OK) {
    return {built};
  }
  return Exchange(request, ApplyStatusRule);
}
