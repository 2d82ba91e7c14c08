#include "win32/string_block.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// A string-table block as the resource compiler writes it: 16 entries of length + UTF-16 units.
std::vector<std::uint8_t> Block(const std::vector<std::u16string>& strings) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < STRINGS_PER_BLOCK; ++i) {
    const std::u16string text = i < strings.size() ? strings[i] : u"";
    bytes.push_back(static_cast<std::uint8_t>(text.size() & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(text.size() >> 8));
    for (char16_t unit : text) {
      bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
  }
  return bytes;
}

const std::vector<std::u16string> TEXTS = {u"zero",
                                           u"",
                                           u"Empf\u00e4nger",
                                           u"Windows\u2122PC",
                                           u"",
                                           u"five",
                                           u"",
                                           u"",
                                           u"",
                                           u"",
                                           u"",
                                           u"",
                                           u"",
                                           u"",
                                           u"",
                                           u"fifteen"};

struct LookupCase {
  std::uint32_t index;
  std::size_t maxChars;
  std::wstring expected;
};

void PrintTo(const LookupCase& c, std::ostream* out) {
  *out << "index " << c.index << ", at most " << c.maxChars << " characters";
}

class StringBlockTest : public testing::TestWithParam<LookupCase> {};

TEST_P(StringBlockTest, FindsTheEntryByIndex) {
  const LookupCase& c = GetParam();
  EXPECT_EQ(StringFromBlock(Block(TEXTS), c.index, c.maxChars), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Entries, StringBlockTest,
                         testing::Values(LookupCase{0, 2047, L"zero"},
                                         LookupCase{2, 2047, L"Empf\u00e4nger"},
                                         LookupCase{3, 2047, L"Windows\u2122PC"},
                                         LookupCase{5, 2047, L"five"},
                                         LookupCase{15, 2047, L"fifteen"}, LookupCase{1, 2047, L""},
                                         LookupCase{16, 2047, L""}, LookupCase{15, 4, L"fift"}));

TEST(StringBlock, BlockCutShortYieldsNothingBeyondTheCut) {
  std::vector<std::uint8_t> block = Block(TEXTS);
  // Cut inside entry 2's text: entries 0 and 1 are whole, 2 and later are not there.
  block.resize(2 + 8 + 2 + 2 + 6);
  EXPECT_EQ(StringFromBlock(block, 0, 2047), L"zero");
  EXPECT_EQ(StringFromBlock(block, 2, 2047), L"");
  EXPECT_EQ(StringFromBlock(block, 5, 2047), L"");
  EXPECT_EQ(StringFromBlock({}, 0, 2047), L"");
}

TEST(StringBlock, LongTextIsCutLikeLoadStringIntoItsBuffer) {
  const std::u16string longText(3000, u'x');
  EXPECT_EQ(StringFromBlock(Block({longText}), 0, 2047), std::wstring(2047, L'x'));
}

TEST(StringBlock, MessageIdentifiersMapToBlocksOfSixteen) {
  EXPECT_EQ(StringBlockName(0), 1u);
  EXPECT_EQ(StringBlockName(15), 1u);
  EXPECT_EQ(StringBlockName(16), 2u);
  EXPECT_EQ(StringBlockName(40000), 2501u);
  EXPECT_EQ(StringBlockName(40015), 2501u);
  EXPECT_EQ(StringBlockName(40016), 2502u);
  EXPECT_EQ(StringBlockName(40041), 2503u);
}

}  // namespace
