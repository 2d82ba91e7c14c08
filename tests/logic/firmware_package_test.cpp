#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "build_facts.h"
#include "update/firmware_package.h"
#include "update/update_procedure.h"

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
// record need it: major.minor, the 16-bit value major * 256 + minor.
TEST(FirmwarePackage, CarriesTheBuildsVersion) {
  EXPECT_EQ(FIRMWARE_VERSION, build_facts::kVersionWord);
  EXPECT_EQ(FirmwareVersionText(), build_facts::kVersionTextW);
  static_assert(build_facts::kImageBlockBytes == BLOCK_BYTES, "the build facts count blocks");
}

// The second question is asked from the carried version up; a missing version never counts.
TEST(FirmwarePackage, DowngradeQuestionFromTheCarriedVersionUp) {
  const std::uint16_t carried = build_facts::kVersionWord;
  ASSERT_GT(carried, 0) << "a carried 0.0 has nothing below it to test";
  const std::pair<std::uint16_t, bool> cases[] = {
      {0x0000, false}, {static_cast<std::uint16_t>(carried - 1), false},
      {carried, true}, {static_cast<std::uint16_t>(carried + 1), true},
      {0xFFFE, true},  {0xFFFF, false},
  };
  for (const auto& [installed, asks] : cases) {
    EXPECT_EQ(IsDowngradeOrSame(installed), asks) << std::hex << installed;
  }
}

}  // namespace
