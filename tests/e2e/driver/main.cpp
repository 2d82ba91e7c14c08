// The end-to-end driver: a Windows console program run under Wine that plays the programming unit
// on a simulated HID bus and drives the real executable through its windows.
//
//   e2e_driver [GoogleTest flags] --exe P --image P --lang en|de|fr [--wine-stderr FILE]
//              [--screenshots DIR] [--only NAME] GROUP...
//   e2e_driver --demo --exe P [--drive --screenshots DIR]
//
// Each scenario of the groups named is a GoogleTest test "<lang>.<group>.<scenario>" (so
// --gtest_filter, --gtest_list_tests, --gtest_repeat and --gtest_output work as usual); --only
// keeps the scenarios whose name holds NAME.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/scoped_handle.h"
#include "resources/resource_ids.h"
#include "tests/e2e/driver/scenarios.h"
#include "tests/e2e/driver/screenshot.h"
#include "tests/e2e/driver/texts.h"

namespace {

using namespace e2e;

struct Options {
  RunSettings run;
  std::vector<std::string> groups;
  std::string only;
  bool demo = false;
  bool drive = false;
  Coverage coverage = Coverage::All;
};

bool Parse(int argc, wchar_t** argv, Options& o) {
  std::wstring lang = L"en";
  std::wstring only;
  const struct {
    const wchar_t* name;
    std::wstring* value;
  } valued[] = {{L"--exe", &o.run.exePath},
                {L"--image", &o.run.imagePath},
                {L"--wine-stderr", &o.run.wineStderr},
                {L"--screenshots", &o.run.screenshotDir},
                {L"--lang", &lang},
                {L"--only", &only}};
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    const auto option = std::find_if(std::begin(valued), std::end(valued),
                                     [&](const auto& v) { return a == v.name; });
    if (option != std::end(valued)) {
      if (i + 1 >= argc)
        return false;
      *option->value = argv[++i];
    } else if (a == L"--demo") {
      o.demo = true;
    } else if (a == L"--drive") {
      o.drive = true;
    } else {
      o.groups.push_back(Narrow(a));
    }
  }
  o.only = Narrow(only);
  // German expects German texts; every other language English. The coverage keeps the runs of
  // the other languages to what differs by language.
  o.run.lang = lang == L"de" ? Language::German : Language::English;
  o.coverage = lang == L"en" ? Coverage::All : lang == L"de" ? Coverage::Core : Coverage::Basic;
  o.run.group = Narrow(lang);
  return !o.run.exePath.empty() && (o.demo || !o.run.imagePath.empty());
}

// One scenario as a GoogleTest test: its checks report there as they fail (Checks), an abort
// ends it with a fatal failure where it was raised, and what did not end afterwards fails it too.
class ScenarioTest : public testing::Test {
 public:
  ScenarioTest(RunSettings settings, Scenario scenario)
      : settings_(std::move(settings)), scenario_(std::move(scenario)) {}

  void TestBody() override {
    Session session(settings_, scenario_.name);
    std::optional<ScenarioAbort> aborted;
    try {
      scenario_.run(session);
    } catch (const ScenarioAbort& abort) {
      aborted = abort;
    }
    session.TearDown();
    if (aborted) {
      GTEST_FAIL_AT(aborted->where.file_name(), static_cast<int>(aborted->where.line()))
          << "scenario aborted: " << aborted->reason;
    }
  }

 private:
  RunSettings settings_;
  Scenario scenario_;
};

// A group name that selects no scenario fails visibly rather than passing with nothing run.
class UnknownGroupTest : public testing::Test {
 public:
  explicit UnknownGroupTest(std::string group) : group_(std::move(group)) {}
  void TestBody() override { FAIL() << "unknown or empty group " << group_; }

 private:
  std::string group_;
};

int RunSuite(const Options& o) {
  if (ReadImage(o.run.imagePath).empty()) {
    std::printf("cannot read the firmware image %s\n", Narrow(o.run.imagePath).c_str());
    return 2;
  }
  int registered = 0;
  for (const std::string& group : o.groups) {
    RunSettings settings = o.run;
    settings.group = o.run.group + "." + group;  // the test suite, e.g. "en.startup"
    const std::vector<Scenario> scenarios = ScenariosOf(group, o.coverage);
    if (scenarios.empty()) {
      testing::RegisterTest(settings.group.c_str(), "unknown-group", nullptr, nullptr, __FILE__,
                            __LINE__, [group] { return new UnknownGroupTest(group); });
      ++registered;
      continue;
    }
    for (const Scenario& sc : scenarios) {
      if (!o.only.empty() && sc.name.find(o.only) == std::string::npos)
        continue;
      testing::RegisterTest(settings.group.c_str(), sc.name.c_str(), nullptr, nullptr, __FILE__,
                            __LINE__, [settings, sc] { return new ScenarioTest(settings, sc); });
      ++registered;
    }
  }
  if (registered == 0) {
    std::printf("no scenario to run\n");
    return 1;
  }
  return RUN_ALL_TESTS();
}

