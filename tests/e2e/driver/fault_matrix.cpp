// The update's fault matrix: the stage-failure table's Windows rows, the faults of the platform.
#include <algorithm>
#include <cstdio>

#include "resources/resource_ids.h"
#include "tests/e2e/driver/hardening.h"
#include "tests/support/stage_failures.h"

namespace e2e {

namespace {

// Requests of a ready unit's identification, before the update's first.
constexpr std::size_t kIdentifyRequests = 3;
// The program's time-out on a reply that never comes.
constexpr double kReplyTimeoutMs = 10000;

using Row = stage_failures::StageFailure;

// The rows are the faults of the platform: a write or a read that fails, a unit gone, a unit
// that never answers. How each reply is judged (a refusal, a failing flag) is the same code on
// every platform; the host tests prove it for every request and stage, and the "failures" group
// shows each stage's refusal here once. A unit that never answers takes the same time-out for
// every request, so it has one row per part. The final block alone costs ~46 s of mandated waits,
// so it gets the one row whose handling differs there: a unit gone at that point (no reply read,
// the removal broadcast handled inside the box). The parts split the table's Windows rows:
// "matrix-stages" before the transfer, "matrix-blocks" its first blocks, "matrix-final" its
// final block.
std::vector<Row> RowsOf(const std::string& part) {
  std::vector<Row> rows;
  for (const Row& row : stage_failures::RowsFor(stage_failures::kWindows)) {
    const bool transfer = row.stage == UpdateStage::Transfer;
    const bool final = transfer && row.block == stage_failures::kFinalBlock;
    if ((part == "matrix-stages" && !transfer) || (part == "matrix-blocks" && transfer && !final) ||
        (part == "matrix-final" && final)) {
      rows.push_back(row);
    }
  }
  return rows;
}

void RunRow(Session& s, const Row& row) {
  Checks& k = s.checks();
  Program& p = s.program();
  const std::vector<std::uint8_t>& image = s.image();
  if (image.empty())
    k.Abort("the firmware image could not be read");
  const std::uint32_t blocks = static_cast<std::uint32_t>(BlockCount(image));
  const std::size_t index = row.RequestIndex(blocks);
  const bool removed = row.fault == sim::FaultKind::Vanish;
  const std::size_t block = row.stage == UpdateStage::Transfer ? row.Block(blocks) : 0;

  DevicePlan plan = ReadyUnit();
  switch (row.fault) {
    case sim::FaultKind::WriteFailure:
    case sim::FaultKind::Vanish:
      // The connection ends after the previous reply: the stage's request cannot be written.
      plan.endAfterRequests = kIdentifyRequests + index;
      break;
    default:
      plan.faults.push_back(row.Fault(blocks));
      break;
  }
  const std::size_t sent = row.RequestsSent(blocks);

  BusDeviceServer& unit = s.Plug(plan);
  p.Start();
  p.WaitForDialog();
  s.ExpectDialog(Msg(IDS_READY, s.lang()), true, {L"MAVIRA", L"1.2", L"1.5", L"3.2", true},
                 "start-up");
  p.PressButton(IDC_UPDATE);
  MessageBoxInfo warning = p.WaitForBox(10000, "the warning box");
  p.AnswerBox(warning, IDOK);

  // Bounded by the waits the run must make before the failure, plus the time-out and slack.
  const double budget = 5080 + 20.0 * static_cast<double>(block) +
                        (row.fault == sim::FaultKind::Silent ? kReplyTimeoutMs : 0) + 30000;
  std::unique_ptr<AsyncSend> removal;
  HWND progress = nullptr;
  bool progressOpenAtBox = false;
  WaitUntil(k, budget, std::string("the failure box (no hang)"), [&] {
    if (!p.Running())
      k.Abort("the program ended before the failure box");
    if (progress == nullptr)
      progress = p.ProgressWindow();
    // Windows announces a removed unit; the program reads the broadcast only when it pumps.
    if (removed && removal == nullptr && unit.OpenConnections() == 0 &&
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
  if (removed && removal == nullptr) {
    s.bus().Unplug(unit);
    removal = p.SendDeviceChange(0x8004, unit.path());
  }
  MessageBoxInfo box = p.WaitForBox(10000, "the failure box to answer");
  const std::uint32_t osError = s.ExpectFailureBox(box, row.message, row.result);
  k.Expect(!p.ItemEnabled(IDC_UPDATE), "Update disabled while the failure box is open");
  k.Expect(!progressOpenAtBox, "the progress window should be closed before the failure box");
  // A first block that fails at once leaves its window up too briefly to be seen for sure.
  if (block == 0)
    k.Expect(progress == nullptr, "no progress window expected before the transfer");
  if (block > 1)
    k.Expect(progress != nullptr, "the progress window should have opened");
  k.Expect(osError != 0,
           "the code line's second number should carry the OS error of " + row.Name());
  std::vector<sim::RecordedRequest> r = unit.Requests();
  if (row.fault == sim::FaultKind::Silent && r.size() == kIdentifyRequests + sent) {
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
    out.push_back({row.Name(), [row](Session& s) { RunRow(s, row); }});
  }
  return out;
}

}  // namespace e2e
