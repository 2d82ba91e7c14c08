#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialog/dialog_logic.h"
#include "dialog/dialog_view.h"
#include "protocol/claiming_transport.h"
#include "protocol/device_event.h"
#include "protocol/unit_link.h"
#include "sim/sim_transport.h"
#include "sim/simulated_unit.h"
#include "tests/support/fake_claims.h"
#include "tests/support/recording_clock.h"
#include "tests/support/recording_progress.h"
#include "tests/support/recording_view.h"
#include "tests/support/sim_units.h"
#include "tests/support/timeline.h"
#include "texts/message_catalogue.h"
#include "update/firmware_package.h"
#include "update/sha256.h"

// Paths as Windows gives them (the comparison of a removal's path folds A to Z only).
inline constexpr char kUnitPath[] =
    "\\\\?\\hid#vid_1209&pid_0002#7&1a2b3c4d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
inline constexpr char kOtherPath[] =
    "\\\\?\\hid#vid_046d&pid_c077#7&99&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";

// The dialog logic over the simulated bus: a fake clock, recording dialog and progress display,
// the built-in English table, and no image until a test gives one.
class LogicTest : public ::testing::Test {
 protected:
  LogicTest()
      : clock(timeline),
        transport([this] { return clock.nowMs; }),
        claiming(transport, claims),
        link(claiming, clock),
        view(timeline),
        progress(timeline) {
    Rewire();
  }

  // The logic objects keep no state of their own, so they can be built again at any time, for
  // example over another image or in another language.
  void Rewire() {
    logic.reset();
    logic.emplace(DialogLogic::Seams{view, link, *catalogue, progress, clock},
                  CarriedFirmware{image, digest}, busyText);
  }

  // Texts from `other` instead of the built-in table (it must outlive the test).
  void UseCatalogue(const Catalogue& other) {
    catalogue = &other;
    Rewire();
  }

  // The image the build carries, with the digest the build recorded for it (by default its own).
  void UseImage(std::vector<std::uint8_t> bytes) {
    const Sha256Digest recorded = Sha256Of(bytes);
    UseImage(std::move(bytes), recorded);
  }
  void UseImage(std::vector<std::uint8_t> bytes, const Sha256Digest& recorded) {
    image = std::move(bytes);
    digest = recorded;
    Rewire();
  }

  VersionPanel& panel() { return logic->panel; }
  ConnectionView& connection() { return logic->connection; }
  ErrorReporter& reporter() { return logic->reporter; }
  UpdateRunner& runner() { return logic->runner; }

  // Puts a programming unit on the bus (last in enumeration order).
  std::shared_ptr<sim::SimulatedUnit> Plug(const DevicePath& path, sim::UnitConfig config = {},
                                           std::uint16_t productId = 2) {
    return sim_units::Plug(transport, path, config, productId);
  }

  static DeviceEvent Arrival(const DevicePath& path, bool deviceInterface = true) {
    return {DeviceChange::Arrival, deviceInterface, path};
  }
  static DeviceEvent Removal(const DevicePath& path, bool deviceInterface = true) {
    return {DeviceChange::Removal, deviceInterface, path};
  }

  // The language the logic is to speak, and the text it should show in it.
  void UseLanguage(Language language) {
    language_ = language;
    texts = TableCatalogue(language);
  }
  std::wstring T(MessageId id) const { return TableText(id, language_); }
  std::wstring Guidance(MessageId status) const {
    return T(status) + L"\n\n" + T(IDS_INSTRUCTIONS);
  }

  // The three version values last shown (unit, bootloader, ESC); none before the first.
  std::vector<std::wstring> PanelValues() const {
    if (!view.rows) {
      return {};
    }
    return {view.rows->unit, view.rows->bootloader, view.rows->esc};
  }
  // True when the rows were last shown enabled (`on`) or greyed.
  bool PanelEnabled(bool on) const { return view.rows && view.rows->enabled == on; }

  Language language_ = Language::English;
  TableCatalogue texts{Language::English};
  const Catalogue* catalogue = &texts;
  Timeline timeline;
  RecordingClock clock;
  sim::SimTransport transport;
  // Units other programs hold (none unless a test says so), claimed as the programs claim them.
  FakeClaims claims;
  ClaimingTransport claiming;
  UnitLink link;
  RecordingView view;
  RecordingProgress progress;
  std::vector<std::uint8_t> image;
  Sha256Digest digest{};
  // What the front end calls a unit whose claim was refused (the page: another tab).
  MessageId busyText = IDS_UNIT_BUSY;
  std::optional<DialogLogic> logic;
};

// The dialog logic with a ready unit found at start-up, for the tests that press Update.
class ReadyUnitTest : public LogicTest {
 protected:
  // A ready unit found at start-up; the trace, clock and records start afresh from here.
  void StartWithReadyUnit(sim::UnitConfig config = {}) {
    unit = Plug(kUnitPath, config);
    connection().ShowStartupState(link.Open());
    ASSERT_EQ(view.hint, T(IDS_READY));
    unit->ClearRequests();
    timeline.Clear();
    clock.waits.clear();
    clock.nowMs = 0;
  }

  // Update was refused before anything began: nothing sent or waited for, no progress shown,
  // the link and the dialog as they were.
  void ExpectNothingStarted(const std::wstring& hint) {
    EXPECT_TRUE(unit->requests().empty());
    EXPECT_TRUE(clock.waits.empty());
    EXPECT_TRUE(progress.titles.empty());
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(view.updateEnabled, true);
    EXPECT_EQ(view.hint, hint);
  }

  std::shared_ptr<sim::SimulatedUnit> unit;
};
