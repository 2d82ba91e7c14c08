// Figures for tools/bench (not tests: nothing here fails on a figure): the full update's wall
// time and the program's peak working set, and its start-up time against a minimal dialog.
#include <windows.h>
// windows.h first: psapi.h needs its types.
#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/win32/scoped_handle.h"
#include "protocol/unit_report.h"
#include "resources/resource_ids.h"
#include "tests/e2e/driver/hardening.h"

namespace e2e {

namespace {

constexpr int kStarts = 7;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

std::wstring Beside(const wchar_t* name) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring dir = self;
  dir.resize(dir.find_last_of(L"\\/"));
  return dir + L"\\" + name;
}

// The CPU time the process has used so far (user and kernel), in milliseconds; 0 if unreadable.
double CpuMs(HANDLE process) {
  FILETIME created{}, ended{}, kernel{}, user{};
  if (process == nullptr || !GetProcessTimes(process, &created, &ended, &kernel, &user))
    return 0;
  const auto ms = [](const FILETIME& t) {
    return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) /
           10000.0;
  };
  return ms(kernel) + ms(user);
}

// The unit's share of one start-up: from its first request to its last reply, as the unit's clock
// (whole milliseconds) sees them; negative when the start-up sent nothing or got no reply.
double ExchangesMs(const std::vector<sim::RecordedRequest>& r, std::size_t from) {
  if (r.size() <= from || !r.back().replyTimeMs)
    return -1;
  return static_cast<double>(*r.back().replyTimeMs) - static_cast<double>(r[from].timeMs);
}

// From CreateProcess to the dialog visible with text in its hint control.
double StartupMs(Session& s, const std::wstring& exe) {
  Program p(s.checks(), exe, s.bus().name());
  const double start = NowMs();
  p.Start();
  p.WaitForDialogWindow(20000);
  double shown = 0;
  WaitUntil(
      s.checks(), 20000, "the start-up hint",
      [&] {
        if (!IsWindowVisible(p.dialog()) || p.ItemText(IDC_HINT).empty())
          return false;
        shown = NowMs();
        return true;
      },
      1);
  p.Close();
  return shown - start;
}

void RunStartup(Session& s) {
  const std::wstring minimal = Beside(L"e2e_minimal_dialog.exe");
  Program::ConfigureWine(minimal, true);
  BusDeviceServer& unit = s.Plug(ReadyUnit());
  std::vector<double> program, yardstick, exchanges;
  StartupMs(s, s.settings().exePath);  // once unmeasured: the first start loads Wine's files
  StartupMs(s, minimal);
  for (int i = 0; i < kStarts; ++i) {
    const std::size_t before = unit.RequestCount();
    program.push_back(StartupMs(s, s.settings().exePath));
    const double spent = ExchangesMs(unit.Requests(), before);
    if (spent >= 0)
      exchanges.push_back(spent);
    yardstick.push_back(StartupMs(s, minimal));
  }
  const double a = Median(program), b = Median(yardstick);
  double unitMs = 0;
  for (double e : exchanges)
    unitMs += e;
  unitMs = exchanges.empty() ? 0 : unitMs / static_cast<double>(exchanges.size());
  std::printf(
      "BENCH startup: program %.1f ms, minimal dialog %.1f ms (medians of %d), ratio %.3f\n", a, b,
      kStarts, b > 0 ? a / b : 0.0);
  // The goal for the program: 1.2 times the minimal dialog, plus what the unit's identification
  // exchanges take (the minimal dialog has no unit to ask).
  std::printf(
      "BENCH startup goal: the unit's exchanges %.1f ms a start (mean of %zu, first request to "
      "last "
      "reply); goal 1.2 x %.1f + %.1f = %.1f ms, program %.1f ms: %s\n",
      unitMs, exchanges.size(), b, unitMs, 1.2 * b + unitMs, a,
      a <= 1.2 * b + unitMs ? "met" : "NOT met");
  std::fflush(stdout);
}

