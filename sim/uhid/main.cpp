// The simulated programming unit on the kernel's HID stack: a uhid device with the unit's report
// descriptor whose output reports the simulated unit answers. For tests in a guest system that
// has /dev/uhid; every program there meets it as a hidraw node, as it would meet a real unit.
//
//   uhid_unit --results DIR [--product 1|2] [--esc-version 0xNNNN] [--control DIR]
//             [--fault COMMAND:OCCURRENCE:KIND[:CODE]]...
//
// DIR receives `state` (plugged N / unplugged N), `requests.txt` (one line per request: plug-in
// number, microseconds at the request and at its reply or -1, the report in hex) and `flash.bin`
// (the flash of the unit plugged in last), rewritten at every change of state and at the end.
// A file named `unplug`, `plug` or `quit` put into the control folder is done and removed.
// Faults apply to the first plug-in only; `vanish` takes the device off the bus at that request.
// SIGTERM or SIGINT ends the program.
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/device_plan.h"
#include "sim/simulated_unit.h"
#include "sim/uhid/fault_option.h"
#include "sim/uhid/uhid_device.h"

namespace uhid_unit {
namespace {

constexpr std::uint16_t kBusUsb = 0x03;
constexpr int kPollMs = 20;

volatile sig_atomic_t stopRequested = 0;

void OnStopSignal(int) {
  stopRequested = 1;
}

// A ready unit with reports of the report-ID byte and 63 data bytes, both ways.
sim::DevicePlan Plan() {
  sim::DevicePlan plan;
  plan.name = "uhid";
  plan.inputReportLength = 64;
  plan.outputReportLength = 64;
  return plan;
}

std::uint64_t NowUs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::uint64_t>(t.tv_sec) * 1000000u +
         static_cast<std::uint64_t>(t.tv_nsec) / 1000u;
}

struct Options {
  std::string results;
  std::string control;
  sim::DevicePlan plan = Plan();
};

// One request as the unit saw it, with the times in microseconds (the model keeps milliseconds).
struct TraceLine {
  int plug = 0;
  std::uint64_t requestUs = 0;
  std::optional<std::uint64_t> replyUs;
  std::vector<std::uint8_t> bytes;
};

class UnitOnBus {
 public:
  explicit UnitOnBus(Options options) : options_(std::move(options)) {}

  bool Plug() {
    sim::DevicePlan plan = options_.plan;
    if (plugs_ > 0) {
      plan.faults.clear();
    }
    unit_ = sim::MakeUnit(plan);
    ++plugs_;
    const DeviceIdentity identity{"simulated programming unit", kBusUsb, plan.vendorId,
                                  plan.productId, sim::ReportDescriptorOf(plan)};
    if (!device_.Create(identity)) {
      std::fprintf(stderr, "uhid_unit: cannot create the device: %s\n", std::strerror(errno));
      return false;
    }
    WriteResults();
    return true;
  }

  void Unplug() {
    device_.Destroy();
    WriteResults();
  }

  // Serves the device until a stop; false when /dev/uhid fails.
  bool Serve() {
    while (stopRequested == 0) {
      if (!DoControlRequests()) {
        return true;
      }
      if (!device_.present()) {
        usleep(kPollMs * 1000);
        continue;
      }
      uhid_event event{};
      switch (device_.NextEvent(event, kPollMs)) {
        case UhidDevice::Wait::Timeout:
          continue;
        case UhidDevice::Wait::Failed:
          std::fprintf(stderr, "uhid_unit: reading /dev/uhid failed: %s\n", std::strerror(errno));
          return false;
        case UhidDevice::Wait::Event:
          break;
      }
      if (event.type == UHID_OUTPUT) {
        Answer(std::span<const std::uint8_t>(event.u.output.data, event.u.output.size));
      } else if (event.type == UHID_GET_REPORT || event.type == UHID_SET_REPORT) {
        device_.RefuseReportRequest(event);
      }
    }
    return true;
  }

  void WriteResults() const {
    WriteFile("state",
              (device_.present() ? "plugged " : "unplugged ") + std::to_string(plugs_) + "\n");
    std::string trace;
    for (const TraceLine& line : trace_) {
      char head[64];
      std::snprintf(head, sizeof head, "%d %llu %lld ", line.plug,
                    static_cast<unsigned long long>(line.requestUs),
                    line.replyUs ? static_cast<long long>(*line.replyUs) : -1LL);
      trace += head;
      for (std::uint8_t b : line.bytes) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", b);
        trace += hex;
      }
      trace += '\n';
    }
    WriteFile("requests.txt", trace);
    const std::vector<std::uint8_t>& flash = unit_->flash();
    WriteFile("flash.bin", std::string(flash.begin(), flash.end()));
  }