// The length of the image the program carries (its resource), 0 when it cannot be read.
std::size_t CarriedImageBytes(const std::wstring& exe) {
  const ModuleHandle program(LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  const HRSRC image =
      program ? FindResourceW(program.get(), MAKEINTRESOURCEW(IDR_FIRMWARE), RT_RCDATA) : nullptr;
  return image != nullptr ? SizeofResource(program.get(), image) : 0;
}

// The demo: the program with one ready simulated unit plugged in. With --drive the driver also
// presses Update and answers the warning itself, saving screenshots of the key moments.
int RunDemo(const Options& o) {
  RunSettings settings = o.run;
  settings.group = "demo";
  Session session(settings, "unit");
  Program& p = session.program();
  BusDeviceServer& unit = session.Plug(ReadyUnit());
  auto shot = [&](const char* label) {
    if (settings.screenshotDir.empty())
      return;
    std::string name = std::string("demo-") + label + ".bmp";
    std::wstring path = settings.screenshotDir + L"\\" + std::wstring(name.begin(), name.end());
    if (!SaveScreenBmp(path))
      std::printf("demo: screenshot %s failed\n", name.c_str());
  };
  // Each shot waits until the window shows what it names: the dialog fills its rows and hint only
  // after identifying the unit, and its success hint only after the progress window has gone.
  auto showing = [&](MessageId hint, bool updateEnabled) {
    WaitUntil(
        session.checks(), 30000, "the dialog to show " + Printable(Msg(hint, session.lang())),
        [&] {
          return p.Responds(200) && p.ItemText(IDC_HINT) == Msg(hint, session.lang()) &&
                 p.ItemEnabled(IDC_UPDATE) == updateEnabled;
        },
        50);
    // Painted before the screen is read: the pending WM_PAINTs are sent and handled first.
    RedrawWindow(p.dialog(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  };
  try {
    p.Start();
    p.WaitForDialog();
    if (!o.drive) {
      std::printf("demo: a simulated ready unit is plugged in; press Update, close to end\n");
      std::fflush(stdout);
      p.WaitExit(24.0 * 3600 * 1000);
    } else {
      showing(IDS_READY, true);
      shot("1-ready");
      p.PressButton(IDC_UPDATE);
      MessageBoxInfo warning = p.WaitForBox(10000, "the warning box");
      RedrawWindow(warning.window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
      shot("2-warning");
      p.AnswerBox(warning, IDOK);
      std::printf("demo: update started, it takes about 50 s\n");
      std::fflush(stdout);
      WaitUntil(session.checks(), 30000, "the progress window",
                [&] { return p.ProgressWindow() != nullptr; });
      // The progress shot shows the bar about half full.
      const std::size_t half = CarriedImageBytes(settings.exePath) / 2;
      WaitUntil(
          session.checks(), 120000, "half of the image to be written",
          [&] { return unit.Flash().size() >= half; }, 100);
      shot("3-progress");
      // The program answers again once the update has ended.
      WaitUntil(
          session.checks(), 120000, "the end of the update",
          [&] { return p.ProgressWindow() == nullptr && p.Responds(200); }, 100);
      showing(IDS_SUCCESS, false);
      shot("4-done");
      std::printf("demo: hint after the update: %s\n", Printable(p.ItemText(IDC_HINT)).c_str());
      std::printf("demo: the unit received %zu requests; ESC version now %s\n", unit.RequestCount(),
                  Narrow(p.ItemText(IDC_VERSION_ESC)).c_str());
      p.Close();
    }
  } catch (const ScenarioAbort& abort) {
    std::printf("demo: %s\n", abort.reason.c_str());
    return 1;
  }
  session.TearDown();
  for (const std::string& f : session.checks().failures())
    std::printf("demo: %s\n", f.c_str());
  return session.checks().failures().empty() ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // GoogleTest takes its own flags out of the arguments first.
  testing::InitGoogleTest(&argc, argv);
  Options o;
  if (!Parse(argc, argv, o)) {
    std::printf(
        "usage: e2e_driver [GoogleTest flags] --exe P --image P --lang en|de|fr "
        "[--wine-stderr FILE] "
        "[--screenshots DIR] [--only NAME] GROUP...\n"
        "       e2e_driver --demo --exe P [--drive --screenshots DIR]\n");
    return 2;
  }
  Program::ConfigureWine(o.run.exePath, /*unmanaged=*/!o.demo || o.drive);
  return o.demo ? RunDemo(o) : RunSuite(o);
}
