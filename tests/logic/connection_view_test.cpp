#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/logic/logic_fixture.h"
#include "texts/message_format.h"

namespace {

using sim_units::With;

const std::vector<std::wstring> kPlaceholders = {L"0.0.0", L"0.0.0", L"0.0.0"};
// The default simulated unit: unit 0x102, bootloader 0x105, ESC 0x0302.
const std::vector<std::wstring> kDefaultVersions = {L"1.2", L"1.5", L"3.2"};
const std::vector<std::wstring> kUntouched = {L"untouched", L"untouched", L"untouched"};

enum class Verdict { Ready, Guidance, Incompatible, OpenFails };

struct ClassifyCase {
  const char* name;
  bool plugged;
  sim::UnitConfig config;
  std::optional<sim::Fault> fault;
  Verdict verdict;
  MessageId status;  // for the guidance verdicts

  // Names the case in failure messages instead of dumping its bytes.
  friend void PrintTo(const ClassifyCase& c, std::ostream* out) { *out << c.name; }
};

const ClassifyCase kClassifyCases[] = {
    {"NoUnit", false, {}, std::nullopt, Verdict::OpenFails, IDS_NO_UNIT},
    {"IdentifyReadFails",
     true,
     {},
     sim::Fault{0x08, 1, sim::FaultKind::ReadFailure},
     Verdict::OpenFails,
     IDS_NO_UNIT},
    {"EscInfoRefused",
     true,
     {},
     sim::Fault{0x1D, 1, sim::FaultKind::Refuse, 0x0042},
     Verdict::OpenFails,
     IDS_NO_UNIT},
    {"WrongMode", true, With([](sim::UnitConfig& c) { c.unitMode = 1; }), std::nullopt,
     Verdict::Guidance, IDS_WRONG_MODE},
    // The mode decides before the ESC state is looked at.
    {"WrongModeWithReadyEscState", true,
     With([](sim::UnitConfig& c) { c.unitMode = 2, c.escState = 3; }), std::nullopt,
     Verdict::Guidance, IDS_WRONG_MODE},
    {"SupportedTypeOne", true, With([](sim::UnitConfig& c) { c.escTypeId = 0x1422605A; }),
     std::nullopt, Verdict::Ready, 0},
    {"SupportedTypeTwo", true, With([](sim::UnitConfig& c) { c.escTypeId = 0x0A06405A; }),
     std::nullopt, Verdict::Ready, 0},
    {"OtherType", true, With([](sim::UnitConfig& c) { c.escTypeId = 0x1422605B; }), std::nullopt,
     Verdict::Incompatible, IDS_INCOMPATIBLE_HINT},
    {"BootInfoRefusedWithZero", true,
     With([](sim::UnitConfig& c) { c.refuseBootInfoWithZero = true; }), std::nullopt,
     Verdict::Incompatible, IDS_INCOMPATIBLE_HINT},
    {"NoEscState0", true, With([](sim::UnitConfig& c) { c.escState = 0; }), std::nullopt,
     Verdict::Guidance, IDS_NO_ESC},
    {"NoEscState2", true, With([](sim::UnitConfig& c) { c.escState = 2; }), std::nullopt,
     Verdict::Guidance, IDS_NO_ESC},
    {"NoEscState4", true, With([](sim::UnitConfig& c) { c.escState = 4; }), std::nullopt,
     Verdict::Guidance, IDS_NO_ESC},
};

class ClassifyTest : public LogicTest, public ::testing::WithParamInterface<ClassifyCase> {
 protected:
  void PlugCase(const ClassifyCase& c) {
    if (c.plugged) {
      auto unit = Plug(kUnitPath, c.config);
      if (c.fault) {
        unit->AddFault(*c.fault);
      }
    }
  }
  // The ready form: the hint alone, Update on, the unit open and its versions shown, no box.
  void ExpectReady() const {
    EXPECT_EQ(view.hint, T(IDS_READY));
    EXPECT_EQ(view.updateEnabled, true);
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(PanelValues(), kDefaultVersions);
    EXPECT_TRUE(PanelEnabled(true));
    EXPECT_TRUE(view.messages.empty());
  }
  std::wstring IncompatibleText() const {
    return FormatWithText(T(IDS_INCOMPATIBLE_TEXT), L"PELORA");
  }
};

TEST_P(ClassifyTest, AtStartUp) {
  const ClassifyCase& c = GetParam();
  PlugCase(c);

  connection().ShowStartupState(link.Open());

  switch (c.verdict) {
    case Verdict::Ready:
      ExpectReady();
      break;
    case Verdict::Guidance:
    case Verdict::OpenFails:
    case Verdict::Incompatible:
      EXPECT_EQ(view.hint, Guidance(c.status));
      EXPECT_EQ(view.updateEnabled, false);
      EXPECT_FALSE(link.IsOpen());
      EXPECT_EQ(transport.openHandles(), 0);
      EXPECT_EQ(PanelValues(), kPlaceholders);
      EXPECT_TRUE(PanelEnabled(false));
      if (c.verdict == Verdict::Incompatible) {
        ASSERT_EQ(view.messages.size(), 1u);
        EXPECT_EQ(view.messages[0].text, IncompatibleText());
        EXPECT_EQ(view.messages[0].caption, T(IDS_INCOMPATIBLE_CAPTION));
        EXPECT_EQ(view.messages[0].icon, MessageIcon::Information);
        EXPECT_EQ(view.messages[0].buttons, MessageButtons::Ok);
        EXPECT_EQ(view.messages[0].hintWhenShown, L"");
      } else {
        EXPECT_TRUE(view.messages.empty());
      }
      break;
  }
}

TEST_P(ClassifyTest, OnArrival) {
  const ClassifyCase& c = GetParam();
  connection().ShowStartupState(link.Open());
  ASSERT_EQ(view.hint, Guidance(IDS_NO_UNIT));
  // Marks the panel so that a refresh shows.
  view.ShowVersions({false, std::nullopt, L"untouched", L"untouched", L"untouched"});
  PlugCase(c);

  EXPECT_TRUE(connection().OnDeviceChange(Arrival(kUnitPath)));

  switch (c.verdict) {
    case Verdict::Ready:
      ExpectReady();
      break;
    case Verdict::OpenFails:
      // Nothing shown changes; a unit found but not identified stays open.
      EXPECT_EQ(view.hint, Guidance(IDS_NO_UNIT));
      EXPECT_EQ(view.updateEnabled, false);
      EXPECT_EQ(PanelValues(), kUntouched);
      EXPECT_EQ(link.IsOpen(), c.plugged);
      EXPECT_TRUE(view.messages.empty());
      break;
    case Verdict::Guidance:
    case Verdict::Incompatible:
      EXPECT_EQ(view.hint, Guidance(c.status));
      EXPECT_EQ(view.updateEnabled, false);
      EXPECT_FALSE(link.IsOpen());
      EXPECT_EQ(transport.openHandles(), 0);
      EXPECT_EQ(PanelValues(), kUntouched);
      if (c.verdict == Verdict::Incompatible) {
        ASSERT_EQ(view.messages.size(), 1u);
        EXPECT_EQ(view.messages[0].text, IncompatibleText());
        EXPECT_EQ(view.messages[0].hintWhenShown, Guidance(IDS_NO_UNIT));
      } else {
        EXPECT_TRUE(view.messages.empty());
      }
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(Table, ClassifyTest, ::testing::ValuesIn(kClassifyCases),
                         [](const auto& info) { return std::string(info.param.name); });

using ConnectionViewTest = LogicTest;

TEST_F(ConnectionViewTest, ReadyUnitInGermanShowsTheGermanHint) {
  UseLanguage(Language::German);
  Plug(kUnitPath);
  connection().ShowStartupState(link.Open());
  EXPECT_EQ(view.hint, TableText(IDS_READY, Language::German));
  connection().OnDeviceChange(Removal(kUnitPath));
  EXPECT_EQ(view.hint, TableText(IDS_CONNECTION_LOST, Language::German) + L"\n\n" +
                           TableText(IDS_INSTRUCTIONS, Language::German));
}

TEST_F(ConnectionViewTest, ArrivalsWhileAUnitIsOpenAreNotLookedAt) {
  Plug(kUnitPath);
  connection().ShowStartupState(link.Open());
  Plug(kOtherPath, {}, 1);
  const std::vector<DevicePath> openedBefore = transport.opened;

  EXPECT_TRUE(connection().OnDeviceChange(Arrival(kOtherPath)));

  EXPECT_EQ(transport.opened, openedBefore);
  EXPECT_EQ(link.devicePath(), kUnitPath);
  EXPECT_EQ(view.hint, T(IDS_READY));
}

TEST_F(ConnectionViewTest, ArrivalOfOtherDeviceTypesIsIgnored) {
  connection().ShowStartupState(link.Open());
  Plug(kUnitPath);
  EXPECT_TRUE(connection().OnDeviceChange(Arrival(kUnitPath, false)));
  EXPECT_TRUE(transport.opened.empty());
  EXPECT_FALSE(link.IsOpen());
  EXPECT_EQ(view.hint, Guidance(IDS_NO_UNIT));
}

TEST_F(ConnectionViewTest, UnidentifiedUnitBlocksArrivalsUntilItIsRemoved) {
  connection().ShowStartupState(link.Open());
  auto unit = Plug(kUnitPath);
  unit->AddFault({0x08, 1, sim::FaultKind::ReadFailure});
  connection().OnDeviceChange(Arrival(kUnitPath));
  ASSERT_TRUE(link.IsOpen());

  // The unit would now identify, but it is open already.
  connection().OnDeviceChange(Arrival(kUnitPath));
  EXPECT_EQ(transport.opened.size(), 1u);
  EXPECT_EQ(view.hint, Guidance(IDS_NO_UNIT));

  transport.Unplug(kUnitPath);
  connection().OnDeviceChange(Removal(kUnitPath));
  EXPECT_FALSE(link.IsOpen());
  EXPECT_EQ(view.hint, Guidance(IDS_CONNECTION_LOST));
  EXPECT_EQ(view.updateEnabled, false);
  EXPECT_EQ(PanelValues(), kPlaceholders);
  EXPECT_TRUE(PanelEnabled(false));
}

TEST_F(ConnectionViewTest, RejectedUnitIsJudgedAgainWheneverAnyDeviceArrives) {
  Plug(kUnitPath, With([](sim::UnitConfig& c) { c.escTypeId = 1; }));
  connection().ShowStartupState(link.Open());
  connection().OnDeviceChange(Arrival(kOtherPath));
  connection().OnDeviceChange(Arrival(kOtherPath));
  EXPECT_EQ(view.messages.size(), 3u);
  EXPECT_EQ(view.hint, Guidance(IDS_INCOMPATIBLE_HINT));
  EXPECT_FALSE(link.IsOpen());
}

// The open unit's path with characters that only an exact compare tells apart from neighbours:
// letters of both cases, a non-ASCII letter, and '[' and '@', which differ from '{' and '`' in
// the same bit as upper and lower case.
constexpr char kOddPath[] = "\\\\?\\HID#Vid_1209&Pid_0002#[Ger\u00e4t]@x#{4d1e55b2}";

struct RemovalCase {
  const char* name;
  const char* path;
  bool deviceInterface;
  bool closes;

  // Names the case in failure messages instead of dumping its bytes.
  friend void PrintTo(const RemovalCase& c, std::ostream* out) { *out << c.name; }
};

const RemovalCase kRemovalCases[] = {
    {"Identical", kOddPath, true, true},
    {"AsciiUpperCase", "\\\\?\\HID#VID_1209&PID_0002#[GER\u00e4T]@X#{4D1E55B2}", true, true},
    {"AsciiLowerCase", "\\\\?\\hid#vid_1209&pid_0002#[ger\u00e4t]@x#{4d1e55b2}", true, true},
    {"NonAsciiCaseDiffers", "\\\\?\\HID#Vid_1209&Pid_0002#[Ger\u00c4t]@x#{4d1e55b2}", true, false},
    {"BracketIsNotBrace", "\\\\?\\HID#Vid_1209&Pid_0002#{Ger\u00e4t]@x#{4d1e55b2}", true, false},
    {"AtIsNotBacktick", "\\\\?\\HID#Vid_1209&Pid_0002#[Ger\u00e4t]`x#{4d1e55b2}", true, false},
    {"Prefix", "\\\\?\\HID#Vid_1209&Pid_0002#[Ger\u00e4t]@x#{4d1e55b", true, false},
    {"Longer", "\\\\?\\HID#Vid_1209&Pid_0002#[Ger\u00e4t]@x#{4d1e55b2}0", true, false},
    {"OtherDevice", kOtherPath, true, false},
    {"Empty", "", true, false},
    {"NotADeviceInterface", kOddPath, false, false},
};

class RemovalTest : public LogicTest, public ::testing::WithParamInterface<RemovalCase> {};

TEST_P(RemovalTest, ClosesOnlyForTheOpenUnitsPath) {
  const RemovalCase& c = GetParam();
  Plug(kOddPath);
  connection().ShowStartupState(link.Open());
  ASSERT_EQ(view.hint, T(IDS_READY));

  EXPECT_TRUE(connection().OnDeviceChange(Removal(c.path, c.deviceInterface)));

  if (c.closes) {
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(transport.openHandles(), 0);
    EXPECT_EQ(view.hint, Guidance(IDS_CONNECTION_LOST));
    EXPECT_EQ(view.updateEnabled, false);
    EXPECT_EQ(PanelValues(), kPlaceholders);
    EXPECT_TRUE(PanelEnabled(false));
  } else {
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(view.hint, T(IDS_READY));
    EXPECT_EQ(view.updateEnabled, true);
    EXPECT_EQ(PanelValues(), kDefaultVersions);
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, RemovalTest, ::testing::ValuesIn(kRemovalCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConnectionViewTest, RemovalWhileNoUnitIsOpenChangesNothing) {
  connection().ShowStartupState(link.Open());
  EXPECT_TRUE(connection().OnDeviceChange(Removal(kUnitPath)));
  EXPECT_EQ(view.hint, Guidance(IDS_NO_UNIT));
}

TEST_F(ConnectionViewTest, OtherEventCodesAreNotHandled) {
  Plug(kUnitPath);
  connection().ShowStartupState(link.Open());
  EXPECT_FALSE(connection().OnDeviceChange({DeviceChange::Other, true, kUnitPath}));
  EXPECT_TRUE(link.IsOpen());
  EXPECT_EQ(view.hint, T(IDS_READY));
}

TEST_F(ConnectionViewTest, ArrivalDuringTheIncompatibilityBoxIsHandledFirst) {
  const DevicePath readyPath = kOtherPath;
  Plug(kUnitPath, With([](sim::UnitConfig& c) { c.escTypeId = 0x12345678; }));
  view.Script({MessageAnswer::Ok, [&] {
                 EXPECT_FALSE(link.IsOpen());
                 transport.Unplug(kUnitPath);
                 sim::UnitConfig ready;
                 ready.escFirmwareVersion = 0x0201;
                 Plug(readyPath, ready);
                 connection().OnDeviceChange(Arrival(readyPath));
                 EXPECT_EQ(view.hint, T(IDS_READY));
               }});

  connection().ShowStartupState(link.Open());

  // The outer classification finishes after the nested one: its guidance is written last, while
  // the unit that arrived stays open with Update enabled.
  EXPECT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.hint, Guidance(IDS_INCOMPATIBLE_HINT));
  EXPECT_TRUE(link.IsOpen());
  EXPECT_EQ(link.devicePath(), readyPath);
  EXPECT_EQ(view.updateEnabled, true);
  EXPECT_EQ(PanelValues(), (std::vector<std::wstring>{L"1.2", L"1.5", L"2.1"}));
}

}  // namespace

namespace {

// A unit another program holds (a second copy of the updater, pelora-update): it is left alone,
// not even identified, and the user is told why instead of "no unit".
TEST_F(ConnectionViewTest, UnitHeldByAnotherProgramIsLeftAloneAndNamedBusy) {
  auto unit = Plug(kUnitPath);
  claims.busy = {kUnitPath};

  connection().ShowStartupState(link.Open());
  EXPECT_EQ(view.hint, Guidance(IDS_UNIT_BUSY));
  EXPECT_EQ(view.updateEnabled, false);
  EXPECT_TRUE(PanelEnabled(false));
  EXPECT_FALSE(link.IsOpen());
  EXPECT_TRUE(unit->requests().empty());
  EXPECT_EQ(transport.openHandles(), 0);

  // Still held when it arrives again: the same words, still nothing sent.
  EXPECT_TRUE(connection().OnDeviceChange(Arrival(kUnitPath)));
  EXPECT_EQ(view.hint, Guidance(IDS_UNIT_BUSY));
  EXPECT_TRUE(unit->requests().empty());

  // Once the other program has let go, the next arrival takes the unit.
  claims.busy.clear();
  EXPECT_TRUE(connection().OnDeviceChange(Arrival(kUnitPath)));
  EXPECT_EQ(view.hint, T(IDS_READY));
  EXPECT_EQ(view.updateEnabled, true);
  EXPECT_TRUE(link.IsOpen());
}

// The page calls a refused claim "another tab of this page"; a unit it hears talking to someone
// else (a page of another origin, a program) is busy for a reason no claim shows, and gets the
// general words. Both at start-up and on arrival, and nothing is sent either way.
TEST_F(ConnectionViewTest, ARefusedClaimAndAUnitHeardTalkingGetTheirOwnBusyWords) {
  busyText = IDS_WEB_UNIT_BUSY;
  Rewire();
  struct Case {
    const char* name;
    bool claimed;
    MessageId shown;
  };
  for (const Case& c : {Case{"claim refused", true, IDS_WEB_UNIT_BUSY},
                        Case{"heard talking", false, IDS_UNIT_BUSY}}) {
    SCOPED_TRACE(c.name);
    auto unit = Plug(kUnitPath);
    if (c.claimed) {
      claims.busy = {kUnitPath};
    } else {
      unit->StartOtherTalker(0);
    }
    connection().ShowStartupState(link.Open());
    EXPECT_EQ(view.hint, Guidance(c.shown));

    if (!c.claimed) {
      unit->StartOtherTalker(0);  // still talking when the unit arrives again
    }
    EXPECT_TRUE(connection().OnDeviceChange(Arrival(kUnitPath)));
    EXPECT_EQ(view.hint, Guidance(c.shown));
    EXPECT_EQ(view.updateEnabled, false);
    EXPECT_TRUE(unit->requests().empty());
    claims.busy.clear();
    transport.Unplug(kUnitPath);
  }
}

}  // namespace

namespace {

// A unit whose claim fails for another reason than a holder (the lock cannot even be taken, the
// node vanished, an I/O error) is left alone like a busy one, but named for what happened, with
// the OS error, instead of "no unit"; at start-up and on arrival alike.
TEST_F(ConnectionViewTest, UnitThatCannotBeClaimedIsLeftAloneAndShowsItsOsError) {
  struct Case {
    std::uint32_t osError;  // EACCES, EIO
    const wchar_t* codeLine;
  };
  auto unit = Plug(kUnitPath);
  for (const Case c : {Case{13, L"The system shows following errorcode: 0xfffffff9-0x0000000d"},
                       Case{5, L"The system shows following errorcode: 0xfffffff9-0x00000005"}}) {
    SCOPED_TRACE(c.osError);
    claims.failing = {{kUnitPath, c.osError}};
    const std::size_t sent = unit->requests().size();
    const std::wstring expected =
        T(IDS_UNIT_NOT_CLAIMED) + L"\n" + c.codeLine + L"\n\n" + T(IDS_INSTRUCTIONS);

    connection().ShowStartupState(link.Open());
    EXPECT_EQ(view.hint, expected);
    EXPECT_EQ(view.updateEnabled, false);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(transport.openHandles(), 0);

    view.hint.clear();
    EXPECT_TRUE(connection().OnDeviceChange(Arrival(kUnitPath)));
    EXPECT_EQ(view.hint, expected);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(unit->requests().size(), sent);

    // Claimable again: the next arrival takes it.
    claims.failing.reset();
    EXPECT_TRUE(connection().OnDeviceChange(Arrival(kUnitPath)));
    EXPECT_EQ(view.hint, T(IDS_READY));
    link.Close();
  }
}

}  // namespace