 private:
  void Answer(std::span<const std::uint8_t> report) {
    const std::uint64_t requestUs = NowUs();
    const std::size_t before = unit_->requests().size();
    if (!unit_->Write(report, requestUs / 1000)) {
      if (unit_->vanished()) {
        Unplug();
      }
      return;
    }
    if (unit_->requests().size() > before) {
      trace_.push_back({plugs_, requestUs, std::nullopt, {report.begin(), report.end()}});
    }
    std::vector<std::uint8_t> reply(options_.plan.inputReportLength);
    const std::uint64_t replyUs = NowUs();
    if (unit_->Read(reply, replyUs / 1000) != sim::SimulatedUnit::ReadOutcome::Reply) {
      return;  // a silent unit: the reader waits in vain
    }
    if (device_.SendInput(reply) && !trace_.empty()) {
      trace_.back().replyUs = replyUs;
    }
  }

  // Acts on the control files; false on `quit`.
  bool DoControlRequests() {
    if (options_.control.empty()) {
      return true;
    }
    if (Take("quit")) {
      return false;
    }
    if (Take("unplug") && device_.present()) {
      Unplug();
    }
    if (Take("plug") && !device_.present()) {
      Plug();
    }
    return true;
  }

  bool Take(const char* name) const {
    const std::string path = options_.control + "/" + name;
    struct stat s {};
    if (stat(path.c_str(), &s) != 0) {
      return false;
    }
    unlink(path.c_str());
    return true;
  }

  // Written beside and renamed, so a reader never sees half a file.
  void WriteFile(const std::string& name, const std::string& content) const {
    const std::string path = options_.results + "/" + name;
    {
      std::ofstream out(path + ".new", std::ios::binary | std::ios::trunc);
      out << content;
    }
    std::rename((path + ".new").c_str(), path.c_str());
  }

  Options options_;
  UhidDevice device_;
  std::shared_ptr<sim::SimulatedUnit> unit_;
  int plugs_ = 0;
  std::vector<TraceLine> trace_;  // every request of every plug-in, in order
};

bool ParseArguments(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) {
      return false;
    }
    const std::string value = argv[++i];
    if (arg == "--results") {
      options.results = value;
    } else if (arg == "--control") {
      options.control = value;
    } else if (arg == "--product" && (value == "1" || value == "2")) {
      options.plan.productId = static_cast<std::uint16_t>(std::stoi(value));
    } else if (arg == "--esc-version") {
      options.plan.unit.escFirmwareVersion =
          static_cast<std::uint16_t>(std::strtoul(value.c_str(), nullptr, 0));
    } else if (arg == "--unit-mode" && (value == "0" || value == "1" || value == "2")) {
      // 0 relays to the ESC; another mode is the "wrong mode" a user must change on the unit.
      options.plan.unit.unitMode = static_cast<std::uint8_t>(std::stoi(value));
    } else if (arg == "--fault") {
      const std::optional<sim::Fault> fault = ParseFault(value);
      if (!fault) {
        std::fprintf(stderr, "uhid_unit: not a fault: %s\n", value.c_str());
        return false;
      }
      options.plan.faults.push_back(*fault);
    } else {
      return false;
    }
  }
  const std::vector<std::string> unplayable = sim::Unplayable(options.plan, sim::Rig::Uhid);
  for (const std::string& what : unplayable) {
    std::fprintf(stderr, "uhid_unit: this device cannot play %s\n", what.c_str());
  }
  return !options.results.empty() && unplayable.empty();
}

}  // namespace
}  // namespace uhid_unit

int main(int argc, char** argv) {
  uhid_unit::Options options;
  if (!uhid_unit::ParseArguments(argc, argv, options)) {
    std::fprintf(
        stderr,
        "usage: uhid_unit --results DIR [--product 1|2] [--esc-version N] [--unit-mode 0|1|2] "
        "[--control DIR] [--fault COMMAND:OCCURRENCE:KIND[:CODE]]...\n");
    return 2;
  }
  struct sigaction action {};
  action.sa_handler = uhid_unit::OnStopSignal;  // no SA_RESTART: poll returns at once
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);

  uhid_unit::UnitOnBus unit(options);
  if (!unit.Plug()) {
    return 1;
  }
  const bool served = unit.Serve();
  unit.Unplug();
  return served ? 0 : 1;
}
