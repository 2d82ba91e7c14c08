#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "update/firmware_package.h"

namespace {

TEST(FirmwarePackage, AcceptsExactlyTheTwoSupportedEscTypes) {
  struct Case {
    std::uint32_t type;
    bool supported;
  };
  const Case cases[] = {
      {0x1422605A, true},  {0x0A06405A, true},
      {0x1422605B, false}, {0x5A602214, false},
      {0x0A06405B, false}, {0x00000000, false},
      {0xFFFFFFFF, false}, {0x1422605A ^ 0x80000000, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsSupportedEscType(c.type), c.supported) << std::hex << c.type;
  }
}

// The carried version, defined once in the build, as the title, the version gate and the success
// record need it: 3.3, the 16-bit value 0x0303.
TEST(FirmwarePackage, CarriesVersionThreeThree) {
  EXPECT_EQ(FIRMWARE_VERSION, 0x0303);
  EXPECT_EQ(FirmwareVersionText(), L"3.3");
}

// The second question is asked from the carried version up; a missing version never counts.
TEST(FirmwarePackage, DowngradeQuestionFromTheCarriedVersionUp) {
  const std::pair<std::uint16_t, bool> cases[] = {
      {0x0000, false}, {0x0302, false}, {0x0303, true},
      {0x0304, true},  {0xFFFE, true},  {0xFFFF, false},
  };
  for (const auto& [installed, asks] : cases) {
    EXPECT_EQ(IsDowngradeOrSame(installed), asks) << std::hex << installed;
  }
}

}  // namespace
