// Drives the real, unmodified Windows program under Wine in the guest system, where Wine's own
// hid.dll, setupapi.dll and winebus reach the simulated unit through the kernel's hidraw (no
// doubles). The unit is the uhid_unit process; this driver unplugs and replugs it through files
// in that program's control folder.
//
//   guest_driver [GoogleTest flags] --exe PATH --control FOLDER
//
// Reuses the end-to-end driver's program handling (tests/e2e/driver: starting the program,
// reading the dialog, answering its boxes) and its texts, taken from the built-in message table.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "build_facts.h"
#include "resources/resource_ids.h"
#include "tests/e2e/driver/program.h"
#include "tests/e2e/driver/support.h"
#include "tests/e2e/driver/texts.h"

namespace {

using namespace e2e;

struct Settings {
  std::wstring exe;
  std::wstring control;
};
Settings settings;

// Everything under TCG emulation is slow: Wine's start of a program takes seconds.
constexpr double kStartMs = 120000;
constexpr double kPlugMs = 30000;
// At least 46 s of mandated waits; on a host busy with other work, TCG has taken over 5 minutes
// for the whole update (about 0.2 s a request), and a round cut short leaves the program running.
constexpr double kUpdateMs = 900000;

class WineHidStack : public testing::Test {
 protected:
  void SetUp() override {
    program_ = std::make_unique<Program>(checks_, settings.exe, L"unused");
    // A start that ran out of time or ended early fails with its reason, not as an unknown
    // exception.
    try {
      program_->Start();
      program_->WaitForDialog(kStartMs);
    } catch (const ScenarioAbort& abort) {
      GTEST_FAIL_AT(abort.where.file_name(), static_cast<int>(abort.where.line())) << abort.reason;
    }
  }
  void TearDown() override {
    const std::string notEnded = program_->End();
    EXPECT_TRUE(notEnded.empty()) << notEnded;
  }

  // Runs a scenario's steps; an abort (a bounded wait that ran out) fails the test where it was.
  template <typename Steps>
  void Run(Steps steps) {
    try {
      steps(*program_);
    } catch (const ScenarioAbort& abort) {
      GTEST_FAIL_AT(abort.where.file_name(), static_cast<int>(abort.where.line())) << abort.reason;
    }
  }

  void ExpectReady(const std::string& when) {
    Program& p = *program_;
    checks_.ExpectEq(p.ItemText(IDC_HINT), Msg(IDS_READY, Language::English), "hint " + when);
    checks_.Expect(p.ItemEnabled(IDC_UPDATE), "Update enabled " + when);
    checks_.ExpectEq(p.ItemText(IDC_LABEL_UNIT), L"MAVIRA", "unit label " + when);
    checks_.ExpectEq(p.ItemText(IDC_VERSION_UNIT), L"1.2", "unit version " + when);
    checks_.ExpectEq(p.ItemText(IDC_VERSION_BOOTLOADER), L"1.5", "bootloader version " + when);
  }

  // The hint box reads `text` within `timeoutMs` (the program must be pumping messages).
  void WaitForHint(const std::wstring& text, double timeoutMs, const std::string& what) {
    WaitUntil(
        checks_, timeoutMs, what, [&] { return program_->ItemText(IDC_HINT) == text; }, 50);
  }

  // Asks the simulated unit's process to `unplug` or `plug` (a file in its control folder).
  void AskUnit(const wchar_t* request) {
    const std::wstring path = settings.control + L"\\" + request;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      checks_.Abort("cannot create " + Narrow(path) + ": error " + std::to_string(GetLastError()));
    }
    CloseHandle(file);
  }

  Checks checks_;
  std::unique_ptr<Program> program_;
};

TEST_F(WineHidStack, StartUpIdentifiesTheUnit) {
  Run([&](Program& p) {
    ExpectReady("at start-up");
    checks_.ExpectEq(p.ItemText(IDC_VERSION_ESC), L"3.2", "ESC version at start-up");
    p.Close();
  });
}

TEST_F(WineHidStack, WholeUpdateSucceeds) {
  Run([&](Program& p) {
    ExpectReady("before the update");
    p.PressButton(IDC_UPDATE);
    const MessageBoxInfo warning = p.WaitForBox(30000, "the warning before the update");
    checks_.ExpectEq(warning.caption, Msg(IDS_NOTE_CAPTION, Language::English), "warning caption");
    p.AnswerBox(warning, IDOK);
    // Until the success hint shows, the program may answer messages before the update has ended
    // (a failure box on its way, or a system call that lets sent messages in): a box is a failure
    // with its text, and only the hint says that the update ended well.
    const std::wstring success = Msg(IDS_SUCCESS, Language::English);
    WaitUntil(
        checks_, kUpdateMs, "the update to end",
        [&] {
          if (!p.Responds(1000)) {
            return false;
          }
          const std::vector<HWND> boxes = p.OwnedBoxes();
          if (!boxes.empty()) {
            const MessageBoxInfo box = p.ReadBox(boxes.front());
            checks_.Abort("a box during the update: " + Printable(box.caption) + " " +
                          Printable(box.text));
          }
          return p.ItemText(IDC_HINT) == success;
        },
        200);
    checks_.ExpectEq(p.ItemText(IDC_HINT), success, "hint after");
    checks_.Expect(!p.ItemEnabled(IDC_UPDATE), "Update disabled after the update");
    checks_.ExpectEq(p.ItemText(IDC_VERSION_ESC), build_facts::kVersionTextW,
                     "ESC version after the update");
    p.Close();
  });
}

TEST_F(WineHidStack, UnplugAndReplugReachTheDialog) {
  Run([&](Program& p) {
    ExpectReady("before the unplug");
    AskUnit(L"unplug");
    WaitForHint(Guidance(IDS_CONNECTION_LOST, Language::English), kPlugMs,
                "the connection-lost hint after the unplug");
    checks_.Expect(!p.ItemEnabled(IDC_UPDATE), "Update disabled after the unplug");
    AskUnit(L"plug");
    WaitForHint(Msg(IDS_READY, Language::English), kPlugMs, "the ready hint after the replug");
    ExpectReady("after the replug");
    p.Close();
  });
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i + 1 < argc; ++i) {
    const std::wstring option = argv[i];
    if (option == L"--exe") {
      settings.exe = argv[++i];
    } else if (option == L"--control") {
      settings.control = argv[++i];
    }
  }
  if (settings.exe.empty() || settings.control.empty()) {
    std::fprintf(stderr, "usage: guest_driver [GoogleTest flags] --exe PATH --control FOLDER\n");
    return 2;
  }
  // Without a window manager (Xvfb) Wine waits 2 s whenever a managed window hides.
  HKEY key;
  const std::wstring exeName = settings.exe.substr(settings.exe.find_last_of(L"\\/") + 1);
  const std::wstring path = L"Software\\Wine\\AppDefaults\\" + exeName + L"\\X11 Driver";
  if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) == ERROR_SUCCESS) {
    RegSetValueExW(key, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"),
                   2 * sizeof(wchar_t));
    RegCloseKey(key);
  }
  return RUN_ALL_TESTS();
}
