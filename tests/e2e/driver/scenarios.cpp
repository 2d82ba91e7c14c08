#include "tests/e2e/driver/scenarios.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "build_facts.h"
#include "protocol/vendor.h"
#include "resources/resource_ids.h"
#include "tests/e2e/driver/hardening.h"
#include "tests/e2e/driver/release_scenarios.h"
#include "tests/support/stage_failures.h"
#include "update/update_record.h"

namespace e2e {

namespace {

constexpr std::uint8_t kLock = 0x0B, kReadEscInfo = 0x1D;

// The dialog's own texts, as users have always seen them, per language (written out here rather
// than taken from the catalogue, which the program sets them from).
struct TemplateTexts {
  const wchar_t* close;
  const wchar_t* group;
  const wchar_t* hintLabel;
};
TemplateTexts TemplateFor(Language lang) {
  if (lang == Language::German)
    return {L"Beenden", L"Installierte Firmware Versionen", L"Hinweisfenster:"};
  return {L"Close", L"Installed firmware version", L"Hint:"};
}

const std::wstring kTitle =
    L"TALVERO PELORA FW Updater " + std::wstring(build_facts::kVersionTextW) + L" ";
constexpr const wchar_t* kCarriedText = build_facts::kVersionTextW;

Panel ReadyPanel(const wchar_t* label, const wchar_t* esc = L"3.2") {
  return {label, L"1.2", L"1.5", esc, true};
}

std::string Ms(double ms) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.0f ms", ms);
  return buf;
}

// ---------------------------------------------------------------- start-up

struct StartupCase {
  const char* name;
  Coverage level;  // the smallest coverage that includes the case
  std::vector<DevicePlan> devices;
  int unitIndex;     // the device expected to be taken, -1 for none
  MessageId status;  // 0: ready form (40000); else the guidance status text
  bool incompatibleBox;
  std::vector<expected::RequestPattern>
      trace;  // of the unit device (or of device 0 when none is taken)
  bool unitStaysOpen;
};

DevicePlan With(DevicePlan d, const std::function<void(DevicePlan&)>& change) {
  change(d);
  return d;
}

std::vector<StartupCase> StartupCases() {
  return {
      {"no-unit", Coverage::Basic, {}, -1, IDS_NO_UNIT, false, {}, false},
      {"ready-mavira",
       Coverage::Basic,
       {ReadyUnit(L"unit", 2)},
       0,
       0,
       false,
       expected::ReadyIdentification(),
       true},
      {"ready-torvex",
       Coverage::Core,
       {ReadyUnit(L"unit", 1)},
       0,
       0,
       false,
       expected::ReadyIdentification(),
       true},
      {"wrong-mode",
       Coverage::Core,
       {With(ReadyUnit(), [](DevicePlan& d) { d.unit.unitMode = 1; })},
       0,
       IDS_WRONG_MODE,
       false,
       {expected::Identify(), expected::ReadUnitMemory()},
       false},
      {"no-esc",
       Coverage::Core,
       {With(ReadyUnit(), [](DevicePlan& d) { d.unit.escState = 0; })},
       0,
       IDS_NO_ESC,
       false,
       {expected::Identify()},
       false},
      {"incompatible-esc",
       Coverage::Core,
       {With(ReadyUnit(), [](DevicePlan& d) { d.unit.escTypeId = 0x12345678; })},
       0,
       IDS_INCOMPATIBLE_HINT,
       true,
       expected::ReadyIdentification(),
       false},
      {"incompatible-boot-info-refused-with-0",
       Coverage::All,
       {With(ReadyUnit(), [](DevicePlan& d) { d.unit.refuseBootInfoWithZero = true; })},
       0,
       IDS_INCOMPATIBLE_HINT,
       true,
       expected::ReadyIdentification(),
       false},
      {"identification-fails",
       Coverage::Core,
       {With(ReadyUnit(),
             [](DevicePlan& d) {
               d.faults.push_back({kReadEscInfo, 1, sim::FaultKind::Refuse, 0x0007, 0});
             })},
       0,
       IDS_NO_UNIT,
       false,
       {expected::Identify(), expected::ReadEscInfo()},
       false},
      {"other-device-first-is-skipped",
       Coverage::All,
       {OtherHidDevice(), ReadyUnit()},
       1,
       0,
       false,
       expected::ReadyIdentification(),
       true},
      {"maker-product-3-is-skipped",
       Coverage::All,
       {With(ReadyUnit(L"pid3"),
             [](DevicePlan& d) {
               d.productId = 3;
               d.isUnit = false;
             }),
        ReadyUnit()},
       1,
       0,
       false,
       expected::ReadyIdentification(),
       true},
      {"unreadable-attributes-are-skipped",
       Coverage::All,
       {With(ReadyUnit(L"noattr"),
             [](DevicePlan& d) {
               d.attributesReadable = false;
               d.isUnit = false;
             }),
        ReadyUnit(L"unit", 1)},
       1,
       0,
       false,
       expected::ReadyIdentification(),
       true},
      {"first-of-two-units-wins",
       Coverage::All,
       {ReadyUnit(L"first", 1), ReadyUnit(L"second", 2)},
       0,
       0,
       false,
       expected::ReadyIdentification(),
       true},
  };
}

void RunStartup(Session& s, const StartupCase& c) {
  std::vector<BusDeviceServer*> devices;
  for (const DevicePlan& d : c.devices)
    devices.push_back(&s.Plug(d));
  Program& p = s.program();
  Checks& k = s.checks();
  const Language lang = s.lang();
  p.Start();
  p.WaitForDialogWindow();
  if (c.incompatibleBox) {
    MessageBoxInfo box = p.WaitForBox(20000, "the incompatibility box");
    k.ExpectEq(box.caption, Msg(IDS_INCOMPATIBLE_CAPTION, lang), "incompatibility box caption");
    k.ExpectEq(box.text, IncompatibleText(lang), "incompatibility box text");
    k.Expect(box.buttons == std::vector<int>{IDOK}, "incompatibility box should have OK alone");
    // Shown before the guidance: the hint still holds its earlier (empty) text.
    k.ExpectEq(p.ItemText(IDC_HINT), L"", "hint while the incompatibility box is open");
    k.Expect(!p.ItemEnabled(IDC_UPDATE), "Update should be disabled while the box is open");
    s.Screenshot("box");
    p.AnswerBox(box, IDOK);
  }
  p.WaitForDialog();
  k.Expect(p.OwnedBoxes().empty(), "no message box expected");

  k.ExpectEq(p.Title(), kTitle, "title");
  k.ExpectEq(p.ItemText(IDC_LABEL_BOOTLOADER), Msg(IDS_LABEL_BOOTLOADER, lang),
             "bootloader row label");
  k.ExpectEq(p.ItemText(IDC_LABEL_ESC), Msg(IDS_LABEL_ESC, lang), "ESC row label");
  k.ExpectEq(p.ItemText(IDC_CLOSE), TemplateFor(lang).close, "Close button text");
  k.ExpectEq(p.ItemText(IDC_UPDATE), L"Update", "Update button text");
  k.ExpectEq(p.ItemText(IDC_VERSION_GROUP), TemplateFor(lang).group, "version group text");
  k.ExpectEq(p.ItemText(IDC_HINT_LABEL), TemplateFor(lang).hintLabel, "hint box caption");

  if (c.status == 0) {
    const BusDeviceServer& unit = *devices[static_cast<std::size_t>(c.unitIndex)];
    s.ExpectDialog(Msg(IDS_READY, lang), true,
                   ReadyPanel(unit.plan().productId == 1 ? L"TORVEX" : L"MAVIRA"), "start-up");
  } else {
    s.ExpectDialog(Guidance(c.status, lang), false, InitialPanel(lang), "start-up");
  }
  if (!devices.empty()) {
    std::size_t traced = c.unitIndex < 0 ? 0 : static_cast<std::size_t>(c.unitIndex);
    s.ExpectRequests(*devices[traced], c.trace, "start-up trace");
    k.ExpectEq(devices[traced]->OpenConnections(), c.unitStaysOpen ? 1 : 0,
               "open handles on the unit after start-up");
  }
  for (std::size_t i = 0; i < devices.size(); ++i) {
    if (static_cast<int>(i) == c.unitIndex)
      continue;
    // Devices before the taken one are opened, judged and closed; later ones never opened.
    k.ExpectEq(devices[i]->OpenConnections(), 0,
               "open handles on skipped device " + std::to_string(i));
    if (c.unitIndex >= 0 && static_cast<int>(i) > c.unitIndex) {
      k.ExpectEq(devices[i]->TotalConnections(), 0,
                 "device after the taken unit should never be opened");
    }
  }
  s.CloseAndFinish();
}

// ---------------------------------------------------------------- hot-plug

void ExpectReadyStartup(Session& s, const wchar_t* label = L"MAVIRA", const wchar_t* esc = L"3.2") {
  s.program().Start();
  s.program().WaitForDialog();
  s.ExpectDialog(Msg(IDS_READY, s.lang()), true, ReadyPanel(label, esc), "start-up");
}

std::wstring UpperAscii(std::wstring s) {
  for (wchar_t& c : s) {
    if (c >= L'a' && c <= L'z')
      c = static_cast<wchar_t>(c - 32);
  }
  return s;
}

std::vector<Scenario> HotplugScenarios() {
  return {
      {"arrival-of-ready-unit",
       [](Session& s) {
         s.program().Start();
         s.program().WaitForDialog();
         s.ExpectDialog(Guidance(IDS_NO_UNIT, s.lang()), false, InitialPanel(s.lang()), "start-up");
         // A removal while no unit is open changes nothing.
         Deliver(s, 0x8004, L"\\\\.\\pipe\\nothing-here", "removal with no unit open");
         s.ExpectDialog(Guidance(IDS_NO_UNIT, s.lang()), false, InitialPanel(s.lang()),
                        "after a removal with no unit open");
         BusDeviceServer& unit = s.Plug(ReadyUnit());
         Deliver(s, 0x8000, unit.path(), "arrival");
         s.ExpectDialog(Msg(IDS_READY, s.lang()), true, ReadyPanel(L"MAVIRA"), "after arrival");
         s.ExpectRequests(unit, expected::ReadyIdentification(), "arrival trace");
         s.checks().ExpectEq(unit.OpenConnections(), 1, "unit open after arrival");
         s.CloseAndFinish();
       }},
      {"second-copy-finds-the-unit-busy",
       [](Session& s) {
         Checks& k = s.checks();
         BusDeviceServer& unit = s.Plug(ReadyUnit());
         // Another copy of the program holds the unit (identified, ready).
         Program holder(k, s.settings().exePath, s.bus().name());
         holder.Start();
         holder.WaitForDialog();
         k.ExpectEq(holder.ItemText(IDC_HINT), Msg(IDS_READY, s.lang()), "the holder's hint");
         const std::size_t holderRequests = unit.RequestCount();
         // This copy finds the unit held: it says so and sends it nothing, not even an identify.
         s.StartProgram();
         s.ExpectDialog(Guidance(IDS_UNIT_BUSY, s.lang()), false, InitialPanel(s.lang()),
                        "second copy at start-up");
         k.ExpectEq(unit.RequestCount(), holderRequests, "requests after the second copy started");
         s.Screenshot("busy");
         // The holder is killed; its claim ends with it, and the next arrival takes the unit.
         k.Expect(holder.End().empty(), "the holder ended");
         Deliver(s, 0x8000, unit.path(), "arrival after the holder ended");
         s.ExpectDialog(Msg(IDS_READY, s.lang()), true, ReadyPanel(L"MAVIRA"),
                        "after the holder ended");
         s.ExpectRequests(unit,
                          Concat(expected::ReadyIdentification(), expected::ReadyIdentification()),
                          "the holder's identification, then this copy's");
         s.CloseAndFinish();
       }},
      {"removal-of-another-device",
       [](Session& s) {
         BusDeviceServer& other = s.Plug(OtherHidDevice());
         BusDeviceServer& unit = s.Plug(ReadyUnit());
         ExpectReadyStartup(s);
         s.bus().Unplug(other);
         Deliver(s, 0x8004, other.path(), "removal of the other device");
         s.ExpectDialog(Msg(IDS_READY, s.lang()), true, ReadyPanel(L"MAVIRA"),
                        "after the other device's removal");
         s.ExpectRequests(unit, expected::ReadyIdentification(), "trace");
         s.checks().ExpectEq(unit.OpenConnections(), 1, "unit still open");
         s.CloseAndFinish();
       }},
      {"removal-of-open-unit-path-in-other-case",
       [](Session& s) {
         BusDeviceServer& unit = s.Plug(ReadyUnit());
         ExpectReadyStartup(s);
         std::wstring upper = UpperAscii(unit.path());
         s.checks().Expect(upper != unit.path(), "the path should have lower-case letters");
         s.bus().Unplug(unit);
         Deliver(s, 0x8004, upper, "removal of the open unit");
         s.ExpectDialog(Guidance(IDS_CONNECTION_LOST, s.lang()), false, NoUnitPanel(L"MAVIRA"),
                        "after the unit's removal");
         s.checks().ExpectEq(unit.OpenConnections(), 0, "unit handle closed");
         s.CloseAndFinish();
       }},
      {"arrival-while-a-unit-is-open",
       [](Session& s) {
         BusDeviceServer& first = s.Plug(ReadyUnit(L"first", 2));
         ExpectReadyStartup(s);
         BusDeviceServer& second = s.Plug(ReadyUnit(L"second", 1));
         Deliver(s, 0x8000, second.path(), "arrival of a second unit");
         s.ExpectDialog(Msg(IDS_READY, s.lang()), true, ReadyPanel(L"MAVIRA"),
                        "after the second unit's arrival");
         s.checks().ExpectEq(second.TotalConnections(), 0, "the second unit is never opened");
         s.ExpectRequests(first, expected::ReadyIdentification(), "first unit trace");
         s.CloseAndFinish();
       }},
      {"arrival-while-the-incompatibility-box-is-open",
       [](Session& s) {
         // The box's own loop handles the arrival: a nested scan opens and classifies the new
         // unit; the outer classification then still writes its guidance.
         s.program().Start();
         s.program().WaitForDialog();
         DevicePlan foreign = ReadyUnit(L"foreign");
         foreign.unit.escTypeId = 0x12345678;
         BusDeviceServer& first = s.Plug(foreign);
         std::unique_ptr<AsyncSend> arrival = s.program().SendDeviceChange(0x8000, first.path());
         MessageBoxInfo box = s.program().WaitForBox(10000, "the incompatibility box");
         s.checks().ExpectEq(box.caption, Msg(IDS_INCOMPATIBLE_CAPTION, s.lang()), "box caption");
         s.bus().Unplug(first);
         Deliver(s, 0x8004, first.path(), "removal of the incompatible unit (no unit open)");
         BusDeviceServer& ready = s.Plug(ReadyUnit(L"ready"));
         Deliver(s, 0x8000, ready.path(), "arrival of a ready unit while the box is open");
         s.ExpectDialog(Msg(IDS_READY, s.lang()), true, ReadyPanel(L"MAVIRA"),
                        "after the nested arrival, box still open");
         s.program().AnswerBox(box, IDOK);
         arrival->Join(s.checks(), 10000, "the first arrival to be handled");
         s.ExpectDialog(Guidance(IDS_INCOMPATIBLE_HINT, s.lang()), true, ReadyPanel(L"MAVIRA"),
                        "after the box (outer guidance over the nested state)");
         s.checks().ExpectEq(ready.OpenConnections(), 1, "the ready unit stays open");
         s.CloseAndFinish();
       }},
      {"arrival-of-unit-whose-identification-fails-stays-open",
       [](Session& s) {
         s.program().Start();
         s.program().WaitForDialog();
         DevicePlan failing = ReadyUnit(L"failing");
         failing.faults.push_back({kReadEscInfo, 1, sim::FaultKind::Refuse, 0x0007, 0});
         BusDeviceServer& unit = s.Plug(failing);
         Deliver(s, 0x8000, unit.path(), "arrival");
         s.ExpectDialog(Guidance(IDS_NO_UNIT, s.lang()), false, InitialPanel(s.lang()),
                        "after the failing unit's arrival (unchanged)");
         s.checks().ExpectEq(unit.OpenConnections(), 1, "the failing unit stays open");
         BusDeviceServer& ready = s.Plug(ReadyUnit(L"ready"));
         Deliver(s, 0x8000, ready.path(), "arrival of a ready unit");
         s.checks().ExpectEq(ready.TotalConnections(), 0, "arrivals are ignored while it is open");
         s.bus().Unplug(unit);
         Deliver(s, 0x8004, unit.path(), "removal of the failing unit");
         s.ExpectDialog(Guidance(IDS_CONNECTION_LOST, s.lang()), false,
                        NoUnitPanel(Msg(IDS_LABEL_UNIT, s.lang())), "after its removal");
         s.CloseAndFinish();
       }},
  };
}

// ---------------------------------------------------------------- the update

void ExpectWarningBox(Session& s, const MessageBoxInfo& box) {
  Checks& k = s.checks();
  k.ExpectEq(box.caption, Msg(IDS_NOTE_CAPTION, s.lang()), "warning caption");
  k.ExpectEq(box.text, Msg(IDS_NOTE_TEXT, s.lang()), "warning text");
  k.Expect(box.buttons == std::vector<int>({IDOK, IDCANCEL}), "warning should offer OK and Cancel");
  k.Expect(box.defaultButton == IDOK, "OK should be the warning's default button");
}

void ExpectQuestionBox(Session& s, const MessageBoxInfo& box) {
  Checks& k = s.checks();
  k.ExpectEq(box.caption, Msg(IDS_DOWNGRADE_CAPTION, s.lang()), "question caption");
  k.ExpectEq(box.text, Msg(IDS_DOWNGRADE_TEXT, s.lang()), "question text");
  k.Expect(box.buttons == std::vector<int>({IDYES, IDNO}), "question should offer Yes and No");
  k.Expect(box.defaultButton == IDYES, "Yes should be the question's default button");
}

// Start with a ready unit, press Update and return the warning box, checked.
MessageBoxInfo PressUpdate(Session& s, BusDeviceServer& unit, double& pressedAt) {
  ExpectReadyStartup(s, unit.plan().productId == 1 ? L"TORVEX" : L"MAVIRA");
  pressedAt = NowMs();
  s.program().PressButton(IDC_UPDATE);
  MessageBoxInfo box = s.program().WaitForBox(10000, "the warning box");
  ExpectWarningBox(s, box);
  return box;
}

// The filled share of a progress bar's client width as it is on the screen (the bar is drawn in
// the highlight colour), or -1 when it cannot be read.
int DrawnPercent(HWND bar) {
  RECT client;
  if (!GetClientRect(bar, &client) || client.right <= 4)
    return -1;
  POINT origin{0, client.bottom / 2};
  ClientToScreen(bar, &origin);
  const int width = client.right;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = 1;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP row = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  int filled = -1;
  if (row != nullptr) {
    HGDIOBJ old = SelectObject(memory, row);
    if (BitBlt(memory, 0, 0, width, 1, screen, origin.x, origin.y, SRCCOPY)) {
      GdiFlush();
      const COLORREF h = GetSysColor(COLOR_HIGHLIGHT);
      const std::uint32_t highlight = (GetRValue(h) << 16) | (GetGValue(h) << 8) | GetBValue(h);
      const auto* pixels = static_cast<const std::uint32_t*>(bits);
      filled = 0;
      for (int x = 0; x < width; ++x) {
        if ((pixels[x] & 0xFFFFFFu) == highlight)
          ++filled;
      }
    }
    SelectObject(memory, old);
    DeleteObject(row);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  // The bar fills the client area less its one-pixel inset on each side. Not clamped: a share
  // over 100 would show that the reading itself is wrong.
  return filled < 0 ? -1 : filled * 100 / std::max(1, width - 2);
}

// What the progress window showed, as far as it could be read.
//
// Under Wine two readings of the bar are possible and neither is complete. The program pumps no
// messages during the transfer, so PBM_GETPOS is not answered while the window exists (it is still
// tried, and judged when answered). The bar as drawn on the screen can be sampled, but Wine puts
// the program's painting on the screen only now and then, so the share seen lags the position:
// it may stop anywhere short of 100 % (seen: 34 % to 100 %), and Wine at times shows the bar
// blank again (seen: 18 % then 10 %, 6 % then 0 %), which the program cannot repaint while it pumps
// no messages. What holds is judged: the drawn share stays within 0..100 and is above 0 at least
// once.
struct ProgressWatch {
  HWND window = nullptr;
  double firstSeen = 0, goneAt = 0;
  std::wstring title;
  RECT rect{};
  RECT dialogRect{};
  LONG style = 0;
  HWND owner = nullptr;
  struct Position {
    int percent;
    bool afterLastBlock;  // read once the program had gone past the final block
  };
  std::vector<Position> positions;  // PBM_GETPOS answers
  int queries = 0;
  std::vector<int> drawn;  // the bar's filled share of its width on the screen, in percent
  double lastDrawSample = 0;
  bool dense = false;           // sample at every poll (set once the final block is on its way)
  bool afterLastBlock = false;  // set once the unit has the request after the final block

  void Poll(const Program& p, double now) {
    if (window == nullptr) {
      HWND w = p.ProgressWindow();
      if (w == nullptr)
        return;
      window = w;
      firstSeen = now;
      wchar_t text[256] = {};
      GetWindowTextW(w, text, 256);
      title = text;
      GetWindowRect(w, &rect);
      GetWindowRect(p.dialog(), &dialogRect);
      style = GetWindowLongW(w, GWL_STYLE);
      owner = GetWindow(w, GW_OWNER);
    }
    if (goneAt == 0 && !IsWindow(window)) {
      goneAt = now;
      return;
    }
    if (goneAt == 0 && (dense || now - lastDrawSample >= 40)) {
      lastDrawSample = now;
      const int share = DrawnPercent(window);
      if (share >= 0 && IsWindow(window))  // not a reading of where the window just was
        drawn.push_back(share);
    }
    if (goneAt == 0 && queries * 500.0 < now - firstSeen) {
      ++queries;
      DWORD_PTR pos = 0;
      if (SendMessageTimeoutW(window, PBM_GETPOS, 0, 0, SMTO_BLOCK, 20, &pos)) {
        positions.push_back({static_cast<int>(pos), afterLastBlock});
      }
    }
  }

  void Expect(Session& s) const {
    Checks& k = s.checks();
    if (window == nullptr) {
      k.Expect(false, "the progress window never appeared");
      return;
    }
    k.ExpectEq(title, Msg(IDS_TRANSFER_RUNNING, s.lang()), "progress window title");
    const RECT& d = dialogRect;
    k.ExpectEq(static_cast<std::uint64_t>(rect.right - rect.left), 400, "progress window width");
    k.ExpectEq(static_cast<std::uint64_t>(rect.bottom - rect.top), 50, "progress window height");
    k.Expect(rect.left == d.left + ((d.right - d.left) >> 1) - 200 &&
                 rect.top == d.top + ((d.bottom - d.top) >> 1) - 25,
             "progress window should be centred on the dialog: at " + std::to_string(rect.left) +
                 "," + std::to_string(rect.top) + ", dialog " + std::to_string(d.left) + "," +
                 std::to_string(d.top) + "-" + std::to_string(d.right) + "," +
                 std::to_string(d.bottom));
    k.Expect((style & (WS_CHILD | WS_POPUP | WS_SYSMENU | WS_THICKFRAME)) == 0,
             "progress window: no child, pop-up, system menu or sizing frame style");
    k.Expect((style & WS_CAPTION) == WS_CAPTION, "progress window should carry a title bar");
    k.Expect((style & PBS_SMOOTH) != 0, "progress bar should be smooth");
    k.Expect(owner == s.program().dialog(), "progress window should be owned by the dialog");

    // The position as the program set it, where the window answered.
    if (positions.empty()) {
      std::printf(
          "    progress position (PBM_GETPOS): not measurable under Wine here, 0 of %d reads "
          "answered (the program pumps no messages while the window exists); not checked\n",
          queries);
    } else {
      std::string seen;
      for (std::size_t i = 0; i < positions.size(); ++i) {
        const Position& at = positions[i];
        seen += std::to_string(at.percent) + (at.afterLastBlock ? "* " : " ");
        k.Expect(at.percent >= 0 && at.percent <= 100 &&
                     (i == 0 || at.percent >= positions[i - 1].percent),
                 "progress positions should count up within 0..100: " + seen);
        k.Expect(!at.afterLastBlock || at.percent == 100,
                 "the position read after the final block should be 100: " + seen);
      }
      std::printf(
          "    progress position (PBM_GETPOS): %zu of %d reads answered: %s(* after the "
          "final block); checked\n",
          positions.size(), queries, seen.c_str());
    }

    // The bar as the screen showed it.
    if (drawn.empty()) {
      std::printf(
          "    drawn progress bar: not measurable here (the screen could not be read); not "
          "checked\n");
      return;
    }
    int fullest = 0, drops = 0;
    for (std::size_t i = 0; i < drawn.size(); ++i) {
      k.Expect(drawn[i] >= 0 && drawn[i] <= 100,
               "the drawn progress bar should fill 0..100 % of its width, sample " +
                   std::to_string(i + 1) + " shows " + std::to_string(drawn[i]) + " %");
      fullest = std::max(fullest, drawn[i]);
      drops += i > 0 && drawn[i] < drawn[i - 1];
    }
    k.Expect(fullest > 0, "the drawn progress bar never showed any progress in " +
                              std::to_string(drawn.size()) + " samples");
    std::printf(
        "    drawn progress bar: %zu samples, all within 0..100 %%, fullest %d %% (checked: above "
        "0); last %d %%, %d step(s) back: how far and how evenly it fills is not measurable here "
        "(Wine shows the painting late and at times blanks the bar while the program pumps no "
        "messages), not checked\n",
        drawn.size(), fullest, drawn.back(), drops);
  }
};

// Checks the whole request trace of an update and the mandated waits between requests.
void ExpectUpdateTrace(Session& s, const BusDeviceServer& unit) {
  const std::size_t blocks = BlockCount(s.image());
  const std::vector<expected::RequestPattern> patterns =
      Concat(expected::ReadyIdentification(), expected::UpdateRequests(s.image()));
  s.ExpectRequests(unit, patterns, "update trace");
  std::vector<sim::RecordedRequest> r = unit.Requests();
  if (r.size() != patterns.size())
    return;
  // The waits the procedure must make. A wait starts when the program has read a reply, which
  // is after the driver made that reply readable, so "request i was written at least w ms after
  // the reply to request `after` was ready" holds whatever the driver's own scheduling delays.
  // (Measured from request to request it would not: the erase's 1000 ms start at its write.)
  const std::size_t lock = 3, protect = 4, erase = 5, address = 6, first = 7,
                    last = first + blocks - 1, protectSet = last + 1, lockRelease = last + 2;
  auto gap = [&](std::size_t i) {
    return static_cast<double>(r[i].timeMs) - static_cast<double>(r[i - 1].timeMs);
  };
  struct Minimum {
    std::size_t index;
    std::size_t after;  // the request whose reply starts the wait
    double ms;
    const char* what;
  };
  std::vector<Minimum> minima = {
      {protect, lock, 20, "lock -> protection release"},
      {erase, protect, 20, "protection release -> erase"},
      {address, protect, 20 + 1000 + 4000 + 20, "protection release -> erase -> set address"},
      {address, erase, 4000 + 20, "erase reply -> set address"},
      {first, address, 20, "set address -> first block"},
      {protectSet, last, 20, "last block -> protection set"}};
  for (std::size_t i = first + 1; i <= last; ++i)
    minima.push_back({i, i - 1, 20, "block -> block"});
  int shortGaps = 0;
  for (const Minimum& m : minima) {
    if (!r[m.after].replyTimeMs) {
      s.checks().Expect(false, "request " + std::to_string(m.after + 1) + " got no reply");
      continue;
    }
    const double waited =
        static_cast<double>(r[m.index].timeMs) - static_cast<double>(*r[m.after].replyTimeMs);
    if (waited < m.ms && ++shortGaps <= 5) {
      s.checks().Expect(false, std::string("wait missing: ") + m.what + ": request " +
                                   std::to_string(m.index + 1) + " came " + Ms(waited) +
                                   " after the reply to request " + std::to_string(m.after + 1) +
                                   ", at least " + Ms(m.ms) + " required");
    }
  }
  std::vector<double> blockGaps;
  for (std::size_t i = first + 1; i <= last; ++i)
    blockGaps.push_back(gap(i));
  std::sort(blockGaps.begin(), blockGaps.end());
  std::printf(
      "    block-to-block gaps: min %.0f, median %.0f, max %.0f ms; erase -> address "
      "%.0f ms; closing pair gap %.0f ms; lock..lock release %.0f ms\n",
      blockGaps.front(), blockGaps[blockGaps.size() / 2], blockGaps.back(), gap(address),
      gap(lockRelease), static_cast<double>(r[lockRelease].timeMs - r[lock].timeMs));
}

// The last line the program appended to its update records, in the records folder of its own
// that the driver gives it (Program::recordsRoot).
std::string LastRecordLine(const std::wstring& recordsRoot) {
  std::ifstream file(
      std::filesystem::path(recordsRoot + L"\\TALVERO\\pelora-updater\\updates.jsonl"),
      std::ios::binary);
  std::string line;
  std::string last;
  while (std::getline(file, line)) {
    last = line;
  }
  return last;
}

void ExpectRecord(Session& s, const std::string& outcome) {
  const std::string line = LastRecordLine(s.program().recordsRoot());
  Checks& k = s.checks();
  k.Expect(line.find("\"frontEnd\":\"windows\"") != std::string::npos &&
               line.find("\"kind\":\"MAVIRA\"") != std::string::npos &&
               line.find("\"outcome\":" + outcome) != std::string::npos,
           "the update's record should end " + outcome + ", is: " + line);
}

void RunFullUpdate(Session& s, std::uint16_t installedEscVersion) {
  Checks& k = s.checks();
  Program& p = s.program();
  DevicePlan plan = ReadyUnit();
  plan.unit.escFirmwareVersion = installedEscVersion;
  BusDeviceServer& unit = s.Plug(plan);
  const wchar_t* escBefore = installedEscVersion == 0xFFFF ? L"----------" : L"3.2";
  p.Start();
  p.WaitForDialog();
  s.ExpectDialog(Msg(IDS_READY, s.lang()), true, ReadyPanel(L"MAVIRA", escBefore), "start-up");
  const double pressed = NowMs();
  p.PressButton(IDC_UPDATE);
  MessageBoxInfo warning = p.WaitForBox(10000, "the warning box");
  ExpectWarningBox(s, warning);
  s.Screenshot("warning");
  const double warningShown = NowMs();
  p.AnswerBox(warning, IDOK);
  if (installedEscVersion >= build_facts::kVersionWord && installedEscVersion != 0xFFFF) {
    MessageBoxInfo question = p.WaitForBox(10000, "the downgrade question");
    ExpectQuestionBox(s, question);
    p.AnswerBox(question, IDYES);
  }
  const double answered = NowMs();

  // Watch until the progress window has come and gone and the success text is shown.
  ProgressWatch watch;
  bool midShot = false;
  const double budget = 180000;
  double successAt = 0;
  const std::size_t finalBlockAt =
      expected::ReadyIdentification().size() + 4 + BlockCount(s.image());
  double lastAsk = 0;
  WaitUntil(
      k, budget, "the update to finish",
      [&] {
        const double now = NowMs();
        watch.dense = unit.RequestCount() >= finalBlockAt;
        // The protection request follows the final block's reply, after which the program has
        // set the position to 100.
        watch.afterLastBlock = unit.RequestCount() > finalBlockAt;
        watch.Poll(p, now);
        if (!p.Running())
          k.Abort("the program ended during the update");
        if (!p.OwnedBoxes().empty()) {
          MessageBoxInfo box = p.ReadBox(p.OwnedBoxes().front());
          k.Abort("unexpected message box during the update: " + Printable(box.caption) + " " +
                  Printable(box.text));
        }
        if (!midShot && watch.window != nullptr && now - watch.firstSeen > 15000) {
          midShot = true;
          s.Screenshot("progress");
        }
        // The program pumps again only when the run is over; a failure would have shown a box.
        // While the bar is up, ask only once a second: an unanswered ask blocks the sampling.
        if (watch.goneAt == 0 && now - lastAsk < 1000)
          return false;
        lastAsk = now;
        if (!p.Responds(200))
          return false;
        if (watch.window == nullptr)
          k.Abort("the update ended without a progress window");
        if (watch.goneAt == 0) {
          watch.Poll(p, NowMs());
          if (watch.goneAt == 0)
            k.Abort("the progress window is still open after the update");
        }
        successAt = NowMs();
        return true;
      },
      2);
  watch.Expect(s);
  k.Expect(watch.goneAt != 0, "the progress window should be gone after the update");

  s.ExpectDialog(Msg(IDS_SUCCESS, s.lang()), false, ReadyPanel(L"MAVIRA", kCarriedText),
                 "after the update");
  ExpectUpdateTrace(s, unit);
  std::vector<std::uint8_t> flash = unit.Flash();
  const std::vector<std::uint8_t> expectedFlash = expected::FlashAfterUpdate(s.image());
  k.Expect(flash == expectedFlash, "the unit's flash should hold the image and its tail's fill (" +
                                       std::to_string(flash.size()) + " bytes written, " +
                                       std::to_string(expectedFlash.size()) + " expected)");
  k.Expect(!unit.Locked(), "the unit should be unlocked after the closing pair");
  k.Expect(unit.WriteProtected(), "the ESC flash should be write-protected again");
  k.ExpectEq(unit.OpenConnections(), 1, "the link stays open after success");
  ExpectRecord(s, R"({"end":"done","stage":null,"result":0,"osError":0})");

  const double minimum = 5080 + static_cast<double>(BlockCount(s.image())) * 20.0;
  const double wall = successAt - pressed;
  std::printf(
      "    update wall time from the Update press to the success hint: %.2f s "
      "(%.2f s of it at the warning box); mandated minimum %.2f s; ratio %.3f\n",
      wall / 1000, (answered - pressed) / 1000, minimum / 1000, wall / minimum);
  (void)warningShown;
  s.CloseAndFinish();
}

std::vector<Scenario> UpdateScenarios(Coverage coverage) {
  if (coverage == Coverage::All) {
    // 0xFFFF: no downgrade question, dashes before and the carried version after.
    return {{"full-update-no-installed-version", [](Session& s) { RunFullUpdate(s, 0xFFFF); }}};
  }
  return {{"full-update", [](Session& s) { RunFullUpdate(s, 0x0302); }}};
}

// Run with a program built to carry an image whose length is not a multiple of 4 (CTest's
// e2e.<language>.unaligned-image): its final block ends in a partial word that the 0xFF fill
// completes, which the carried image, a multiple of 4, never shows. Every request and the flash are
// compared with the shared expectation.
std::vector<Scenario> UnalignedImageScenarios() {
  return {{"full-update-with-a-partial-final-word", [](Session& s) {
             if (s.image().size() % 4 == 0) {
               s.checks().Abort(
                   "this group needs a program carrying an image whose length is "
                   "not a multiple of 4; the image has " +
                   std::to_string(s.image().size()) + " bytes");
             }
             RunFullUpdate(s, 0x0302);
           }}};
}

// ---------------------------------------------------------------- confirmations

std::vector<Scenario> ConfirmScenarios() {
  auto unchanged = [](Session& s, BusDeviceServer& unit, const wchar_t* esc) {
    s.program().WaitNoBox(10000, "no further box");
    s.ExpectDialog(Msg(IDS_READY, s.lang()), true, ReadyPanel(L"MAVIRA", esc), "after declining");
    s.ExpectRequests(unit, expected::ReadyIdentification(), "no request after identification");
    s.checks().ExpectEq(unit.OpenConnections(), 1, "unit still open");
  };
  return {
      {"unit-replaced-while-warning-open",
       [](Session& s) {
         // The run goes on with the unit that arrived while the warning was open; its refused
         // lock shows that the lock request went to it.
         BusDeviceServer& old = s.Plug(ReadyUnit(L"old"));
         double pressed = 0;
         MessageBoxInfo warning = PressUpdate(s, old, pressed);
         s.bus().Unplug(old);
         Deliver(s, 0x8004, old.path(), "removal of the unit");
         DevicePlan plan = ReadyUnit(L"new", 1);
         plan.faults.push_back({kLock, 1, sim::FaultKind::Refuse, 0x77, 0});
         BusDeviceServer& replacement = s.Plug(plan);
         Deliver(s, 0x8000, replacement.path(), "arrival of another unit");
         s.ExpectDialog(Msg(IDS_READY, s.lang()), true, ReadyPanel(L"TORVEX"),
                        "after the replacement arrived, warning still open");
         s.program().AnswerBox(warning, IDOK);
         MessageBoxInfo failure = s.program().WaitForBox(20000, "the lock failure box");
         s.ExpectFailureBox(failure, IDS_LOCK_FAILED, 1627);
         s.program().AnswerBox(failure, IDOK);
         s.ExpectRequests(old, expected::ReadyIdentification(), "old unit trace");
         s.ExpectRequests(replacement,
                          Concat(expected::ReadyIdentification(), {expected::LockSet()}),
                          "new unit trace");
         s.CloseAndFinish();
       }},
      {"cancel-at-warning",
       [unchanged](Session& s) {
         BusDeviceServer& unit = s.Plug(ReadyUnit());
         double pressed = 0;
         MessageBoxInfo warning = PressUpdate(s, unit, pressed);
         s.program().AnswerBox(warning, IDCANCEL);
         unchanged(s, unit, L"3.2");
         s.CloseAndFinish();
       }},
      {"downgrade-question-no",
       [unchanged](Session& s) {
         DevicePlan plan = ReadyUnit();
         plan.unit.escFirmwareVersion = build_facts::kVersionWord;
         BusDeviceServer& unit = s.Plug(plan);
         ExpectReadyStartup(s, L"MAVIRA", kCarriedText);
         s.program().PressButton(IDC_UPDATE);
         MessageBoxInfo warning = s.program().WaitForBox(10000, "the warning box");
         ExpectWarningBox(s, warning);
         s.program().AnswerBox(warning, IDOK);
         MessageBoxInfo question = s.program().WaitForBox(10000, "the downgrade question");
         ExpectQuestionBox(s, question);
         s.Screenshot("question");
         s.program().AnswerBox(question, IDNO);
         unchanged(s, unit, kCarriedText);
         s.CloseAndFinish();
       }},
      {"downgrade-question-yes-runs-the-update",
       [](Session& s) {
         // Yes goes on to the lock request; the unit's failing lock flag ends the run there.
         DevicePlan plan = ReadyUnit();
         plan.unit.escFirmwareVersion = build_facts::kVersionWord;
         plan.faults.push_back({kLock, 1, sim::FaultKind::FailFlag, 0, 0x02});
         BusDeviceServer& unit = s.Plug(plan);
         ExpectReadyStartup(s, L"MAVIRA", kCarriedText);
         s.program().PressButton(IDC_UPDATE);
         MessageBoxInfo warning = s.program().WaitForBox(10000, "the warning box");
         s.program().AnswerBox(warning, IDOK);
         MessageBoxInfo question = s.program().WaitForBox(10000, "the downgrade question");
         ExpectQuestionBox(s, question);
         s.program().AnswerBox(question, IDYES);
         MessageBoxInfo failure = s.program().WaitForBox(20000, "the lock failure box");
         s.ExpectFailureBox(failure, IDS_LOCK_FAILED, 1627);
         s.program().AnswerBox(failure, IDOK);
         s.ExpectRequests(unit, Concat(expected::ReadyIdentification(), {expected::LockSet()}),
                          "trace");
         s.CloseAndFinish();
       }},
  };
}

// ---------------------------------------------------------------- failures

struct FailureCase {
  std::string name;
  Coverage level;
  // The row of the stage-failure table; none for a unit that goes while the warning is open,
  // which fails the lock with -1.
  std::optional<stage_failures::StageFailure> row;
};

// The stage-failure table's rows for this group, each stage's refusals as the program's reply
// rules judge them; in German the first row alone shows the texts. Then a unit that goes while
// the warning is open.
std::vector<FailureCase> FailureCases() {
  std::vector<FailureCase> cases;
  for (const stage_failures::StageFailure& row :
       stage_failures::RowsFor(stage_failures::kWindowsReplies)) {
    cases.push_back({row.Name(), cases.empty() ? Coverage::Core : Coverage::All, row});
  }
  cases.push_back({"Lock_UnitRemovedWhileWarningOpen", Coverage::All, std::nullopt});
  return cases;
}

void RunFailure(Session& s, const FailureCase& c) {
  Checks& k = s.checks();
  Program& p = s.program();
  const auto imageBlocks = static_cast<std::uint32_t>(BlockCount(s.image()));
  const UpdateStage failedStage = c.row ? c.row->stage : UpdateStage::Lock;
  const MessageId message = c.row ? c.row->message : IDS_LOCK_FAILED;
  const std::int32_t result = c.row ? c.row->result : RESULT_NO_DEVICE;
  const std::size_t sent = c.row ? c.row->RequestsSent(imageBlocks) : 0;
  const std::size_t blocks = sent > 4 ? sent - 4 : 0;  // write-block requests sent
  DevicePlan plan = ReadyUnit();
  if (c.row)
    plan.faults = {c.row->Fault(imageBlocks)};
  BusDeviceServer& unit = s.Plug(plan);
  double pressed = 0;
  MessageBoxInfo warning = PressUpdate(s, unit, pressed);
  if (!c.row) {
    s.bus().Unplug(unit);
    Deliver(s, 0x8004, unit.path(), "removal while the warning is open");
    k.ExpectEq(p.ItemText(IDC_HINT), Guidance(IDS_CONNECTION_LOST, s.lang()),
               "hint after the removal, warning still open");
    k.Expect(!p.ItemEnabled(IDC_UPDATE), "Update disabled after the removal");
  }
  p.AnswerBox(warning, IDOK);

  // Watch the progress window (block failures) until the failure box shows.
  ProgressWatch watch;
  HWND boxWindow = nullptr;
  WaitUntil(k, 60000, "the failure box", [&] {
    watch.Poll(p, NowMs());
    if (!p.Running())
      k.Abort("the program ended before the failure box");
    std::vector<HWND> boxes = p.OwnedBoxes();
    if (boxes.empty())
      return false;
    boxWindow = boxes.front();
    return true;
  });
  const double boxAt = NowMs();
  const bool progressOpenAtBox = watch.window != nullptr && IsWindow(watch.window);
  MessageBoxInfo box = p.WaitForBox(10000, "the failure box to answer");
  (void)boxWindow;
  k.Expect(!progressOpenAtBox, "the progress window should be closed before the failure box");
  k.Expect((watch.window != nullptr) == (blocks > 0),
           blocks > 0 ? "the progress window should have opened"
                      : "no progress window expected before the transfer");
  std::uint32_t osError = s.ExpectFailureBox(box, message, result);
  k.Expect(!p.ItemEnabled(IDC_UPDATE), "Update disabled while the failure box is open");
  s.Screenshot("failure");

  std::vector<sim::RecordedRequest> r = unit.Requests();
  if (c.row && c.row->fault == sim::FaultKind::Silent && r.size() > 3) {
    std::printf(
        "    silent unit: failure box %.1f s after the unanswered request; OS error "
        "0x%08x\n",
        (boxAt - static_cast<double>(r[3].timeMs)) / 1000, static_cast<unsigned>(osError));
    k.Expect(osError == ERROR_TIMEOUT || osError == WAIT_TIMEOUT || osError == ERROR_SEM_TIMEOUT,
             "the second number should report the time-out, got " + std::to_string(osError));
  }
  if (failedStage == UpdateStage::Erase && r.size() > 5 && r[4].replyTimeMs) {
    // The erase stage is judged only after its 1000 ms and 4000 ms waits, which follow the
    // 20 ms after the protection release's reply (measured from that reply, see the update).
    const double since = boxAt - static_cast<double>(*r[4].replyTimeMs);
    k.Expect(since >= 20 + 1000 + 4000, "failure box " + Ms(since) +
                                            " after the protection release's reply, before "
                                            "the erase's waits could have ended");
  }
  p.AnswerBox(box, IDOK);
  ExpectFailedUpdateEnd(s, unit, sent);
  // The failure is on record, at its stage and with both numbers the box showed.
  ExpectRecord(s, std::string(R"({"end":"failed","stage":")") + StageKeyword(failedStage) +
                      R"(","result":)" + std::to_string(result) + R"(,"osError":)" +
                      std::to_string(osError) + "}");
  s.CloseAndFinish();
}

}  // namespace

