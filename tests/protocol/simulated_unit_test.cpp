// Guards for the simulated unit itself: the host and end-to-end tests trust what it records and
// refuses, so its model is checked here against raw request bytes.
#include "sim/simulated_unit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "protocol/unit_report.h"
#include "sim/sim_transport.h"
#include "tests/protocol/link_fixture.h"
#include "tests/support/named_cases.h"

namespace {

using named_cases::PrintTo;

using Bytes = std::vector<std::uint8_t>;
using sim::Fault;
using sim::FaultKind;
using sim::SimulatedUnit;
using sim::UnitConfig;

Bytes Report(const UnitRequest& request) {
  Bytes report(64, 0);
  EncodeRequest(request, report);
  return report;
}

// A request with one byte changed, for requests the product never sends.
Bytes Changed(const UnitRequest& request, std::size_t offset, std::uint8_t value) {
  Bytes report = Report(request);
  report[offset] = value;
  return report;
}

UnitRequest BlockRequest(std::size_t words) {
  UnitRequest request;
  const Bytes data(4 * words, 0x5A);
  (void)BuildWriteBlockRequest(data, words, request);
  return request;
}

Bytes Block(std::size_t words) {
  return Report(BlockRequest(words));
}

struct Reply {
  std::uint8_t status = 0;
  std::uint8_t flag = 0;
  std::uint32_t code = 0;
};

// Writes a request and reads its reply; a failed write or read fails the test.
Reply Send(SimulatedUnit& unit, const Bytes& report) {
  EXPECT_TRUE(unit.Write(report, 0));
  Bytes buffer(64, 0);
  EXPECT_EQ(unit.Read(buffer), SimulatedUnit::ReadOutcome::Reply);
  EXPECT_EQ(buffer[0], 0x02);
  return {buffer[1], buffer[3], GetU32LE(buffer, 4)};
}

const Bytes kLock = Report(BuildSystemLockRequest(true));
const Bytes kUnlock = Report(BuildSystemLockRequest(false));
const Bytes kRelease = Report(BuildEscWriteProtectRequest(false));
const Bytes kProtect = Report(BuildEscWriteProtectRequest(true));
const Bytes kErase = Report(BuildEraseRequest());
const Bytes kAddress = Report(BuildSetAddressRequest());
const Bytes kEscInfo = Report(BuildReadEscInfoRequest());

struct GuardCase {
  std::string name;
  UnitConfig config;
  std::vector<Bytes> before;  // sent first, replies not judged
  Bytes request;
  std::optional<std::uint32_t> refusedWith;  // nullopt: accepted
};

class UnitGuards : public ::testing::TestWithParam<GuardCase> {};

TEST_P(UnitGuards, RefuseWhatTheUnitCannotDoInItsState) {
  const GuardCase& c = GetParam();
  SimulatedUnit unit(c.config);
  for (const Bytes& report : c.before) {
    Send(unit, report);
  }
  const Bytes flashBefore = unit.flash();
  const Reply reply = Send(unit, c.request);
  if (c.refusedWith) {
    EXPECT_EQ(reply.status, 0xFF);
    EXPECT_EQ(reply.code, *c.refusedWith);
    EXPECT_EQ(unit.flash(), flashBefore) << "a refused request changes nothing";
  } else {
    EXPECT_NE(reply.status, 0xFF);
  }
}

UnitConfig WithFlash(std::uint32_t bytes) {
  UnitConfig config;
  config.flashBytes = bytes;
  return config;
}
UnitConfig WithEscState(std::uint16_t state) {
  UnitConfig config;
  config.escState = state;
  return config;
}
UnitConfig WithMode(std::uint8_t mode) {
  UnitConfig config;
  config.unitMode = mode;
  return config;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnitGuards,
    ::testing::Values(
        GuardCase{"BlockInOrderAccepted", {}, {kLock, kRelease, kErase, kAddress}, Block(14), {}},
        GuardCase{"BlockBeforeErase", {}, {kLock, kRelease}, Block(12), sim::UNIT_ERROR_NO_ADDRESS},
        GuardCase{"BlockBeforeAddress",
                  {},
                  {kLock, kRelease, kErase},
                  Block(12),
                  sim::UNIT_ERROR_NO_ADDRESS},
        GuardCase{"BlockWhileProtected",
                  {},
                  {kLock, kRelease, kErase, kAddress, kProtect},
                  Block(12),
                  sim::UNIT_ERROR_PROTECTED},
        GuardCase{"BlockAfterUnlock",
                  {},
                  {kLock, kRelease, kErase, kAddress, kUnlock},
                  Block(12),
                  sim::UNIT_ERROR_NOT_LOCKED},
        GuardCase{"BlockPastTheFlashEnd",
                  WithFlash(8),
                  {kLock, kRelease, kErase, kAddress},
                  Block(3),
                  sim::UNIT_ERROR_FLASH_FULL},
        GuardCase{"BlockLengthNotWholeWords",
                  {},
                  {kLock, kRelease, kErase, kAddress},
                  Changed(BlockRequest(12), 2, 0x31),
                  sim::UNIT_ERROR_BAD_LENGTH},
        GuardCase{"BlockLongerThanFourteenWords",
                  {},
                  {kLock, kRelease, kErase, kAddress},
                  Changed(BlockRequest(14), 2, 0x3C),
                  sim::UNIT_ERROR_BAD_LENGTH},
        GuardCase{"ReleaseWithoutLock", {}, {}, kRelease, sim::UNIT_ERROR_NOT_LOCKED},
        GuardCase{"EraseWithoutLock", {}, {}, kErase, sim::UNIT_ERROR_NOT_LOCKED},
        GuardCase{"EraseWhileProtected", {}, {kLock}, kErase, sim::UNIT_ERROR_PROTECTED},
        GuardCase{"EraseWithWrongKey",
                  {},
                  {kLock, kRelease},
                  Changed(BuildEraseRequest(), 7, 0x6A),
                  sim::UNIT_ERROR_BAD_KEY},
        GuardCase{
            "AddressBeforeErase", {}, {kLock, kRelease}, kAddress, sim::UNIT_ERROR_NOT_ERASED},
        GuardCase{"AddressWithWrongKey",
                  {},
                  {kLock, kRelease, kErase},
                  Changed(BuildSetAddressRequest(), 8, 0x00),
                  sim::UNIT_ERROR_BAD_KEY},
        GuardCase{"AddressWithoutArgument",
                  {},
                  {kLock, kRelease, kErase},
                  Changed(BuildSetAddressRequest(), 3, 0x00),
                  sim::UNIT_ERROR_BAD_ARGUMENT},
        GuardCase{"EscRequestWithoutEsc", WithEscState(0), {}, kEscInfo, sim::UNIT_ERROR_NO_ESC},
        GuardCase{"EscRequestInOtherMode", WithMode(1), {}, kEscInfo, sim::UNIT_ERROR_WRONG_MODE},
        GuardCase{"EscInfoWithOtherWords",
                  {},
                  {},
                  Changed(BuildReadEscInfoRequest(), 4, 0x10),
                  sim::UNIT_ERROR_BAD_ARGUMENT},
        GuardCase{"UnitMemoryAtOtherAddress",
                  {},
                  {},
                  Changed(BuildReadUnitMemoryRequest(), 5, 0xF8),
                  sim::UNIT_ERROR_BAD_ARGUMENT},
        GuardCase{"IdentifyWithLength",
                  {},
                  {},
                  Changed(BuildIdentifyRequest(), 2, 0x01),
                  sim::UNIT_ERROR_BAD_LENGTH},
        GuardCase{"LockWithBadArgument",
                  {},
                  {},
                  Changed(BuildSystemLockRequest(true), 3, 0x02),
                  sim::UNIT_ERROR_BAD_ARGUMENT},
        GuardCase{"UnknownCommand",
                  {},
                  {},
                  Changed(BuildIdentifyRequest(), 1, 0x55),
                  sim::UNIT_ERROR_UNKNOWN_COMMAND},
        GuardCase{"WrongReportId",
                  {},
                  {},
                  Changed(BuildIdentifyRequest(), 0, 0x02),
                  sim::UNIT_ERROR_BAD_REQUEST}),
    [](const auto& info) { return info.param.name; });

TEST(UnitModel, ReportsTheOutcomeFlagsOfLockAndProtection) {
  SimulatedUnit unit;
  EXPECT_EQ(Send(unit, kLock).flag, 0x01);
  EXPECT_TRUE(unit.locked());
  EXPECT_EQ(Send(unit, kRelease).flag, 0x00);
  EXPECT_FALSE(unit.writeProtected());
  EXPECT_EQ(Send(unit, kProtect).flag, 0x01);
  EXPECT_TRUE(unit.writeProtected());
  EXPECT_EQ(Send(unit, kUnlock).flag, 0x00);
  EXPECT_FALSE(unit.locked());
}

TEST(UnitModel, FaultsHitTheirOccurrenceOnly) {
  SimulatedUnit unit;
  unit.AddFault({0x08, 2, FaultKind::Refuse, 0x77});
  unit.AddFault({0x0A, 0, FaultKind::Refuse, 0x66});
  const Bytes identify = Report(BuildIdentifyRequest());
  const Bytes memory = Report(BuildReadUnitMemoryRequest());
  EXPECT_EQ(Send(unit, identify).status, 0x00);
  EXPECT_EQ(Send(unit, identify).code, 0x77u);
  EXPECT_EQ(Send(unit, identify).status, 0x00);
  EXPECT_EQ(Send(unit, memory).code, 0x66u);
  EXPECT_EQ(Send(unit, memory).code, 0x66u);
}

TEST(UnitModel, RefusedRequestsHaveNoEffectButUnreadRepliesDo) {
  SimulatedUnit refused;
  refused.AddFault({0x0B, 1, FaultKind::Refuse, 5});
  Send(refused, kLock);
  EXPECT_FALSE(refused.locked());

  SimulatedUnit flagged;
  flagged.AddFault({0x0B, 1, FaultKind::FailFlag});
  EXPECT_EQ(Send(flagged, kLock).flag, 0x02);
  EXPECT_FALSE(flagged.locked());

  SimulatedUnit unread;
  unread.AddFault({0x0B, 1, FaultKind::ReadFailure});
  ASSERT_TRUE(unread.Write(kLock, 0));
  Bytes buffer(64);
  EXPECT_EQ(unread.Read(buffer), SimulatedUnit::ReadOutcome::Failed);
  EXPECT_TRUE(unread.locked());
}

// A faulted reply that the product's rules take for success must leave the request done, and one
// they take for failure must leave it undone, or the demo bus could show success over a short
// flash.
struct AgreementCase {
  std::string name;
  std::vector<Bytes> before;  // brings the unit to where the request is accepted
  Bytes request;
  ResultCode (*rule)(std::span<const std::uint8_t>);
  bool (*done)(SimulatedUnit&);  // whether the request took effect, seen from the unit
};

bool Locked(SimulatedUnit& unit) {
  return unit.locked();
}
bool FlashOpen(SimulatedUnit& unit) {
  return !unit.writeProtected();
}
bool AddressAccepted(SimulatedUnit& unit) {  // only after an erase
  return Send(unit, kAddress).status != 0xFF;
}
bool BlockAccepted(SimulatedUnit& unit) {  // only after an address
  return Send(unit, Block(1)).status != 0xFF;
}
bool BlockWritten(SimulatedUnit& unit) {
  return !unit.flash().empty();
}

TEST(UnitModel, FaultedRepliesDoWhatTheReplyRulesReadInThem) {
  const AgreementCase requests[] = {
      {"LockSet", {}, kLock, ApplyLockRule, Locked},
      {"FlashOpen", {kLock}, kRelease, ApplyProtectionReleaseRule, FlashOpen},
      {"Erase", {kLock, kRelease}, kErase, ApplyStatusRule, AddressAccepted},
      {"Address", {kLock, kRelease, kErase}, kAddress, ApplyStatusRule, BlockAccepted},
      {"Block", {kLock, kRelease, kErase, kAddress}, Block(2), ApplyStatusRule, BlockWritten},
  };
  const Fault faults[] = {
      {0, 1, FaultKind::Refuse, 0},          {0, 1, FaultKind::Refuse, 5},
      {0, 1, FaultKind::Refuse, 0xFFFFFFFF}, {0, 1, FaultKind::FailFlag, 0, 0x00},
      {0, 1, FaultKind::FailFlag, 0, 0x01},  {0, 1, FaultKind::FailFlag, 0, 0x02},
  };
  for (const AgreementCase& c : requests) {
    for (Fault fault : faults) {
      SCOPED_TRACE(c.name + (fault.kind == FaultKind::Refuse ? " refused with " : " flag ") +
                   std::to_string(fault.kind == FaultKind::Refuse ? fault.code : fault.flag));
      SimulatedUnit unit;
      for (const Bytes& report : c.before) {
        ASSERT_NE(Send(unit, report).status, 0xFF);
      }
      fault.command = c.request[1];
      unit.AddFault(fault);
      ASSERT_TRUE(unit.Write(c.request, 0));
      Bytes reply(64, 0);
      ASSERT_EQ(unit.Read(reply), SimulatedUnit::ReadOutcome::Reply);
      EXPECT_EQ(c.done(unit), c.rule(reply) == RESULT_OK);
    }
  }
}

TEST(UnitModel, AnswersOnceAndOnlyAfterARequest) {
  SimulatedUnit unit;
  Bytes buffer(64);
  EXPECT_EQ(unit.Read(buffer), SimulatedUnit::ReadOutcome::Silent);
  ASSERT_TRUE(unit.Write(Report(BuildIdentifyRequest()), 10));
  EXPECT_EQ(unit.Read(buffer, 25), SimulatedUnit::ReadOutcome::Reply);
  EXPECT_EQ(unit.Read(buffer), SimulatedUnit::ReadOutcome::Silent);
  ASSERT_EQ(unit.requests().size(), 1u);
  EXPECT_EQ(unit.requests()[0].timeMs, 10u);
  EXPECT_EQ(unit.requests()[0].replyTimeMs, std::optional<std::uint64_t>(25));
}

TEST(UnitModel, VanishedUnitTakesNothingMore) {
  SimulatedUnit unit;
  unit.AddFault({0x08, 1, FaultKind::Vanish});
  EXPECT_FALSE(unit.Write(Report(BuildIdentifyRequest()), 0));
  EXPECT_TRUE(unit.vanished());
  EXPECT_FALSE(unit.Write(kLock, 0));
  EXPECT_TRUE(unit.requests().empty());
}

TEST(UnitModel, ShortInputReportGetsTheReplyCutToItsLength) {
  SimulatedUnit unit;
  ASSERT_TRUE(unit.Write(kEscInfo, 0));
  Bytes buffer(20, 0xEE);
  ASSERT_EQ(unit.Read(buffer), SimulatedUnit::ReadOutcome::Reply);
  const auto block = unit.EscInfoBlock();
  EXPECT_EQ(Bytes(buffer.begin() + 4, buffer.end()), Bytes(block.begin(), block.begin() + 16));
}

// --- flash content through the link ---------------------------------------------------------

TEST_F(LinkTest, FlashHoldsTheBlocksInTheOrderWritten) {
  sim::SimulatedUnit& unit = Plug();
  ASSERT_EQ(link.Open().code, RESULT_OK);
  ASSERT_EQ(link.SetSystemLock(true).code, RESULT_OK);
  ASSERT_EQ(link.SetEscWriteProtection(false).code, RESULT_OK);
  ASSERT_EQ(link.Erase().code, RESULT_OK);
  ASSERT_EQ(link.SetAddress().code, RESULT_OK);

  Bytes image(200);
  for (std::size_t i = 0; i < image.size(); ++i) {
    image[i] = static_cast<std::uint8_t>(i * 7 + 3);
  }
  for (std::size_t offset = 0; offset < image.size(); offset += 48) {
    const std::span<const std::uint8_t> rest = std::span(image).subspan(offset);
    const std::size_t words = std::min<std::size_t>(rest.size(), 48) / 4;
    ASSERT_EQ(link.WriteBlock(rest, words).code, RESULT_OK);
  }
  EXPECT_EQ(unit.flash(), image);

  ASSERT_EQ(link.Erase().code, RESULT_OK);
  EXPECT_TRUE(unit.flash().empty()) << "an erase forgets what was written";
}

// --- the simulated bus ----------------------------------------------------------------------

struct EnumerationCase {
  std::string name;
  std::vector<sim::DevicePlan> devices;
  ResultCode expected;
  int chosen;  // index of the device returned, -1 for none
  std::vector<int> opened;
};

class Enumeration : public ::testing::TestWithParam<EnumerationCase> {};

TEST_P(Enumeration, TakesTheFirstOpenableUnitOfTheMaker) {
  const EnumerationCase& c = GetParam();
  sim::SimTransport transport([] { return std::uint64_t{0}; });
  std::vector<DevicePath> paths;
  for (std::size_t i = 0; i < c.devices.size(); ++i) {
    paths.push_back("/dev/hidraw" + std::to_string(i));
    transport.Plug(paths.back(), c.devices[i]);
  }

  OpenedDevice out;
  EXPECT_EQ(transport.FindAndOpen(out).code, c.expected);
  std::vector<DevicePath> expectedOpened;
  for (int index : c.opened) {
    expectedOpened.push_back(paths[index]);
  }
  EXPECT_EQ(transport.opened, expectedOpened);
  if (c.chosen < 0) {
    EXPECT_EQ(transport.openHandles(), 0);
    return;
  }
  EXPECT_EQ(transport.openHandles(), 1) << "every interface that did not match was closed";
  EXPECT_EQ(out.path, paths[c.chosen]);
  EXPECT_EQ(out.productId, c.devices[c.chosen].productId);
  EXPECT_NE(out.handle, INVALID_DEVICE_HANDLE);
}

constexpr std::uint16_t kOtherVendor = MAKER_VENDOR_ID ^ 0x0F0F;

enum class Quirk { None, Busy, AttributesUnreadable };

// A device with a unit behind it, whatever its IDs say.
sim::DevicePlan Device(std::uint16_t vendorId, std::uint16_t productId, Quirk quirk = Quirk::None) {
  sim::DevicePlan plan;
  plan.vendorId = vendorId;
  plan.productId = productId;
  plan.busy = quirk == Quirk::Busy;
  plan.attributesReadable = quirk != Quirk::AttributesUnreadable;
  return plan;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Enumeration,
    ::testing::Values(
        EnumerationCase{"EmptyBus", {}, RESULT_NOT_FOUND, -1, {}},
        EnumerationCase{"OnlyOtherVendors", {Device(kOtherVendor, 1)}, RESULT_NOT_FOUND, -1, {0}},
        EnumerationCase{"OtherVendorSkipped",
                        {Device(kOtherVendor, 2), Device(MAKER_VENDOR_ID, 1)},
                        RESULT_OK,
                        1,
                        {0, 1}},
        EnumerationCase{"OtherProductSkipped",
                        {Device(MAKER_VENDOR_ID, 3), Device(MAKER_VENDOR_ID, 2)},
                        RESULT_OK,
                        1,
                        {0, 1}},
        EnumerationCase{"ProductZeroSkipped",
                        {Device(MAKER_VENDOR_ID, 0), Device(MAKER_VENDOR_ID, 1)},
                        RESULT_OK,
                        1,
                        {0, 1}},
        EnumerationCase{"BusySkipped",
                        {Device(MAKER_VENDOR_ID, 2, Quirk::Busy), Device(MAKER_VENDOR_ID, 1)},
                        RESULT_OK,
                        1,
                        {1}},
        EnumerationCase{
            "UnreadableAttributesSkipped",
            {Device(MAKER_VENDOR_ID, 2, Quirk::AttributesUnreadable), Device(MAKER_VENDOR_ID, 1)},
            RESULT_OK,
            1,
            {0, 1}},
        EnumerationCase{"FirstOfTwoUnitsWins",
                        {Device(MAKER_VENDOR_ID, 2), Device(MAKER_VENDOR_ID, 1)},
                        RESULT_OK,
                        0,
                        {0}}),
    [](const auto& info) { return info.param.name; });

TEST_F(LinkTest, FailedEnumerationOpensNothing) {
  Plug();
  transport.enumerationFails = true;
  OpenedDevice out;
  EXPECT_EQ(transport.FindAndOpen(out).code, RESULT_NO_DEVICE);
  EXPECT_TRUE(transport.opened.empty());
}

TEST_F(LinkTest, UnpluggedUnitFailsEveryCallAndLeavesTheBus) {
  Plug();
  ASSERT_EQ(link.Open().code, RESULT_OK);
  OpenedDevice second;
  ASSERT_EQ(transport.FindAndOpen(second).code, RESULT_OK);
  transport.Unplug(link.devicePath());

  EXPECT_EQ(link.SetSystemLock(true),
            (RequestResult{RESULT_WRITE_FAILED, sim::SIM_ERROR_DEVICE_NOT_CONNECTED}));
  Bytes buffer(65);
  EXPECT_EQ(transport.ReadReport(second.handle, buffer).osError,
            sim::SIM_ERROR_DEVICE_NOT_CONNECTED);
  ReportLengths lengths;
  EXPECT_EQ(transport.GetReportLengths(second.handle, lengths),
            IoResult::Failure(sim::SIM_ERROR_DEVICE_NOT_CONNECTED));
  transport.CloseDevice(second.handle);

  EXPECT_EQ(link.Open().code, RESULT_NOT_FOUND);
  EXPECT_EQ(transport.openHandles(), 0);
}

TEST_F(LinkTest, VanishedUnitIsNoLongerFound) {
  sim::SimulatedUnit& unit = Plug();
  unit.AddFault({0x0B, 1, FaultKind::Vanish});
  ASSERT_EQ(link.Open().code, RESULT_OK);
  EXPECT_EQ(link.SetSystemLock(true).code, RESULT_WRITE_FAILED);
  EXPECT_EQ(link.Open().code, RESULT_NOT_FOUND);
}

TEST_F(LinkTest, ReportsOfTheWrongLengthOrHandleAreRejected) {
  sim::SimulatedUnit& unit = Plug();
  OpenedDevice device;
  ASSERT_EQ(transport.FindAndOpen(device).code, RESULT_OK);

  const Bytes shortReport(64, 0x01);
  EXPECT_EQ(transport.WriteReport(device.handle, shortReport),
            IoResult::Failure(sim::SIM_ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(unit.requests().empty());

  Bytes longBuffer(66);
  EXPECT_EQ(transport.ReadReport(device.handle, longBuffer),
            IoResult::Failure(sim::SIM_ERROR_INVALID_PARAMETER));

  const Bytes report(65, 0x01);
  EXPECT_EQ(transport.WriteReport(device.handle + 1, report),
            IoResult::Failure(sim::SIM_ERROR_INVALID_HANDLE));
  transport.CloseDevice(device.handle);
}

TEST_F(LinkTest, AMatchingDeviceWithoutAUnitNeverAnswers) {
  sim::DevicePlan silent;
  silent.isUnit = false;
  transport.Plug("/dev/hidraw-silent", silent);
  EXPECT_EQ(link.Open(), (RequestResult{RESULT_READ_FAILED, sim::SIM_ERROR_TIMEOUT}));
}

}  // namespace
