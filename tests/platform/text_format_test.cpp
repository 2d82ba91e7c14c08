#include "ui/win32/text_format.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstdint>
#include <string>

namespace {

TEST(MainWindowTitle, NamesModelAndVersionWithTrailingSpace) {
  EXPECT_EQ(MainWindowTitle(), L"TALVERO PELORA FW Updater 3.3 ");
}

struct FormatCase {
  const char* name;
  std::wstring format;
  std::wstring expected;
};

void PrintTo(const FormatCase& c, std::ostream* out) {
  *out << c.name;
}

class FormatTextTest : public testing::TestWithParam<FormatCase> {};

// Every case formats with the same arguments: a wide string with non-ASCII letters, 0 and the
// largest 32-bit number, then an empty string.
TEST_P(FormatTextTest, ReplacesConversionsInOrder) {
  const std::wstring_view wide = L"Gr\u00fc\u00dfe\u2122";
  EXPECT_EQ(FormatText(GetParam().format,
                       {wide, std::uint32_t{0}, std::uint32_t{4294967295u}, std::wstring_view()}),
            GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FormatTextTest,
    testing::Values(
        FormatCase{"AllFour", L"[%s|%u|%u|%s]", L"[Gr\u00fc\u00dfe\u2122|0|4294967295|]"},
        FormatCase{"PercentSign", L"100%% %s", L"100% Gr\u00fc\u00dfe\u2122"},
        FormatCase{"NoConversions", L"plain text", L"plain text"},
        // %u where the next argument is a string: kept as written, the string stays next.
        FormatCase{"WrongKindIsKept", L"%u %s", L"%u Gr\u00fc\u00dfe\u2122"},
        FormatCase{"UnknownConversionIsKept", L"%d %x %s", L"%d %x Gr\u00fc\u00dfe\u2122"},
        FormatCase{"LonePercentAtTheEnd", L"%s %", L"Gr\u00fc\u00dfe\u2122 %"},
        FormatCase{"MoreConversionsThanArguments", L"%s%u%u%s%s",
                   L"Gr\u00fc\u00dfe\u2122"
                   L"04294967295%s"}),
    [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

}  // namespace
