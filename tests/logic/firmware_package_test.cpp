#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

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

// The title shows major and minor, the version gate and the success record use the 16-bit value.
TEST(FirmwarePackage, VersionPartsMakeTheVersionValue) {
  EXPECT_EQ(FIRMWARE_VERSION, (FIRMWARE_VERSION_MAJOR << 8) | FIRMWARE_VERSION_MINOR);
}

TEST(FirmwarePackage, ImageComesFromTheBoundSourceUncopied) {
  const std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7, 8};
  BindImageSource([&] { return std::span<const std::uint8_t>(bytes); });
  const auto image = GetImage();
  EXPECT_EQ(image.data(), bytes.data());
  EXPECT_EQ(image.size(), bytes.size());

  BindImageSource(nullptr);
  EXPECT_TRUE(GetImage().empty());
}

}  // namespace