// Where the time of a transfer block goes, as the unit sees it: from a block's request to its reply
// being readable (the unit's own share), and from there to the next block's request (the
// program's: reading the reply, its progress window, the 20 ms wait, writing the next request).
// The unit's clock counts whole milliseconds; over ~2,000 blocks whose phase against it is
// random, the means are still good to a few microseconds.
void PrintBlockSplit(const std::vector<sim::RecordedRequest>& r) {
  double unitMs = 0, programMs = 0;
  std::size_t blocks = 0;
  for (std::size_t i = 0; i + 1 < r.size(); ++i) {
    const bool block = r[i].bytes.size() > 1 && r[i].bytes[1] == CMD_WRITE_BLOCK;
    const bool nextBlock = r[i + 1].bytes.size() > 1 && r[i + 1].bytes[1] == CMD_WRITE_BLOCK;
    if (!block || !nextBlock || !r[i].replyTimeMs)
      continue;
    unitMs += static_cast<double>(*r[i].replyTimeMs) - static_cast<double>(r[i].timeMs);
    programMs += static_cast<double>(r[i + 1].timeMs) - static_cast<double>(*r[i].replyTimeMs);
    ++blocks;
  }
  if (blocks == 0)
    return;
  std::printf(
      "BENCH block: %.3f ms per block from request to request over %zu blocks: %.3f ms from "
      "request to readable reply, %.3f ms from there to the next request (20 ms of it the "
      "wait)\n",
      (unitMs + programMs) / static_cast<double>(blocks), blocks,
      unitMs / static_cast<double>(blocks), programMs / static_cast<double>(blocks));
}

void RunFullUpdate(Session& s) {
  Checks& k = s.checks();
  Program& p = s.program();
  BusDeviceServer& unit = s.Plug(ReadyUnit());
  p.Start();
  p.WaitForDialog();
  const double pressed = NowMs();
  p.PressButton(IDC_UPDATE);
  MessageBoxInfo warning = p.WaitForBox(10000, "the warning box");
  p.AnswerBox(warning, IDOK);
  const double answered = NowMs();
  // No message is sent while the program transfers (it pumps none); its progress window's end
  // is seen without one, and then the success hint is read at once.
  HWND progress = nullptr;
  double successAt = 0;
  // The program's own CPU time while its progress window is up (the transfer), which the machine's
  // load moves far less than the wall time.
  const KernelObject times(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, p.pid()));
  double cpuAtOpen = 0, cpuAtClose = 0;
  WaitUntil(
      k, 180000, "the success hint",
      [&] {
        if (!p.Running())
          k.Abort("the program ended during the update");
        if (progress == nullptr) {
          progress = p.ProgressWindow();
          if (progress != nullptr)
            cpuAtOpen = CpuMs(times.get());
          return false;
        }
        if (IsWindow(progress))
          return false;
        if (cpuAtClose == 0)
          cpuAtClose = CpuMs(times.get());
        if (!p.Responds(200))
          return false;
        if (p.ItemText(IDC_HINT) != Msg(IDS_SUCCESS, s.lang())) {
          if (!p.OwnedBoxes().empty())
            k.Abort("the update failed: " + Printable(p.ReadBox(p.OwnedBoxes().front()).text));
          return false;
        }
        successAt = NowMs();
        return true;
      },
      1);
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  KernelObject process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, p.pid()));
  const bool haveMemory = process.valid() &&
                          GetProcessMemoryInfo(process.get(), &memory, sizeof memory) &&
                          memory.PeakWorkingSetSize != 0;
  const std::size_t blocks = BlockCount(s.image());
  const double minimum = 5080 + static_cast<double>(blocks) * 20.0;
  const double wall = successAt - pressed;
  std::printf(
      "BENCH update: %.3f s from the Update press to the success hint; minimum %.3f s; "
      "ratio %.4f (%.2f s of it at the warning box; %zu requests)\n",
      wall / 1000, minimum / 1000, wall / minimum, (answered - pressed) / 1000,
      unit.RequestCount());
  PrintBlockSplit(unit.Requests());
  if (cpuAtOpen > 0 && cpuAtClose > cpuAtOpen)
    std::printf(
        "BENCH cpu: %.1f us of the program's CPU time per block while the progress window "
        "was up (%.0f ms over %zu blocks)\n",
        (cpuAtClose - cpuAtOpen) * 1000 / static_cast<double>(blocks), cpuAtClose - cpuAtOpen,
        blocks);
  if (haveMemory) {
    std::printf("BENCH peak working set: %.2f MiB\n",
                static_cast<double>(memory.PeakWorkingSetSize) / (1024.0 * 1024.0));
  } else {
    std::printf("BENCH peak working set: not available (error %lu)\n", GetLastError());
  }
  std::fflush(stdout);
  k.Expect(unit.Flash() == expected::FlashAfterUpdate(s.image()),
           "the unit's flash should hold the image");
  s.CloseAndFinish();
}

}  // namespace

std::vector<Scenario> BenchScenarios() {
  return {{"startup", RunStartup}, {"full-update", RunFullUpdate}};
}

}  // namespace e2e
