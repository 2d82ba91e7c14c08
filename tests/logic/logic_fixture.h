#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/device_event.h"
#include "protocol/unit_link.h"
#include "resources/resource_ids.h"
#include "sim/sim_transport.h"
#include "sim/simulated_unit.h"
#include "tests/support/recording_os.h"
#include "tests/support/recording_progress.h"
#include "tests/support/recording_view.h"
#include "tests/support/sim_units.h"
#include "tests/support/timeline.h"
#include "ui/dialog_logic.h"
#include "ui/dialog_view.h"
#include "ui/message_catalogue.h"
#include "update/firmware_package.h"
#include "update/sha256.h"

inline constexpr wchar_t kUnitPath[] =
    L"\\\\?\\hid#vid_1209&pid_0002#7&1a2b3c4d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
inline constexpr wchar_t kOtherPath[] =
    L"\\\\?\\hid#vid_046d&pid_c077#7&99&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";

inline constexpr int kPanelValues[] = {IDC_VERSION_UNIT, IDC_VERSION_BOOTLOADER, IDC_VERSION_ESC};
inline constexpr int kPanelItems[] = {IDC_LABEL_UNIT,       IDC_VERSION_UNIT,
                                      IDC_LABEL_BOOTLOADER, IDC_VERSION_BOOTLOADER,
                                      IDC_LABEL_ESC,        IDC_VERSION_ESC};

// The dialog logic over the simulated bus: a fake clock, recording dialog and progress display,
// the built-in English table, and no image until a test gives one.
class LogicTest : public ::testing::Test {
 protected:
  LogicTest()
      : os(timeline),
        transport([this] { return os.nowMs; }, [this](std::uint32_t e) { os.lastError = e; }),
        link(transport, os),
        view(timeline),
        progress(timeline) {
    Rewire();
  }

  // The logic objects keep no state of their own, so they can be built again at any time, for
  // example over another image or in another language.
  void Rewire() {
    logic.reset();
    logic.emplace(DialogLogic::Seams{view, link, *catalogue, progress, os},
                  CarriedFirmware{image, digest});
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
  std::shared_ptr<sim::SimulatedUnit> Plug(const std::wstring& path, sim::UnitConfig config = {},
                                           std::uint16_t productId = 2) {
    return sim_units::Plug(transport, path, config, productId);
  }

  static DeviceEvent Arrival(const std::wstring& path, std::uint32_t type = DEVICE_TYPE_INTERFACE) {
    return {DEVICE_EVENT_ARRIVAL, type, path};
  }
  static DeviceEvent Removal(const std::wstring& path, std::uint32_t type = DEVICE_TYPE_INTERFACE) {
    return {DEVICE_EVENT_REMOVE_COMPLETE, type, path};
  }

  // The language the logic is to speak, and the text it should show in it.
  void UseLanguage(Language language) {
    language_ = language;
    texts = TableCatalogue(language);
  }
  std::wstring T(MessageId id) const { return TableText(id, language_); }
  std::wstring Guidance(MessageId status) const {
    return T(status) + L"\r\n\r\n" + T(IDS_INSTRUCTIONS);
  }

  std::vector<std::wstring> PanelValues() const {
    std::vector<std::wstring> values;
    for (int item : kPanelValues) {
      values.push_back(view.Item(item));
    }
    return values;
  }
  // True when all six panel items were last set to `on`.
  bool PanelEnabled(bool on) const {
    for (int item : kPanelItems) {
      if (view.Enabled(item) != on) {
        return false;
      }
    }
    return true;
  }

  Language language_ = Language::English;
  TableCatalogue texts{Language::English};
  const Catalogue* catalogue = &texts;
  Timeline timeline;
  RecordingOs os;
  sim::SimTransport transport;
  UnitLink link;
  RecordingView view;
  RecordingProgress progress;
  std::vector<std::uint8_t> image;
  Sha256Digest digest{};
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
    os.waits.clear();
    os.nowMs = 0;
    os.lastError = 0;
  }

  // Update was refused before anything began: nothing sent or waited for, no progress shown,
  // the link and the dialog as they were.
  void ExpectNothingStarted(const std::wstring& hint) {
    EXPECT_TRUE(unit->requests().empty());
    EXPECT_TRUE(os.waits.empty());
    EXPECT_TRUE(progress.titles.empty());
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(view.Enabled(IDC_UPDATE), true);
    EXPECT_EQ(view.hint, hint);
  }

  std::shared_ptr<sim::SimulatedUnit> unit;
};
