#include "protocol/unit_link.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "protocol/unit_report.h"
#include "tests/protocol/link_fixture.h"
#include "tests/protocol/scripted_transport.h"
#include "tests/support/named_cases.h"
#include "tests/support/sim_units.h"
#include "tests/support/stage_failures.h"

namespace {

using named_cases::PrintTo;

using Bytes = std::vector<std::uint8_t>;
using sim::Fault;
using sim::FaultKind;
using sim::UnitConfig;
using sim_units::With;

Bytes Counting(std::size_t n, std::uint8_t first) {
  Bytes bytes(n);
  for (std::size_t i = 0; i < n; ++i) {
    bytes[i] = static_cast<std::uint8_t>(first + i);
  }
  return bytes;
}

// --- opening --------------------------------------------------------------------------------

TEST_F(LinkTest, OpenWithNoUnitIsNotFoundAndLeavesTheRecordReset) {
  sim::DevicePlan other;
  other.vendorId = 0x046D;
  other.isUnit = false;
  transport.Plug("/dev/hidraw-keyboard", other);

  EXPECT_EQ(link.Open().code, RESULT_NOT_FOUND);
  ExpectReset(link);
  EXPECT_EQ(transport.openHandles(), 0);
}

TEST_F(LinkTest, OpenWhenEnumerationCannotStartIsNoDevice) {
  Plug();
  transport.enumerationFails = true;
  EXPECT_EQ(link.Open().code, RESULT_NO_DEVICE);
  ExpectReset(link);
}

TEST_F(LinkTest, StartsReset) {
  ExpectReset(link);
}

// What identification learns, from the fields the blocks put at their offsets (the simulated
// unit fills every other byte of the blocks with a pattern, so a wrong offset shows).
UnitIdentity Identified(std::uint16_t productId, std::uint8_t mode, std::uint16_t escState,
                        std::uint32_t unitVersion, const sim::UnitConfig& config, bool escInfoTaken,
                        bool bootInfoTaken) {
  UnitIdentity identity(productId);
  identity.RecordUnitMode(mode);
  identity.RecordEscState(escState);
  identity.RecordUnitVersion(unitVersion);
  const sim::SimulatedUnit unit(config);
  if (escInfoTaken) {
    identity.RecordEscInfo(unit.EscInfoBlock());
  }
  if (bootInfoTaken) {
    identity.RecordEscBootInfo(unit.EscBootInfoBlock());
  }
  return identity;
}

TEST_F(LinkTest, ReadyUnitIsIdentifiedCompletely) {
  UnitConfig config;
  config.escStateAux = 0x0102;
  config.unitVersion = 0x00020107;
  config.unitVersionAux = 0xA5A50001;
  config.escFirmwareVersion = 0x0302;
  config.escTypeId = 0x1422605A;
  config.escBootloaderVersion = 0x00000105;
  Plug(config, {.input = 65, .output = 65, .productId = 1});

  ASSERT_EQ(link.Open().code, RESULT_OK);
  EXPECT_TRUE(link.IsOpen());
  EXPECT_EQ(link.devicePath(), transport.devices()[0].path);
  EXPECT_EQ(link.reportLengths().input, 65u);
  EXPECT_EQ(link.reportLengths().output, 65u);
  const UnitIdentity& identity = link.identity();
  EXPECT_EQ(identity.productId(), 1);
  EXPECT_EQ(identity.unitMode(), 0);
  EXPECT_EQ(identity.escState(), ESC_STATE_READY);
  EXPECT_EQ(identity.unitVersion(), 0x00020107u);
  EXPECT_EQ(identity.escFirmwareVersion(), 0x0302);
  EXPECT_EQ(identity.escTypeId(), 0x1422605Au);
  EXPECT_EQ(identity.escBootloaderVersion(), 0x00000105u);
  EXPECT_TRUE(clock.waits.empty());
}

TEST_F(LinkTest, OtherModeUnitTakesItsVersionFromTheUnitMemory) {
  UnitConfig config;
  config.unitMode = 0x02;
  config.unitVersion = 0x00010203;
  config.unitVersionAux = 0x0A0B0C0D;
  for (std::size_t i = 0; i < config.otherModeBytes.size(); ++i) {
    config.otherModeBytes[i] = static_cast<std::uint8_t>(0x11 + i);
  }
  Plug(config);

  ASSERT_EQ(link.Open().code, RESULT_OK);
  EXPECT_EQ(link.identity(), Identified(2, 0x02, 0, 0x00010203u, config, false, false));
}

TEST_F(LinkTest, OpenTakesTheFirstMatchingUnitAndNeverOpensTheSecond) {
  Plug({}, {.productId = 1});
  Plug({}, {.productId = 2});
  ASSERT_EQ(link.Open().code, RESULT_OK);
  EXPECT_EQ(link.identity().productId(), 1);
  EXPECT_EQ(transport.opened, std::vector<DevicePath>{transport.devices()[0].path});
}

TEST_F(LinkTest, ReopeningClosesThePreviousHandleFirst) {
  Plug();
  ASSERT_EQ(link.Open().code, RESULT_OK);
  ASSERT_EQ(link.Open().code, RESULT_OK);
  EXPECT_EQ(transport.openHandles(), 1);
  EXPECT_EQ(transport.opened.size(), 2u);
}

TEST_F(LinkTest, QueryWithoutAnOpenUnitSendsNothing) {
  sim::SimulatedUnit& unit = Plug();
  EXPECT_EQ(link.Query().code, RESULT_NO_DEVICE);
  EXPECT_TRUE(unit.requests().empty());
}

// A device opened elsewhere (for a path the user named) is taken over and identified; one
// without a path could never be recognised at its removal and is refused.
TEST_F(LinkTest, OpenTakesOverAnOpenedDeviceAndNeedsItsPath) {
  Plug({}, {.productId = 1});
  OpenedDevice device;
  ASSERT_EQ(transport.FindAndOpen(device).code, RESULT_OK);
  const DevicePath path = device.path;
  EXPECT_EQ(link.Open(device).code, RESULT_OK);
  EXPECT_EQ(link.devicePath(), path);
  EXPECT_EQ(link.identity().productId(), 1);

  device.path.clear();
  ASSERT_EQ(transport.FindAndOpen(device).code, RESULT_OK);
  device.path.clear();
  EXPECT_EQ(link.Open(device).code, RESULT_NO_DEVICE);
  link.Close();
  EXPECT_EQ(transport.openHandles(), 0);
}

// --- the identify sequence ------------------------------------------------------------------

struct IdentifyCase {
  std::string name;
  UnitConfig config;
  std::vector<Fault> faults;
  ResultCode expected;
  Bytes commandsSent;
  bool escInfoTaken;
  bool bootInfoTaken;
  std::optional<std::uint32_t> osError;  // of the failed transfer; none: 0
};

class IdentifySequence : public LinkTest, public ::testing::WithParamInterface<IdentifyCase> {};

TEST_P(IdentifySequence, SendsOnlyWhatTheBranchCallsForAndReturnsItsCode) {
  const IdentifyCase& c = GetParam();
  sim::SimulatedUnit& unit = Plug(c.config);
  for (const Fault& fault : c.faults) {
    unit.AddFault(fault);
  }

  EXPECT_EQ(link.Open(), (RequestResult{c.expected, c.osError.value_or(0)}));
  EXPECT_EQ(CommandsSent(unit), c.commandsSent);
  EXPECT_TRUE(link.IsOpen()) << "a failing identification leaves the unit open";
  const sim::SimulatedUnit reference(c.config);
  EXPECT_EQ(link.identity().escFirmwareVersion(),
            c.escInfoTaken ? GetU16LE(reference.EscInfoBlock(), 4) : 0);
  EXPECT_EQ(link.identity().escTypeId(),
            c.bootInfoTaken ? GetU32LE(reference.EscBootInfoBlock(), 0) : 0);
}

const UnitConfig kReady{};
const UnitConfig kOtherMode = With([](UnitConfig& c) { c.unitMode = 1; });

INSTANTIATE_TEST_SUITE_P(
    Branches, IdentifySequence,
    ::testing::Values(
        IdentifyCase{"ReadyEsc", kReady, {}, RESULT_OK, {0x08, 0x1D, 0x22}, true, true, {}},
        IdentifyCase{"OtherModeReadsOnlyUnitMemory",
                     kOtherMode,
                     {},
                     RESULT_OK,
                     {0x08, 0x0A},
                     false,
                     false,
                     {}},
        IdentifyCase{"NoEsc",
                     With([](UnitConfig& c) { c.escState = 0; }),
                     {},
                     RESULT_OK,
                     {0x08},
                     false,
                     false,
                     {}},
        IdentifyCase{"EscNotReady",
                     With([](UnitConfig& c) { c.escState = 2; }),
                     {},
                     RESULT_OK,
                     {0x08},
                     false,
                     false,
                     {}},
        IdentifyCase{"EscInfoRefusedWithZeroStillReadsBootBlock",
                     With([](UnitConfig& c) { c.refuseEscInfoWithZero = true; }),
                     {},
                     RESULT_OK,
                     {0x08, 0x1D, 0x22},
                     false,
                     true,
                     {}},
        IdentifyCase{"EscInfoRefusedWithCodeEnds",
                     kReady,
                     {{0x1D, 1, FaultKind::Refuse, 7}},
                     7,
                     {0x08, 0x1D},
                     false,
                     false,
                     {}},
        IdentifyCase{"EscInfoRefusedWithHighHalfOnlyGoesOn",
                     kReady,
                     {{0x1D, 1, FaultKind::Refuse, 0x00010000}},
                     RESULT_OK,
                     {0x08, 0x1D, 0x22},
                     false,
                     true,
                     {}},
        IdentifyCase{"EscInfoRefusalCodeIsSixteenBits",
                     kReady,
                     {{0x1D, 1, FaultKind::Refuse, 0xFFFF0009}},
                     9,
                     {0x08, 0x1D},
                     false,
                     false,
                     {}},
        IdentifyCase{"BootInfoRefusedWithZeroIsSuccessWithoutBlock",
                     With([](UnitConfig& c) { c.refuseBootInfoWithZero = true; }),
                     {},
                     RESULT_OK,
                     {0x08, 0x1D, 0x22},
                     true,
                     false,
                     {}},
        IdentifyCase{"BootInfoRefusedWithCode",
                     kReady,
                     {{0x22, 1, FaultKind::Refuse, 0xBEEF}},
                     0xBEEF,
                     {0x08, 0x1D, 0x22},
                     true,
                     false,
                     {}},
        IdentifyCase{"BootInfoRefusedWithHighHalfOnlyIsSuccess",
                     kReady,
                     {{0x22, 1, FaultKind::Refuse, 0x00020000}},
                     RESULT_OK,
                     {0x08, 0x1D, 0x22},
                     true,
                     false,
                     {}},
        // The identify status byte is not looked at: a refused reply is read as it stands, and
        // a code of 3 in bytes 4..5 reads as a ready ESC.
        IdentifyCase{"IdentifyStatusIsNotExamined",
                     kReady,
                     {{0x08, 1, FaultKind::Refuse, 3}},
                     RESULT_OK,
                     {0x08, 0x1D, 0x22},
                     true,
                     true,
                     {}},
        IdentifyCase{"UnitMemoryStatusIsNotExamined",
                     kOtherMode,
                     {{0x0A, 1, FaultKind::Refuse, 0x1234}},
                     RESULT_OK,
                     {0x08, 0x0A},
                     false,
                     false,
                     {}},
        IdentifyCase{"IdentifyWriteFails",
                     kReady,
                     {{0x08, 1, FaultKind::WriteFailure}},
                     RESULT_WRITE_FAILED,
                     {},
                     false,
                     false,
                     sim::SIM_ERROR_GEN_FAILURE},
        IdentifyCase{"IdentifyReadFails",
                     kReady,
                     {{0x08, 1, FaultKind::ReadFailure}},
                     RESULT_READ_FAILED,
                     {0x08},
                     false,
                     false,
                     sim::SIM_ERROR_GEN_FAILURE},
        IdentifyCase{"IdentifyNeverAnswered",
                     kReady,
                     {{0x08, 1, FaultKind::Silent}},
                     RESULT_READ_FAILED,
                     {0x08},
                     false,
                     false,
                     sim::SIM_ERROR_TIMEOUT},
        IdentifyCase{"UnitVanishesAtIdentify",
                     kReady,
                     {{0x08, 1, FaultKind::Vanish}},
                     RESULT_WRITE_FAILED,
                     {},
                     false,
                     false,
                     sim::SIM_ERROR_DEVICE_NOT_CONNECTED},
        IdentifyCase{"UnitMemoryWriteFailsAsNoDevice",
                     kOtherMode,
                     {{0x0A, 1, FaultKind::WriteFailure}},
                     RESULT_NO_DEVICE,
                     {0x08},
                     false,
                     false,
                     sim::SIM_ERROR_GEN_FAILURE},
        IdentifyCase{"UnitMemoryReadFails",
                     kOtherMode,
                     {{0x0A, 1, FaultKind::ReadFailure}},
                     RESULT_READ_FAILED,
                     {0x08, 0x0A},
                     false,
                     false,
                     sim::SIM_ERROR_GEN_FAILURE},
        IdentifyCase{"EscInfoWriteFails",
                     kReady,
                     {{0x1D, 1, FaultKind::WriteFailure}},
                     RESULT_WRITE_FAILED,
                     {0x08},
                     false,
                     false,
                     sim::SIM_ERROR_GEN_FAILURE},
        IdentifyCase{"EscInfoReadFails",
                     kReady,
                     {{0x1D, 1, FaultKind::ReadFailure}},
                     RESULT_READ_FAILED,
                     {0x08, 0x1D},
                     false,
                     false,
                     sim::SIM_ERROR_GEN_FAILURE},
        IdentifyCase{"BootInfoWriteFails",
                     kReady,
                     {{0x22, 1, FaultKind::WriteFailure}},
                     RESULT_WRITE_FAILED,
                     {0x08, 0x1D},
                     true,
                     false,
                     sim::SIM_ERROR_GEN_FAILURE},
        IdentifyCase{"BootInfoReadFails",
                     kReady,
                     {{0x22, 1, FaultKind::ReadFailure}},
                     RESULT_READ_FAILED,
                     {0x08, 0x1D, 0x22},
                     true,
                     false,
                     sim::SIM_ERROR_GEN_FAILURE}),
    [](const auto& info) { return info.param.name; });

TEST_F(LinkTest, EscNotReadyKeepsTheIdentifyFieldsAndNoBlocks) {
  UnitConfig config;
  config.escState = 2;
  config.escStateAux = 0x0055;
  config.unitVersion = 0x00000203;
  Plug(config);
  ASSERT_EQ(link.Open().code, RESULT_OK);
  EXPECT_EQ(link.identity(), Identified(2, 0, 2, 0x00000203u, config, false, false));
}

// The bootloader request carries byte 2 of the information reply that came just before it,
// whether that reply carried the block or was refused with code 0.
TEST(BootInfoLengthByte, IsByteTwoOfTheInformationReply) {
  struct Case {
    std::string name;
    Bytes infoReply;
  };
  const Case cases[] = {
      {"NormalReply", {0x02, 0x00, 0x5A, 0x00}},
      {"RefusedWithZero", {0x02, 0xFF, 0x33, 0x00, 0x00, 0x00}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedTransport transport;
    transport.steps = {
        {.reply = {0x02, 0x00, 0x0C, 0x00, 0x03, 0x00}},  // identify: mode 0, ESC ready
        {.reply = c.infoReply},
        {.reply = {0x02, 0x00, 0x28, 0x00}},
    };
    FakeClock clock;
    UnitLink link(transport, clock);
    ASSERT_EQ(link.Open().code, RESULT_OK);
    ASSERT_EQ(transport.writes.size(), 3u);
    EXPECT_EQ(transport.writes[2][1], 0x22);
    EXPECT_EQ(transport.writes[2][2], c.infoReply[2]);
  }
}

// --- report lengths -------------------------------------------------------------------------

struct LengthCase {
  std::string name;
  std::uint32_t input;
  std::uint32_t output;
  bool capsReadable;
  RequestResult expected;  // with the OS error of the capability read that failed, else 0
};

class ReportLengthLimits : public LinkTest, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(ReportLengthLimits, ShortReportsAreRefusedBeforeAnythingIsSent) {
  const LengthCase& c = GetParam();
  sim::SimulatedUnit& unit = Plug({}, {.input = c.input, .output = c.output});
  transport.devices()[0].plan.capsReadable = c.capsReadable;

  EXPECT_EQ(link.Open(), c.expected);
  if (!c.expected.ok()) {
    EXPECT_TRUE(unit.requests().empty());
    return;
  }
  EXPECT_EQ(link.reportLengths().input, c.input);
  EXPECT_EQ(link.reportLengths().output, c.output);
  // The transport takes reports of exactly the capability lengths only, so getting here means
  // every request was written, and every reply read, at full length.
  ASSERT_EQ(unit.requests().size(), 3u);
  for (const sim::RecordedRequest& request : unit.requests()) {
    EXPECT_EQ(request.bytes.size(), c.output);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportLengthLimits,
    ::testing::Values(LengthCase{"InputOneShort", 43, 60, true, {RESULT_NO_DEVICE}},
                      LengthCase{"OutputOneShort", 44, 59, true, {RESULT_NO_DEVICE}},
                      LengthCase{"Zero", 0, 0, true, {RESULT_NO_DEVICE}},
                      LengthCase{"CapabilitiesUnreadable",
                                 65,
                                 65,
                                 false,
                                 {RESULT_NO_DEVICE, sim::SIM_ERROR_GEN_FAILURE}},
                      LengthCase{"ExactMinimum", 44, 60, true, {}},
                      LengthCase{"Usual", 65, 65, true, {}},
                      LengthCase{"LongerThanTheBuffers", 200, 129, true, {}}),
    [](const auto& info) { return info.param.name; });

TEST(ReportIo, EveryReadStartsWithTheInputReportIdAndSpansTheInputLength) {
  for (const ::ReportLengths lengths : {::ReportLengths{47, 61}, ::ReportLengths{100, 128}}) {
    SCOPED_TRACE(lengths.input);
    ScriptedTransport transport;
    transport.lengths = lengths;
    transport.steps = {
        {.reply = {0x02, 0x00, 0x0C, 0x00, 0x03, 0x00}},
        {.reply = {0x02, 0x00, 0x20, 0x00}},
        {.reply = {0x02, 0x00, 0x28, 0x00}},
        {.reply = {0x02, 0x00, 0x00, 0x01}},
    };
    FakeClock clock;
    UnitLink link(transport, clock);
    ASSERT_EQ(link.Open().code, RESULT_OK);
    ASSERT_EQ(link.SetSystemLock(true).code, RESULT_OK);
    ASSERT_EQ(transport.reads.size(), 4u);
    for (const auto& read : transport.reads) {
      EXPECT_EQ(read.size, lengths.input);
      EXPECT_EQ(read.firstByte, 0x02);
    }
    for (const auto& write : transport.writes) {
      EXPECT_EQ(write.size(), lengths.output);
    }
  }
}

// --- request operations ---------------------------------------------------------------------

using stage_failures::RequestOf;
using stage_failures::StageName;

const Bytes kBlock = Counting(48, 0x30);

RequestResult Perform(UnitLink& link, UpdateStage stage) {
  switch (stage) {
    case UpdateStage::Lock:
      return link.SetSystemLock(true);
    case UpdateStage::OpenFlash:
      return link.SetEscWriteProtection(false);
    case UpdateStage::Erase:
      return link.Erase();
    case UpdateStage::Address:
      return link.SetAddress();
    case UpdateStage::Transfer:
      return link.WriteBlock(kBlock, 12);
  }
  return {};
}

// Brings an open link through every stage of an update that comes before `stage`.
void Prepare(UnitLink& link, UpdateStage stage) {
  for (const auto& named : stage_failures::kStages) {
    if (named.stage == stage) {
      return;
    }
    ASSERT_EQ(Perform(link, named.stage).code, RESULT_OK);
  }
}

// One injected fault and what each of the three outcome rules makes of it.
struct FaultRow {
  std::string name;
  std::optional<Fault> fault;  // command filled in per operation
  ResultCode lockSet;
  ResultCode release;
  ResultCode statusRule;  // erase, set address, write block
  std::uint32_t osError;  // of the failed transfer; a reply that was read carries none
};

const FaultRow kFaultRows[] = {
    {"NoFault", std::nullopt, RESULT_OK, RESULT_OK, RESULT_OK, 0},
    {"WriteFails", Fault{0, 1, FaultKind::WriteFailure}, RESULT_WRITE_FAILED, RESULT_WRITE_FAILED,
     RESULT_WRITE_FAILED, sim::SIM_ERROR_GEN_FAILURE},
    {"Vanishes", Fault{0, 1, FaultKind::Vanish}, RESULT_WRITE_FAILED, RESULT_WRITE_FAILED,
     RESULT_WRITE_FAILED, sim::SIM_ERROR_DEVICE_NOT_CONNECTED},
    {"ReadFails", Fault{0, 1, FaultKind::ReadFailure}, RESULT_READ_FAILED, RESULT_READ_FAILED,
     RESULT_READ_FAILED, sim::SIM_ERROR_GEN_FAILURE},
    {"NeverAnswers", Fault{0, 1, FaultKind::Silent}, RESULT_READ_FAILED, RESULT_READ_FAILED,
     RESULT_READ_FAILED, sim::SIM_ERROR_TIMEOUT},
    {"RefusedWithCode", Fault{0, 1, FaultKind::Refuse, 5}, ERROR_FUNCTION_FAILED, 5, 5, 0},
    {"RefusedWithZero", Fault{0, 1, FaultKind::Refuse, 0}, ERROR_FUNCTION_FAILED, RESULT_OK,
     RESULT_OK, 0},
    {"RefusedWithHighHalfOnly", Fault{0, 1, FaultKind::Refuse, 0x00010000}, ERROR_FUNCTION_FAILED,
     0x00010000, 0x00010000, 0},
    {"RefusedWithAllOnes", Fault{0, 1, FaultKind::Refuse, 0xFFFFFFFF}, ERROR_FUNCTION_FAILED, -1,
     -1, 0},
    {"OutcomeFlagTwo", Fault{0, 1, FaultKind::FailFlag, 0, 0x02}, ERROR_FUNCTION_FAILED,
     ERROR_FUNCTION_FAILED, RESULT_OK, 0},
    {"OutcomeFlagOne", Fault{0, 1, FaultKind::FailFlag, 0, 0x01}, RESULT_OK, ERROR_FUNCTION_FAILED,
     RESULT_OK, 0},
    {"OutcomeFlagZero", Fault{0, 1, FaultKind::FailFlag, 0, 0x00}, ERROR_FUNCTION_FAILED, RESULT_OK,
     RESULT_OK, 0},
};

struct OpCase {
  UpdateStage stage;
  FaultRow row;
};

void PrintTo(const OpCase& c, std::ostream* os) {
  *os << StageName(c.stage) << c.row.name;
}

std::vector<OpCase> AllOpCases() {
  std::vector<OpCase> cases;
  for (const auto& named : stage_failures::kStages) {
    for (const FaultRow& row : kFaultRows) {
      cases.push_back({named.stage, row});
    }
  }
  return cases;
}

class RequestOperation : public LinkTest, public ::testing::WithParamInterface<OpCase> {};

TEST_P(RequestOperation, ReturnsTheCodeOfItsOutcomeRule) {
  const OpCase& c = GetParam();
  sim::SimulatedUnit& unit = Plug();
  ASSERT_EQ(link.Open().code, RESULT_OK);
  Prepare(link, c.stage);
  unit.ClearRequests();
  clock.waits.clear();
  if (c.row.fault) {
    Fault fault = *c.row.fault;
    fault.command = RequestOf(c.stage);
    unit.AddFault(fault);
  }

  const ResultCode expected = c.stage == UpdateStage::Lock        ? c.row.lockSet
                              : c.stage == UpdateStage::OpenFlash ? c.row.release
                                                                  : c.row.statusRule;
  EXPECT_EQ(Perform(link, c.stage), (RequestResult{expected, c.row.osError}));

  const bool written = !c.row.fault || (c.row.fault->kind != FaultKind::WriteFailure &&
                                        c.row.fault->kind != FaultKind::Vanish);
  // A failed write is not followed by a read.
  EXPECT_EQ(CommandsSent(unit), written ? Bytes{RequestOf(c.stage)} : Bytes{});
  const bool waitsForErase = c.stage == UpdateStage::Erase && written;
  EXPECT_EQ(clock.waits,
            waitsForErase ? std::vector<std::uint32_t>{1000} : std::vector<std::uint32_t>{});
}

INSTANTIATE_TEST_SUITE_P(EveryOperationAndFault, RequestOperation,
                         ::testing::ValuesIn(AllOpCases()), [](const auto& info) {
                           return StageName(info.param.stage) + info.param.row.name;
                         });

TEST_F(LinkTest, OperationsWithoutAnOpenUnitSendNothing) {
  sim::SimulatedUnit& unit = Plug();
  ASSERT_EQ(link.Open().code, RESULT_OK);
  link.Close();
  unit.ClearRequests();

  for (const auto& named : stage_failures::kStages) {
    EXPECT_EQ(Perform(link, named.stage), RequestResult{RESULT_NO_DEVICE}) << named.name;
  }
  EXPECT_EQ(link.SetEscWriteProtection(true).code, RESULT_OK);
  EXPECT_EQ(link.SetSystemLock(false).code, RESULT_OK);
  EXPECT_TRUE(unit.requests().empty());
  EXPECT_TRUE(clock.waits.empty());
}

TEST_F(LinkTest, RequestsOfTheUnitsOwnRefusalsReturnItsCode) {
  // Without the lock the unit refuses to open the flash; the code comes back unchanged.
  Plug();
  ASSERT_EQ(link.Open().code, RESULT_OK);
  EXPECT_EQ(link.SetEscWriteProtection(false).code,
            static_cast<ResultCode>(sim::UNIT_ERROR_NOT_LOCKED));
  EXPECT_EQ(link.SetAddress().code, static_cast<ResultCode>(sim::UNIT_ERROR_NOT_LOCKED));
}

// The erase reply is read only after a one-second wait that follows the write.
TEST_F(LinkTest, EraseWaitsOneSecondBetweenWriteAndRead) {
  sim::SimulatedUnit& unit = Plug();
  clock.nowMs = 5000;
  ASSERT_EQ(link.Open().code, RESULT_OK);
  Prepare(link, UpdateStage::Erase);
  clock.waits.clear();
  unit.ClearRequests();
  const std::uint64_t before = clock.nowMs;

  ASSERT_EQ(link.Erase().code, RESULT_OK);
  EXPECT_EQ(clock.waits, std::vector<std::uint32_t>{1000});
  ASSERT_EQ(unit.requests().size(), 1u);
  EXPECT_EQ(unit.requests()[0].timeMs, before);
  ASSERT_TRUE(unit.requests()[0].replyTimeMs.has_value());
  EXPECT_EQ(*unit.requests()[0].replyTimeMs, before + 1000);
}

struct WriteBlockCase {
  std::string name;
  std::size_t sourceBytes;
  std::size_t wordCount;
  ResultCode expected;
};

class WriteBlockLimits : public LinkTest, public ::testing::WithParamInterface<WriteBlockCase> {};

TEST_P(WriteBlockLimits, AcceptUpToFourteenWordsAndSendNothingOtherwise) {
  const WriteBlockCase& c = GetParam();
  sim::SimulatedUnit& unit = Plug();
  ASSERT_EQ(link.Open().code, RESULT_OK);
  Prepare(link, UpdateStage::Transfer);
  unit.ClearRequests();

  const Bytes source = Counting(c.sourceBytes, 0x01);
  EXPECT_EQ(link.WriteBlock(source, c.wordCount).code, c.expected);
  if (c.expected == RESULT_OK) {
    EXPECT_EQ(unit.flash(), Bytes(source.begin(), source.begin() + 4 * c.wordCount));
  } else {
    EXPECT_TRUE(unit.requests().empty());
    EXPECT_TRUE(unit.flash().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, WriteBlockLimits,
                         ::testing::Values(WriteBlockCase{"FourteenWords", 56, 14, RESULT_OK},
                                           WriteBlockCase{"FinalBlockOfOneWord", 4, 1, RESULT_OK},
                                           WriteBlockCase{"OnlyTheWordsAskedFor", 48, 4, RESULT_OK},
                                           WriteBlockCase{"FifteenWords", 60, 15, RESULT_NO_DEVICE},
                                           WriteBlockCase{"SourceTooShort", 11, 3,
                                                          RESULT_NO_DEVICE}),
                         [](const auto& info) { return info.param.name; });

// --- the closing pair -----------------------------------------------------------------------

TEST_F(LinkTest, ClosingPairClosesTheFlashAndTheLock) {
  sim::SimulatedUnit& unit = Plug();
  ASSERT_EQ(link.Open().code, RESULT_OK);
  Prepare(link, UpdateStage::Transfer);
  ASSERT_EQ(link.WriteBlock(kBlock, 12).code, RESULT_OK);
  unit.ClearRequests();
  clock.waits.clear();

  EXPECT_EQ(link.SetEscWriteProtection(true).code, RESULT_OK);
  EXPECT_EQ(link.SetSystemLock(false).code, RESULT_OK);
  EXPECT_EQ(CommandsSent(unit), (Bytes{0x20, 0x0B}));
  EXPECT_TRUE(unit.writeProtected());
  EXPECT_FALSE(unit.locked());
  EXPECT_TRUE(clock.waits.empty());
  EXPECT_TRUE(link.IsOpen());
}

TEST_F(LinkTest, ClosingPairIgnoresEveryFault) {
  for (FaultKind kind : {FaultKind::Refuse, FaultKind::FailFlag, FaultKind::WriteFailure,
                         FaultKind::ReadFailure, FaultKind::Silent, FaultKind::Vanish}) {
    SCOPED_TRACE(static_cast<int>(kind));
    transport.devices().clear();
    sim::SimulatedUnit& unit = Plug();
    ASSERT_EQ(link.Open().code, RESULT_OK);
    unit.AddFault({0x20, 1, kind, 9, 0x00});
    unit.AddFault({0x0B, 1, kind, 9, 0x01});
    EXPECT_EQ(link.SetEscWriteProtection(true).code, RESULT_OK);
    EXPECT_EQ(link.SetSystemLock(false).code, RESULT_OK);
  }
}

TEST(ClosingPair, ReadsTheReplyOnlyAfterASuccessfulWrite) {
  ScriptedTransport transport;
  transport.steps = {
      {.reply = {0x02, 0x00, 0x0C, 0x00, 0x00, 0x00}},  // identify: no ESC
      {.writeSucceeds = false, .readSucceeds = true, .reply = {}},
      {.reply = {0x02, 0xFF, 0x00, 0x00, 0x09}},
  };
  FakeClock clock;
  UnitLink link(transport, clock);
  ASSERT_EQ(link.Open().code, RESULT_OK);
  ASSERT_EQ(transport.reads.size(), 1u);

  EXPECT_EQ(link.SetEscWriteProtection(true).code, RESULT_OK);
  EXPECT_EQ(transport.reads.size(), 1u) << "no read after the failed write";
  EXPECT_EQ(link.SetSystemLock(false).code, RESULT_OK);
  EXPECT_EQ(transport.reads.size(), 2u) << "the reply of a written request is read";
}

// --- outcome rules as the operations apply them ---------------------------------------------

// Replies the simulated unit does not produce (a refused status together with a given flag).
TEST(OperationRules, EachOperationJudgesTheBytesItsRuleNames) {
  struct Case {
    std::string name;
    UpdateStage stage;
    Bytes reply;
    ResultCode expected;
  };
  const Case cases[] = {
      {"LockRefusedButFlagOne", UpdateStage::Lock, {0x02, 0xFF, 0x00, 0x01, 0x05}, RESULT_OK},
      {"LockNormalButFlagZero", UpdateStage::Lock, {0x02, 0x00, 0x00, 0x00}, ERROR_FUNCTION_FAILED},
      {"ReleaseRefusedZeroWithBadFlag",
       UpdateStage::OpenFlash,
       {0x02, 0xFF, 0x00, 0x02},
       RESULT_OK},
      {"ReleaseNormalFlagTwo",
       UpdateStage::OpenFlash,
       {0x02, 0x00, 0x00, 0x02},
       ERROR_FUNCTION_FAILED},
      {"EraseIgnoresFlag", UpdateStage::Erase, {0x02, 0x00, 0x00, 0x02}, RESULT_OK},
      {"AddressRefusedCode",
       UpdateStage::Address,
       {0x02, 0xFF, 0x00, 0x01, 0x34, 0x12, 0x01, 0x00},
       0x00011234},
      {"BlockRefusedZero", UpdateStage::Transfer, {0x02, 0xFF, 0x00, 0x02}, RESULT_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedTransport transport;
    transport.steps = {{.reply = {0x02, 0x00, 0x0C, 0x00, 0x00, 0x00}}, {.reply = c.reply}};
    FakeClock clock;
    UnitLink link(transport, clock);
    ASSERT_EQ(link.Open().code, RESULT_OK);
    EXPECT_EQ(Perform(link, c.stage), RequestResult{c.expected});
    ASSERT_EQ(transport.writes.size(), 2u);
    EXPECT_EQ(transport.writes[1][1], RequestOf(c.stage));
  }
}

// --- the bytes on the wire ------------------------------------------------------------------

TEST_F(LinkTest, AnUpdateSessionSendsTheExactReports) {
  sim::SimulatedUnit& unit = Plug();
  ASSERT_EQ(link.Open().code, RESULT_OK);
  Prepare(link, UpdateStage::Transfer);
  const Bytes block = Counting(56, 0xA0);
  ASSERT_EQ(link.WriteBlock(block, 14).code, RESULT_OK);
  link.SetEscWriteProtection(true);
  link.SetSystemLock(false);

  Bytes blockRequest = {0x01, 0x1B, 0x38, 0x00};
  blockRequest.insert(blockRequest.end(), block.begin(), block.end());
  const std::vector<Bytes> expected = {
      {0x01, 0x08, 0x00},
      {0x01, 0x1D, 0x08, 0x00, 0x20, 0x00, 0x00, 0x00, 0xE0, 0xFF, 0xFF, 0xFF},
      {0x01, 0x22, 0x20},  // byte 2 of the information reply (the model's block length)
      {0x01, 0x0B, 0x01, 0x01},
      {0x01, 0x20, 0x01, 0x00},
      {0x01, 0x1E, 0x04, 0x00, 0x47, 0x9D, 0x2E, 0x6B},
      {0x01, 0x1F, 0x09, 0x01, 0x00, 0x00, 0x00, 0x00, 0x47, 0x9D, 0x2E, 0x6B},
      blockRequest,
      {0x01, 0x20, 0x01, 0x01},
      {0x01, 0x0B, 0x01, 0x00},
  };
  ASSERT_EQ(unit.requests().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    Bytes report = expected[i];
    report.resize(65, 0x00);
    EXPECT_EQ(unit.requests()[i].bytes, report) << "request " << i;
  }
}

TEST_F(LinkTest, AnOtherModeUnitGetsTheExactMemoryRequest) {
  sim::SimulatedUnit& unit = Plug(kOtherMode, {.input = 64, .output = 64});
  ASSERT_EQ(link.Open().code, RESULT_OK);
  ASSERT_EQ(unit.requests().size(), 2u);
  Bytes expected = {0x01, 0x0A, 0x0C, 0x00, 0x00, 0xFC, 0x01, 0x08};
  expected.resize(64, 0x00);
  EXPECT_EQ(unit.requests()[1].bytes, expected);
}

// --- closing --------------------------------------------------------------------------------

TEST_F(LinkTest, CloseRestoresTheResetRecordAndReleasesTheHandle) {
  Plug();
  ASSERT_EQ(link.Open().code, RESULT_OK);
  ASSERT_NE(link.identity().escTypeId(), 0u);
  ASSERT_EQ(transport.openHandles(), 1);

  link.Close();
  ExpectReset(link);
  EXPECT_EQ(transport.openHandles(), 0);

  link.Close();  // closing a closed link touches nothing
  ExpectReset(link);

  EXPECT_EQ(link.Open().code, RESULT_OK) << "the link can open again";
}

TEST_F(LinkTest, CloseAfterAFailedIdentificationStillResetsEverything) {
  sim::SimulatedUnit& unit = Plug();
  unit.AddFault({0x22, 1, FaultKind::ReadFailure});
  ASSERT_EQ(link.Open().code, RESULT_READ_FAILED);
  ASSERT_NE(link.identity().escFirmwareVersion(), 0);
  link.Close();
  ExpectReset(link);
  EXPECT_EQ(transport.openHandles(), 0);
}

TEST_F(LinkTest, DestroyingAnOpenLinkReleasesTheHandle) {
  Plug();
  {
    UnitLink scoped(transport, clock);
    ASSERT_EQ(scoped.Open().code, RESULT_OK);
    ASSERT_EQ(transport.openHandles(), 1);
  }
  EXPECT_EQ(transport.openHandles(), 0);
}

// --- what identification learned ------------------------------------------------------------

TEST(UnitIdentity, ReadsLittleEndianFieldsAtTheirBlockOffsets) {
  std::array<std::uint8_t, ESC_INFO_BYTES> info{};
  for (std::size_t i = 0; i < info.size(); ++i) {
    info[i] = static_cast<std::uint8_t>(0x40 + i);
  }
  std::array<std::uint8_t, ESC_BOOT_INFO_BYTES> boot{};
  for (std::size_t i = 0; i < boot.size(); ++i) {
    boot[i] = static_cast<std::uint8_t>(0x80 + i);
  }
  UnitIdentity identity(2);
  identity.RecordEscInfo(info);
  identity.RecordEscBootInfo(boot);
  EXPECT_EQ(identity.escFirmwareVersion(), 0x4544);
  EXPECT_EQ(identity.escTypeId(), 0x83828180u);
  EXPECT_EQ(identity.escBootloaderVersion(), 0x87868584u);

  UnitIdentity updated = identity;
  updated.RecordInstalledFirmware(0x0A07);
  EXPECT_EQ(updated.escFirmwareVersion(), 0x0A07);
  EXPECT_NE(updated, identity);
  updated.RecordInstalledFirmware(0x4544);
  EXPECT_EQ(updated, identity) << "the version is the only thing an update changes";
}

}  // namespace