std::vector<Scenario> ScenariosOf(const std::string& group, Coverage coverage) {
  std::vector<Scenario> out;
  if (group == "startup") {
    for (const StartupCase& c : StartupCases()) {
      if (c.level <= coverage)
        out.push_back({c.name, [c](Session& s) { RunStartup(s, c); }});
    }
  } else if (group == "hotplug") {
    out = HotplugScenarios();
  } else if (group == "confirm") {
    out = ConfirmScenarios();
  } else if (group == "failures") {
    for (const FailureCase& c : FailureCases()) {
      if (c.level <= coverage)
        out.push_back({c.name, [c](Session& s) { RunFailure(s, c); }});
    }
  } else if (group == "update") {
    out = UpdateScenarios(coverage);
  } else if (group == "unaligned") {
    out = UnalignedImageScenarios();
  } else if (group.rfind("matrix-", 0) == 0) {
    out = FaultMatrixScenarios(group);
  } else if (group == "storms") {
    out = StormScenarios();
  } else if (group == "planted") {
    out = PlantedDllScenarios();
  } else if (group == "bench") {
    out = BenchScenarios();
  } else if (group == "damaged-image") {
    out = DamagedImageScenarios();
    for (Scenario& broken : BrokenDialogScenarios()) {
      out.push_back(std::move(broken));
    }
  } else if (group == "dpi") {
    out = DpiScenarios();
  }
  return out;
}

}  // namespace e2e
