#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include "carried_image_digest.h"
#include "tests/logic/logic_fixture.h"
#include "tests/support/test_image.h"
#include "update/image_integrity.h"
#include "update/sha256.h"

namespace {

TEST(ImageIntegrity, AcceptsOnlyTheRecordedImage) {
  const std::vector<std::uint8_t> image = MakeTestImage(4096);
  const Sha256Digest recorded = Sha256Of(image);
  EXPECT_TRUE(ImageIntact(image, recorded));

  struct Damage {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> apply;
  };
  const Damage damages[] = {
      {"first bit of the first byte", [](auto& b) { b.front() ^= 0x01; }},
      {"last bit of the last byte", [](auto& b) { b.back() ^= 0x80; }},
      {"a byte in the middle", [](auto& b) { ++b[b.size() / 2]; }},
      {"one byte cut off", [](auto& b) { b.pop_back(); }},
      {"an erased byte appended", [](auto& b) { b.push_back(0xFF); }},
      {"nothing left", [](auto& b) { b.clear(); }},
  };
  for (const Damage& damage : damages) {
    std::vector<std::uint8_t> damaged = image;
    damage.apply(damaged);
    EXPECT_FALSE(ImageIntact(damaged, recorded)) << damage.name;
  }
  EXPECT_FALSE(ImageIntact(image, Sha256Digest{})) << "no digest recorded";
}

// The digest the program checks against is that of the file the build embeds.
TEST(ImageIntegrity, RecordedDigestIsThatOfTheBuildsImageFile) {
  std::ifstream file(UPDATER_FIRMWARE_IMAGE_FILE, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                        std::istreambuf_iterator<char>());
  ASSERT_FALSE(bytes.empty()) << UPDATER_FIRMWARE_IMAGE_FILE;
  EXPECT_EQ(Sha256Of(bytes), CARRIED_IMAGE_SHA256);
}

// An image that is not the recorded one is refused like a missing one: before any question,
// with an error box of its own, nothing sent or waited for, the link and the dialog unchanged.
class DamagedImageTest : public ReadyUnitTest, public ::testing::WithParamInterface<Language> {};

TEST_P(DamagedImageTest, StartsNothingAndSaysWhy) {
  UseLanguage(GetParam());
  std::vector<std::uint8_t> damaged = MakeTestImage(960);
  const Sha256Digest recorded = Sha256Of(damaged);
  damaged[480] ^= 0x10;
  UseImage(damaged, recorded);
  StartWithReadyUnit();

  runner().Run();

  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, T(IDS_IMAGE_DAMAGED));
  EXPECT_EQ(view.messages[0].caption, T(IDS_UPDATE_FAILED));
  EXPECT_EQ(view.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(view.messages[0].buttons, MessageButtons::Ok);
  ExpectNothingStarted(T(IDS_READY));
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, DamagedImageTest,
                         ::testing::Values(Language::English, Language::German),
                         [](const auto& info) {
                           return info.param == Language::German ? "German" : "English";
                         });

// The bytes are checked as they are when Update is pressed, not once when the runner is built.
TEST_F(DamagedImageTest, ChecksTheImageAtEachUpdate) {
  UseImage(MakeTestImage(960));
  StartWithReadyUnit();
  view.Script({MessageAnswer::Cancel, {}});

  runner().Run();
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, T(IDS_NOTE_TEXT)) << "an intact image goes on to the warning";

  image.back() ^= 0x01;  // the bytes the runner was given, changed in place
  runner().Run();
  ASSERT_EQ(view.messages.size(), 2u);
  EXPECT_EQ(view.messages[1].text, T(IDS_IMAGE_DAMAGED));
  EXPECT_TRUE(unit->requests().empty());
}

}  // namespace
