// Updates that fail: each stage's failure with its texts and numbers, a unit that stops
// answering, a unit unplugged during the transfer, and the unit chosen with --device.
#include <cerrno>
#include <cstdio>
#include <string>
#include <thread>

#include "tests/cli_e2e/scenario.h"
#include "tests/support/stage_failures.h"

namespace cli_e2e {
namespace {

std::string Hex8(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

// What the program prints when an update fails: the error box's caption and text, then the hint.
std::string FailureOutput(MessageId message, std::int32_t result, std::uint32_t osError) {
  std::string box = Text(message);
  if (result != -1) {
    box += "\nThe system shows following errorcode: 0x" + Hex8(static_cast<std::uint32_t>(result)) +
           "-0x" + Hex8(osError);
  }
  return "\n" + Text(IDS_UPDATE_FAILED) + "\n" + box + "\n\n" + Text(IDS_RETRY_HINT) + "\n";
}

// The errno the stand-in gives the program per fault; a reply that was read and judged carries
// none.
std::uint32_t OsErrorOf(sim::FaultKind fault) {
  switch (fault) {
    case sim::FaultKind::WriteFailure:
    case sim::FaultKind::ReadFailure:
      return EIO;
    case sim::FaultKind::Silent:
      return ETIMEDOUT;
    case sim::FaultKind::Vanish:
      return ENODEV;
    case sim::FaultKind::Refuse:
    case sim::FaultKind::FailFlag:
      return 0;
  }
  return 0;
}

class StageFailure : public Scenario,
                     public ::testing::WithParamInterface<stage_failures::StageFailure> {};

TEST_P(StageFailure, EndsWithTheErrorBoxTextAndTheStagesExitStatus) {
  const stage_failures::StageFailure& c = GetParam();
  const std::uint32_t osError = OsErrorOf(c.fault);
  sim::DevicePlan plan;
  plan.faults = {c.Fault(kBlocks)};
  const std::string path = bus.Plug(plan);

  const standin::ProgramResult result = Run({"update", "--yes"});
  EXPECT_EQ(result.exitCode, c.exitStatus) << result.err;
  // The conversation comes first on the error stream; the failure ends it. After a refusal the
  // second number is 0, not whatever errno a later call left behind.
  EXPECT_TRUE(result.err.ends_with(FailureOutput(c.message, c.result, osError))) << result.err;
  ExpectUpdateRequests(path, c.RequestsSent(kBlocks));
  EXPECT_EQ(bus.OpenConnections(path), 0);

  // The failure is on record, and history shows it with both numbers.
  const standin::ProgramResult history = Run({"history"});
  EXPECT_EQ(history.exitCode, 0) << history.err;
  EXPECT_TRUE(Contains(history.out, "  " + path + "  ")) << history.out;
  if (c.result != -1) {
    EXPECT_TRUE(Contains(history.out,
                         "0x" + Hex8(static_cast<std::uint32_t>(c.result)) + "-0x" + Hex8(osError)))
        << history.out;
  }
}

INSTANTIATE_TEST_SUITE_P(Stages, StageFailure,
                         ::testing::ValuesIn(stage_failures::RowsFor(stage_failures::kStandIn)),
                         [](const auto& info) { return info.param.Name(); });

TEST_F(Scenario, SilentUnitFailsAfterTheReadTimeOutWithoutHanging) {
  sim::DevicePlan plan;
  plan.faults = {{0x1B, 2, sim::FaultKind::Silent}};
  const std::string path = bus.Plug(plan);

  const standin::ProgramResult result = Run({"update", "--yes"});
  EXPECT_EQ(result.exitCode, 14);
  EXPECT_TRUE(result.err.ends_with(FailureOutput(IDS_WRITE_BLOCK_FAILED, -3, ETIMEDOUT)))
      << result.err;
  EXPECT_GE(result.elapsed, 10s + 5080ms) << "the read waits its whole time-out";
  ExpectUpdateRequests(path, 6);
}

TEST_F(Scenario, UnpluggedDuringTheTransferFailsTheNextBlock) {
  const std::string path = bus.Plug({});
  standin::ChildProcess program(Program({"update", "--yes"}));
  ASSERT_TRUE(program.WaitForError(Text(IDS_TRANSFER_RUNNING), 30s)) << program.ErrorSoFar();
  // Some blocks into the transfer, the unit goes.
  for (int i = 0; i < 200 && UpdateRequests(path).size() < 4 + 10; ++i) {
    std::this_thread::sleep_for(20ms);
  }
  bus.Unplug(path);
  const standin::ProgramResult result = program.Finish();

  EXPECT_EQ(result.exitCode, 14) << result.err;
  const std::size_t sent = UpdateRequests(path).size();
  EXPECT_GE(sent, 4u + 10u);
  EXPECT_TRUE(Contains(result.err, Text(IDS_WRITE_BLOCK_FAILED) +
                                       "\nThe system shows following errorcode: 0xfffffffe-0x" +
                                       Hex8(ENODEV)))
      << result.err;
  ExpectUpdateRequests(path, sent);
}

TEST_F(Scenario, DeviceChoosesTheNamedUnitAndNeverOpensTheOther) {
  const std::string first = bus.Plug({});
  sim::DevicePlan second;
  second.productId = 1;
  second.faults = {{0x1B, 1, sim::FaultKind::Refuse, 0x16}};  // ends the run at its first block
  const std::string chosen = bus.Plug(second);

  const standin::ProgramResult result = Run({"update", "--yes", "--device", chosen});
  EXPECT_EQ(result.exitCode, 14) << result.err;
  EXPECT_TRUE(result.out.starts_with(chosen + "  TORVEX 1.2")) << result.out;
  EXPECT_EQ(bus.OpensGranted(first), 0);
  EXPECT_TRUE(bus.Requests(first).empty());
  ExpectUpdateRequests(chosen, 5);

  const standin::ProgramResult missing = Run({"update", "--yes", "--device", "/dev/hidraw77"});
  EXPECT_EQ(missing.exitCode, 3);
  EXPECT_EQ(missing.err, "There is no programming unit at /dev/hidraw77.\n");
}

TEST_F(Scenario, TwoInterruptsStopTheUpdateBetweenTwoRequests) {
  const std::string path = bus.Plug({});
  standin::ChildProcess program(Program({"update", "--yes"}));
  // Plain progress lines on a pipe: the first comes after a tenth of the blocks.
  ASSERT_TRUE(program.WaitForError(" 10%  ", 60s)) << program.ErrorSoFar();
  ASSERT_TRUE(Contains(program.ErrorSoFar(), kOfAllBlocks)) << program.ErrorSoFar();
  kill(program.pid(), SIGINT);
  std::this_thread::sleep_for(300ms);
  kill(program.pid(), SIGINT);
  const standin::ProgramResult result = program.Finish();

  EXPECT_EQ(result.exitCode, 15) << result.err;
  EXPECT_TRUE(Contains(result.err, Text(IDS_CLI_INTERRUPT_WARNING)));
  EXPECT_TRUE(result.err.ends_with(Text(IDS_CLI_INTERRUPTED) + "\n")) << result.err;
  const std::size_t sent = UpdateRequests(path).size();
  EXPECT_LT(sent, 4u + kBlocks) << "the transfer stopped";
  ExpectUpdateRequests(path, sent);  // whole blocks only, and no closing pair
  EXPECT_EQ(bus.OpenConnections(path), 0);
}

}  // namespace
}  // namespace cli_e2e
