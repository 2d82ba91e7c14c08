#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_context.h"
#include "cli/commands.h"
#include "cli/text_console.h"
#include "cli/unit_bus.h"
#include "platform/posix/console.h"
#include "protocol/unit_filter.h"
#include "sim/sim_transport.h"
#include "sim/simulated_unit.h"
#include "tests/support/fake_claims.h"
#include "tests/support/fake_clock.h"
#include "tests/support/sim_units.h"
#include "texts/message_catalogue.h"
#include "texts/text_encoding.h"
#include "update/update_guard.h"
#include "update/update_record.h"

// What the program printed and read: the two streams as the user sees them (UTF-8, "\n").
class RecordingConsole final : public Console {
 public:
  bool Out(std::string_view bytes) override {
    if (outputFails) {
      lost = true;
      return false;
    }
    out += bytes;
    return true;
  }
  void Err(std::string_view bytes) override { err += bytes; }
  bool OutputLost() const override { return lost; }
  std::string OutputError() const override { return "No space left on device"; }
  int ProgressColumns() const override { return progressColumns; }
  bool CanAsk() override { return inputIsTerminal; }
  void Ask(std::string_view bytes) override { err += bytes; }
  std::optional<std::string> ReadLine() override {
    if (input.empty()) {
      return std::nullopt;
    }
    std::string line = input.front();
    input.pop_front();
    err += line + "\n";  // a terminal echoes what is typed, after the prompt
    return line;
  }

  std::string out;
  std::string err;
  bool outputFails = false;  // as on a full disk or a closed pipe
  bool lost = false;         // an Out failed
  int progressColumns = 0;   // 0: no terminal to redraw a line on
  bool inputIsTerminal = false;
  std::deque<std::string> input;
};

// The time of day for the records: 2026-12-11 07:00:00 UTC, moved on by the virtual clock.
class VirtualWallClock final : public WallClock {
 public:
  explicit VirtualWallClock(const NoWaitClock& clock) : clock_(clock) {}
  std::int64_t UtcMilliseconds() override {
    return 1796972400000 + static_cast<std::int64_t>(clock_.nowMs);
  }

 private:
  const NoWaitClock& clock_;
};

// The records' lines as they were handed over.
class CollectedRecords final : public UpdateRecordSink {
 public:
  void Append(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

// The simulated bus as the command line sees it.
class SimUnitBus final : public UnitBus {
 public:
  explicit SimUnitBus(sim::SimTransport& transport) : transport_(transport) {}

  std::vector<UnitListing> ListUnits() override {
    std::vector<UnitListing> units;
    for (const sim::SimDevice& device : transport_.devices()) {
      if (IsProgrammingUnit({device.plan.vendorId, device.plan.productId})) {
        units.push_back({device.path, device.plan.productId});
      }
    }
    return units;
  }
  ResultCode OpenPath(const std::string& path, OpenedDevice& out) override {
    bool denied = false;
    const ResultCode result = transport_.OpenPath(path, out, denied);
    if (denied) {
      denied_.push_back(path);
    }
    return result;
  }
  std::vector<std::string> DeniedPaths() const override {
    std::vector<std::string> denied = denied_;
    for (const sim::SimDevice& device : transport_.devices()) {
      if (device.plan.accessDenied) {
        denied.push_back(device.path);
      }
    }
    return denied;
  }

 private:
  sim::SimTransport& transport_;
  std::vector<std::string> denied_;
};

class FixedAccessAdvice final : public AccessAdvice {
 public:
  std::wstring Explain(const std::string&, const Catalogue&) const override {
    return L"(how to get access)";
  }
};

// The user's interrupts, as the procedure asks about them: a stop is requested from the given
// question on (0: never).
class FakeShield final : public UpdateGuard, public StopRequest {
 public:
  void Raise() override { ++raised; }
  void Lower() override { ++lowered; }
  const StopRequest& stop() const override { return *this; }
  bool Requested() const override { return stopAtQuestion != 0 && ++questions >= stopAtQuestion; }

  int raised = 0;
  int lowered = 0;
  std::size_t stopAtQuestion = 0;
  mutable std::size_t questions = 0;
};

// The command line over the simulated bus, a virtual clock and a recording console.
class CliTest : public ::testing::Test {
 protected:
  CliTest()
      : transport([this] { return clock.nowMs; }), bus(transport), claiming(transport, claims) {}

  std::shared_ptr<sim::SimulatedUnit> Plug(const std::string& path, sim::UnitConfig config = {},
                                           std::uint16_t productId = 2) {
    return sim_units::Plug(transport, path, config, productId);
  }

  int Run(std::vector<std::string> args) {
    CliContext context{textConsole,
                       *texts,
                       bus,
                       claiming,
                       clock,
                       shield,
                       CarriedFirmware{image, digest},
                       standin,
                       access,
                       *system,
                       {"/usr/lib/udev/rules.d/70-pelora-update.rules",
                        "/etc/udev/rules.d/70-pelora-update.rules"},
                       wallClock,
                       *records,
                       recordPath};
    return RunCommandLine(args, context);
  }

  void UseLanguage(Language language) { texts.emplace(language); }
  std::string T(MessageId id) const { return Utf8FromWide(texts->Text(id)); }

  NoWaitClock clock;
  VirtualWallClock wallClock{clock};
  CollectedRecords collected;
  UpdateRecordSink* records = &collected;  // a test of the record file gives its own
  std::string recordPath;                  // what `history` reads
  sim::SimTransport transport;
  SimUnitBus bus;
  FakeClaims claims;
  ClaimingTransport claiming;
  FixedAccessAdvice access;
  bool standin = false;
  RecordingConsole console;
  TextConsole textConsole{console};
  FakeShield shield;
  std::optional<TableCatalogue> texts{Language::English};
  std::vector<std::uint8_t> image;
  Sha256Digest digest{};  // what the build recorded; a test sets it with its image
  // The system doctor reads: a folder that does not exist unless a test makes a tree there.
  std::optional<SystemTree> system{std::in_place, "/nonexistent-system-tree", UserFacts{}};
};
