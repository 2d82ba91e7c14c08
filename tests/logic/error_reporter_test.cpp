#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tests/logic/logic_fixture.h"

namespace {

struct ReportCase {
  ResultCode result;
  std::uint32_t lastError;
  Language language;
  const wchar_t* codeLine;  // nullptr: the box shows the message alone

  friend void PrintTo(const ReportCase& c, std::ostream* out) {
    *out << "result " << c.result << ", error " << c.lastError;
  }
};

const ReportCase kReportCases[] = {
    {RESULT_NO_DEVICE, 31, Language::English, nullptr},
    {RESULT_NO_DEVICE, 0, Language::German, nullptr},
    // A unit code of 0xFFFFFFFF is -1 and shows like it.
    {static_cast<ResultCode>(0xFFFFFFFFu), 1167, Language::English, nullptr},
    {RESULT_WRITE_FAILED, 31, Language::English,
     L"The system shows following errorcode: 0xfffffffe-0x0000001f"},
    {RESULT_WRITE_FAILED, 31, Language::German,
     L"Das System meldet Fehlercode 0xfffffffe-0x0000001f"},
    {RESULT_READ_FAILED, 1460, Language::English,
     L"The system shows following errorcode: 0xfffffffd-0x000005b4"},
    {ERROR_FUNCTION_FAILED, 0, Language::English,
     L"The system shows following errorcode: 0x0000065b-0x00000000"},
    {5, 0xFFFFFFFF, Language::German, L"Das System meldet Fehlercode 0x00000005-0xffffffff"},
    {-2147483647 - 1, 0x1234ABCD, Language::English,
     L"The system shows following errorcode: 0x80000000-0x1234abcd"},
};

class ErrorReporterTest : public LogicTest, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(ErrorReporterTest, ClosesTheLinkShowsTheCodesAndLeavesTheRetryHint) {
  const ReportCase& c = GetParam();
  UseLanguage(c.language);
  Plug(kUnitPath);
  connection().ShowStartupState(link.Open());
  const std::wstring readyHint = view.hint;
  view.Script({MessageAnswer::Ok, [&] {
                 // The link is abandoned and the panel greyed before the box comes up.
                 EXPECT_FALSE(link.IsOpen());
                 EXPECT_EQ(view.updateEnabled, false);
                 EXPECT_EQ(PanelValues(), (std::vector<std::wstring>(3, L"0.0.0")));
                 EXPECT_TRUE(PanelEnabled(false));
               }});

  reporter().Report(L"Stage failed.", L"Caption", c.result, c.lastError);

  ASSERT_EQ(view.messages.size(), 1u);
  const std::wstring expected =
      c.codeLine == nullptr ? L"Stage failed." : std::wstring(L"Stage failed.\n") + c.codeLine;
  EXPECT_EQ(view.messages[0].text, expected);
  EXPECT_EQ(view.messages[0].caption, L"Caption");
  EXPECT_EQ(view.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(view.messages[0].buttons, MessageButtons::Ok);
  EXPECT_EQ(view.messages[0].hintWhenShown, readyHint);
  EXPECT_EQ(view.hint, TableText(IDS_RETRY_HINT, c.language));
  EXPECT_EQ(transport.openHandles(), 0);
  EXPECT_TRUE(view.ScriptUsedUp());
}

INSTANTIATE_TEST_SUITE_P(Codes, ErrorReporterTest, ::testing::ValuesIn(kReportCases),
                         [](const auto& info) {
                           return "Result" + std::to_string(info.index) +
                                  (info.param.language == Language::German ? "German" : "English");
                         });

TEST_F(ErrorReporterTest, ArrivalDuringTheFailureBoxKeepsUpdateEnabledUnderTheRetryHint) {
  Plug(kUnitPath);
  connection().ShowStartupState(link.Open());
  view.Script({MessageAnswer::Ok, [&] {
                 connection().OnDeviceChange(Arrival(kUnitPath));
                 EXPECT_EQ(view.hint, T(IDS_READY));
               }});

  reporter().Report(T(IDS_LOCK_FAILED), T(IDS_UPDATE_FAILED), ERROR_FUNCTION_FAILED, 0);

  EXPECT_TRUE(link.IsOpen());
  EXPECT_EQ(view.updateEnabled, true);
  EXPECT_EQ(view.hint, T(IDS_RETRY_HINT));
  EXPECT_EQ(PanelValues(), (std::vector<std::wstring>{L"1.2", L"1.5", L"3.2"}));
}

}  // namespace
