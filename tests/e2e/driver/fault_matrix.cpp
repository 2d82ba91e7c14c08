// The update's fault matrix: every stage against every fault, one row each.
#include <algorithm>
#include <cstdio>

#include "resources/resource_ids.h"
#include "tests/e2e/driver/hardening.h"

namespace e2e {

namespace {

constexpr std::uint8_t kLock = 0x0B, kWriteBlock = 0x1B, kErase = 0x1E, kSetAddress = 0x1F,
                       kProtect = 0x20;
// Requests of a ready unit's identification, before the update's first.
constexpr std::size_t kIdentifyRequests = 3;
// The program's time-out on a reply that never comes.
constexpr double kReplyTimeoutMs = 10000;

enum class Stage { Lock, Protect, Erase, Address, FirstBlock, MiddleBlock, FinalBlock };
enum class Fault { WriteFailure, ReadFailure, Silent, Removed };

// What differs by stage: its name in the test's name, its request's command and the message a
// failure there shows.
struct StageFacts {
  const char* name;
  std::uint8_t command;
  MessageId message;
};

StageFacts FactsOf(Stage s) {
  switch (s) {
    case Stage::Lock:
      return {"lock", kLock, IDS_LOCK_FAILED};
    case Stage::Protect:
      return {"protection-release", kProtect, IDS_PROTECT_FAILED};
    case Stage::Erase:
      return {"erase", kErase, IDS_ERASE_FAILED};
    case Stage::Address:
      return {"address", kSetAddress, IDS_SET_ADDRESS_FAILED};
    case Stage::FirstBlock:
      return {"first-block", kWriteBlock, IDS_WRITE_BLOCK_FAILED};
    case Stage::MiddleBlock:
      return {"middle-block", kWriteBlock, IDS_WRITE_BLOCK_FAILED};
    case Stage::FinalBlock:
      return {"final-block", kWriteBlock, IDS_WRITE_BLOCK_FAILED};
  }
  return {"?", 0, IDS_WRITE_BLOCK_FAILED};
}

const char* NameOf(Fault f) {
  switch (f) {
    case Fault::WriteFailure:
      return "write-failure";
    case Fault::ReadFailure:
      return "read-failure";
    case Fault::Silent:
      return "silent";
    case Fault::Removed:
      return "removed";
  }
  return "?";
}

// The middle block is taken early: every block before a failure costs the run 20 ms.
constexpr std::size_t kMiddleBlock = 2;

// 1-based number of the stage's write-block request, 0 for the stages before the transfer.
std::size_t BlockOf(Stage s, const std::vector<std::uint8_t>& image) {
  switch (s) {
    case Stage::FirstBlock:
      return 1;
    case Stage::MiddleBlock:
      return kMiddleBlock;
    case Stage::FinalBlock:
      return BlockCount(image);
    default:
      return 0;
  }
}

// 0-based index of the stage's request among the update's requests.
std::size_t RequestIndex(Stage s, const std::vector<std::uint8_t>& image) {
  const std::size_t block = BlockOf(s, image);
  return block != 0 ? 4 + block - 1 : static_cast<std::size_t>(s);
}

struct Row {
  Stage stage;
  Fault fault;
};

// The result the program must report.
std::int32_t ExpectedResult(Fault fault) {
  switch (fault) {
    case Fault::WriteFailure:
    case Fault::Removed:
      return -2;  // the program was still holding the unit's handle
    case Fault::ReadFailure:
    case Fault::Silent:
      return -3;
  }
  return 0;
}

// The rows are the faults of the platform: a write or a read that fails, a unit gone, a unit
// that never answers. How each reply is judged (a refusal, a failing flag) is the same code on
// every platform; the host tests prove it for every request and stage, and the "failures" group
// shows each stage's refusal here once. A unit that never answers takes the same time-out for
// every request, so it has one row per part. The final block alone costs ~46 s of mandated waits,
// so it gets the one row whose handling differs there: a unit gone at that point (no reply read,
// the removal broadcast handled inside the box).
std::vector<Row> RowsOf(const std::string& part) {
  std::vector<Row> rows;
  auto platformFaults = [&](Stage s) {
    for (Fault f : {Fault::WriteFailure, Fault::ReadFailure, Fault::Removed}) {
      rows.push_back({s, f});
    }
  };
  if (part == "matrix-stages") {
    for (Stage s : {Stage::Lock, Stage::Protect, Stage::Erase, Stage::Address}) {
      platformFaults(s);
    }
    rows.push_back({Stage::Erase, Fault::Silent});
  } else if (part == "matrix-blocks") {
    platformFaults(Stage::FirstBlock);
    platformFaults(Stage::MiddleBlock);
    rows.push_back({Stage::MiddleBlock, Fault::Silent});
  } else if (part == "matrix-final") {
    rows.push_back({Stage::FinalBlock, Fault::Removed});
  }
  return rows;
}

void RunRow(Session& s, const Row& row) {
  Checks& k = s.checks();
  Program& p = s.program();
  const std::vector<std::uint8_t>& image = s.image();
  if (image.empty())
    k.Abort("the firmware image could not be read");
  const std::size_t index = RequestIndex(row.stage, image);

  DevicePlan plan = ReadyUnit();
  const std::uint8_t command = FactsOf(row.stage).command;
  const std::uint32_t occurrence =
      BlockOf(row.stage, image) != 0 ? static_cast<std::uint32_t>(BlockOf(row.stage, image)) : 1;
  switch (row.fault) {
    case Fault::ReadFailure:
      plan.faults.push_back({command, occurrence, sim::FaultKind::ReadFailure, 0, 0});
      break;
    case Fault::Silent:
      plan.faults.push_back({command, occurrence, sim::FaultKind::Silent, 0, 0});
      break;
    case Fault::WriteFailure:
    case Fault::Removed:
      // The connection ends after the previous reply: the stage's request cannot be written.
      plan.endAfterRequests = kIdentifyRequests + index;
      break;
  }
  // Requests the unit takes: through the faulty one, or up to it when it cannot be written.
  const bool requestTaken = row.fault != Fault::WriteFailure && row.fault != Fault::Removed;
  const std::size_t sent = index + (requestTaken ? 1 : 0);
  const std::int32_t result = ExpectedResult(row.fault);

  BusDeviceServer& unit = s.Plug(plan);
  p.Start();
  p.WaitForDialog();
  s.ExpectDialog(Msg(IDS_READY, s.lang()), true, {L"MAVIRA", L"1.2", L"1.5", L"3.2", true},
                 "start-up");
  p.PressButton(IDC_UPDATE);
  MessageBoxInfo warning = p.WaitForBox(10000, "the warning box");
  p.AnswerBox(warning, IDOK);

  // Bounded by the waits the run must make before the failure, plus the time-out and slack.
  const double budget = 5080 + 20.0 * static_cast<double>(BlockOf(row.stage, image)) +
                        (row.fault == Fault::Silent ? kReplyTimeoutMs : 0) + 30000;
  std::unique_ptr<AsyncSend> removal;
  HWND progress = nullptr;
  bool progressOpenAtBox = false;
  WaitUntil(k, budget, std::string("the failure box (no hang)"), [&] {
    if (!p.Running())
      k.Abort("the program ended before the failure box");
    if (progress == nullptr)
      progress = p.ProgressWindow();
    // Windows announces a removed unit; the program reads the broadcast only when it pumps.
    if (row.fault == Fault::Removed && removal == nullptr && unit.OpenConnections() == 0 &&
        unit.RequestCount() >= kIdentifyRequests + index) {
      s.bus().Unplug(unit);
      removal = p.SendDeviceChange(0x8004, unit.path());
    }
    if (p.OwnedBoxes().empty())
      return false;
    progressOpenAtBox = progress != nullptr && IsWindow(progress);
    return true;
  });
  const double boxAt = NowMs();
  if (row.fault == Fault::Removed && removal == nullptr) {
    s.bus().Unplug(unit);
    removal = p.SendDeviceChange(0x8004, unit.path());
  }
  MessageBoxInfo box = p.WaitForBox(10000, "the failure box to answer");
  const std::uint32_t osError = s.ExpectFailureBox(box, FactsOf(row.stage).message, result);
  k.Expect(!p.ItemEnabled(IDC_UPDATE), "Update disabled while the failure box is open");
  k.Expect(!progressOpenAtBox, "the progress window should be closed before the failure box");
  // A first block that fails at once leaves its window up too briefly to be seen for sure.
  const std::size_t block = BlockOf(row.stage, image);
  if (block == 0)
    k.Expect(progress == nullptr, "no progress window expected before the transfer");
  if (block > 1)
    k.Expect(progress != nullptr, "the progress window should have opened");
  k.Expect(osError != 0, "the code line's second number should carry the OS error of a " +
                             std::string(NameOf(row.fault)));
  std::vector<sim::RecordedRequest> r = unit.Requests();
  if (row.fault == Fault::Silent && r.size() == kIdentifyRequests + sent) {
    const double waited = boxAt - static_cast<double>(r.back().timeMs);
    k.Expect(waited >= kReplyTimeoutMs,
             "failure box " + std::to_string(static_cast<int>(waited)) +
                 " ms after the unanswered request, before the reply's time-out");
    k.Expect(osError == ERROR_TIMEOUT || osError == WAIT_TIMEOUT || osError == ERROR_SEM_TIMEOUT,
             "the OS error should report the time-out, got " + std::to_string(osError));
  }
  s.Screenshot("failure");
  p.AnswerBox(box, IDOK);
  if (removal)
    removal->Join(k, 10000, "the removal broadcast to be handled");
  ExpectFailedUpdateEnd(s, unit, sent);
  s.CloseAndFinish();
}

}  // namespace

std::vector<Scenario> FaultMatrixScenarios(const std::string& part) {
  std::vector<Scenario> out;
  for (const Row& row : RowsOf(part)) {
    out.push_back({std::string(FactsOf(row.stage).name) + "." + NameOf(row.fault),
                   [row](Session& s) { RunRow(s, row); }});
  }
  return out;
}

}  // namespace e2e
