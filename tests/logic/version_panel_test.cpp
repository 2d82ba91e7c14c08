#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tests/logic/logic_fixture.h"
#include "texts/version_text.h"

namespace {

struct PanelCase {
  std::uint32_t unitVersion;
  std::uint32_t bootloaderVersion;
  std::uint16_t escVersion;
  std::uint16_t productId;
  std::vector<std::wstring> values;  // unit, bootloader, ESC
  const wchar_t* unitLabel;

  friend void PrintTo(const PanelCase& c, std::ostream* out) {
    *out << std::hex << c.unitVersion << "/" << c.bootloaderVersion << "/" << c.escVersion;
  }
};

class VersionPanelTest : public LogicTest, public ::testing::WithParamInterface<PanelCase> {};

TEST_P(VersionPanelTest, ShowsTheOpenUnitsVersions) {
  const PanelCase& c = GetParam();
  sim::UnitConfig config;
  config.unitVersion = c.unitVersion;
  config.escBootloaderVersion = c.bootloaderVersion;
  config.escFirmwareVersion = c.escVersion;
  Plug(kUnitPath, config, c.productId);
  ASSERT_EQ(link.Open().code, RESULT_OK);

  panel().Refresh();

  EXPECT_EQ(PanelValues(), c.values);
  EXPECT_EQ(view.unitLabel, c.unitLabel);
  EXPECT_TRUE(PanelEnabled(true));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, VersionPanelTest,
    ::testing::Values(
        // The unit row drops a zero low byte; the bootloader row never shifts.
        PanelCase{0x00010200, 0x00000105, 0x0407, 2, {L"1.2", L"1.5", L"4.7"}, L"MAVIRA"},
        PanelCase{0x00000102, 0x00010500, 0x0302, 1, {L"1.2", L"5.0", L"3.2"}, L"TORVEX"},
        PanelCase{0x00000300, 0x00000300, 0x0300, 2, {L"0.3", L"3.0", L"3.0"}, L"MAVIRA"},
        PanelCase{0x00010203, 0x00000000, 0xFFFF, 2, {L"2.3", L"0.0", L"----------"}, L"MAVIRA"},
        PanelCase{0, 0, 0, 1, {L"0.0", L"0.0", L"0.0"}, L"TORVEX"},
        // Decimal without leading zeros, up to three digits per component.
        PanelCase{0x0000FF0A, 0x0000FFFF, 0x0A63, 2, {L"255.10", L"255.255", L"10.99"}, L"MAVIRA"},
        // Only bits 0..15 show after the one shift, whatever the upper bytes hold.
        PanelCase{0xAB120000, 0x12340605, 0xFFFE, 1, {L"18.0", L"6.5", L"255.254"}, L"TORVEX"}));

TEST(UnitName, OnlyProductIdOneIsTorvex) {
  const std::pair<std::uint16_t, const wchar_t*> cases[] = {
      {1, L"TORVEX"}, {2, L"MAVIRA"}, {0, L"MAVIRA"}, {7, L"MAVIRA"}, {0xFFFF, L"MAVIRA"}};
  for (const auto& [productId, label] : cases) {
    EXPECT_EQ(UnitName(productId), label) << productId;
  }
}

TEST_F(VersionPanelTest, NoUnitShowsPlaceholdersGreyedAndKeepsTheUnitLabel) {
  view.ShowVersions({true, L"TORVEX", L"1.2", L"1.5", L"4.7"});
  panel().Refresh();
  EXPECT_EQ(PanelValues(), (std::vector<std::wstring>{L"0.0.0", L"0.0.0", L"0.0.0"}));
  EXPECT_EQ(view.unitLabel, L"TORVEX");
  EXPECT_TRUE(PanelEnabled(false));
}

}  // namespace
