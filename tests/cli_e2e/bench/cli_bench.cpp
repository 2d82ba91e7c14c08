// Figures for tools/bench about the command line (not a test: no figure fails anything):
//   - a whole update by the real pelora-update against the simulated unit, wall time against the
//     45.82 s of waits the update must make;
//   - each kind of wait's overshoot: measured around the wait (MonotonicWaiter, the
//     program's waits, in this process), and as the program shows it on the wire (the gap between
//     two requests minus the wait between them, so it includes one request's exchange);
//   - two units updated at once by two processes, against one alone.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <map>
#include <string>
#include <vector>

#include "build_facts.h"
#include "platform/posix/monotonic_waiter.h"
#include "tests/hidapi_standin/driver/child_process.h"
#include "tests/hidapi_standin/driver/standin_bus.h"

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kBlocks = build_facts::kImageBlocks;
constexpr double kMandatedMs = 5080 + static_cast<double>(kBlocks) * 20.0;
constexpr std::size_t kIdentifyRequests = 3;

struct Figures {
  double sum = 0;
  double largest = 0;
  std::size_t count = 0;
  void Add(double value) {
    sum += value;
    largest = std::max(largest, value);
    ++count;
  }
  double mean() const { return count == 0 ? 0 : sum / static_cast<double>(count); }
};

void Print(const char* what, const std::map<std::string, Figures>& kinds, const char* unit) {
  std::printf("BENCH %s:\n", what);
  for (const auto& [name, figures] : kinds) {
    std::printf("  %-28s mean %8.3f %s, largest %8.3f %s (%zu waits)\n", name.c_str(),
                figures.mean(), unit, figures.largest, unit, figures.count);
  }
}

// The update's waits, in order, with the name of their kind.
std::vector<std::pair<std::string, std::uint32_t>> UpdateWaits() {
  std::vector<std::pair<std::string, std::uint32_t>> waits = {
      {"20 ms before a stage", 20},  {"20 ms before a stage", 20},
      {"1000 ms erase reply", 1000}, {"4000 ms after the erase", 4000},
      {"20 ms before a stage", 20},  {"20 ms before a stage", 20}};
  for (std::size_t i = 0; i < kBlocks; ++i) {
    waits.emplace_back("20 ms after a block", 20);
  }
  return waits;
}

standin::ProgramOptions UpdateOf(const standin::StandinBus& bus, const std::string& device) {
  standin::Environment environment = bus.ProgramEnvironment();
  environment.emplace_back("LANG", "C.UTF-8");
  environment.emplace_back("LC_ALL", "");
  return {{PELORA_UPDATE, "update", "--yes", "--device", device}, environment, 180s};
}

// The gaps between the update's requests minus the wait the program makes between them.
void WireOvershoots(const std::vector<sim::RecordedRequest>& all) {
  if (all.size() != kIdentifyRequests + 4 + kBlocks + 2) {
    std::printf("BENCH wire overshoot: not measured (%zu requests)\n", all.size());
    return;
  }
  const std::vector<sim::RecordedRequest> requests(all.begin() + kIdentifyRequests, all.end());
  std::map<std::string, Figures> kinds;
  const auto gap = [&](std::size_t i) {
    return static_cast<double>(requests[i].timeMs - requests[i - 1].timeMs);
  };
  kinds["20 ms before a stage"].Add(gap(1) - 20);
  kinds["20 ms before a stage"].Add(gap(2) - 20);
  kinds["erase: 1000 + 4000 + 20 ms"].Add(gap(3) - 5020);
  kinds["20 ms before a stage"].Add(gap(4) - 20);  // the transfer's, after the address
  for (std::size_t i = 5; i < 4 + kBlocks; ++i) {
    kinds["20 ms after a block"].Add(gap(i) - 20);
  }
  kinds["20 ms after a block"].Add(gap(4 + kBlocks) - 20);
  Print("overshoot as seen on the wire (gap minus wait; includes one exchange, 1 ms steps)", kinds,
        "ms");
}

double SecondsOf(std::chrono::milliseconds elapsed) {
  return static_cast<double>(elapsed.count()) / 1000.0;
}

}  // namespace

int main() {
  // (1) One whole update.
  {
    standin::StandinBus bus;
    const std::string path = bus.Plug({});
    const standin::ProgramResult result = standin::RunProgram(UpdateOf(bus, path));
    const double wall = SecondsOf(result.elapsed);
    std::printf(
        "BENCH cli update: %.3f s from the start of pelora-update to its exit (exit status %d); "
        "mandated waits %.3f s; ratio %.4f\n",
        wall, result.exitCode, kMandatedMs / 1000, wall * 1000 / kMandatedMs);
    WireOvershoots(bus.Requests(path));
  }

  // (2) The waits themselves, made as the program makes them.
  {
    MonotonicWaiter waiter;
    std::map<std::string, Figures> kinds;
    for (const auto& [name, ms] : UpdateWaits()) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
      waiter.Wait(ms);
      const auto late = std::chrono::steady_clock::now() - deadline;
      const double overshoot =
          static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(late).count()) /
          1000.0;
      kinds[name].Add(overshoot);
      kinds["all waits"].Add(overshoot);
    }
    Print("wait overshoot, measured around the wait (monotonic clock)", kinds, "us");
  }

  // (3) Two units, two processes at once, against (1).
  {
    standin::StandinBus bus;
    const std::string first = bus.Plug({});
    const std::string second = bus.Plug({});
    auto one =
        std::async(std::launch::async, [&] { return standin::RunProgram(UpdateOf(bus, first)); });
    auto two =
        std::async(std::launch::async, [&] { return standin::RunProgram(UpdateOf(bus, second)); });
    const standin::ProgramResult a = one.get();
    const standin::ProgramResult b = two.get();
    std::printf(
        "BENCH cli two units at once: %.3f s and %.3f s (exit statuses %d, %d); ratios to the "
        "mandated waits %.4f and %.4f\n",
        SecondsOf(a.elapsed), SecondsOf(b.elapsed), a.exitCode, b.exitCode,
        SecondsOf(a.elapsed) * 1000 / kMandatedMs, SecondsOf(b.elapsed) * 1000 / kMandatedMs);
  }
  return 0;
}
