// The dialog, a box and the progress window at the desktop's DPI: every label and button shows
// its whole text, the progress window keeps its proportions and centring, with screenshots.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/win32/scoped_handle.h"
#include "resources/resource_ids.h"
#include "tests/e2e/driver/release_scenarios.h"
#include "tests/e2e/driver/screen_pixels.h"

namespace e2e {

namespace {

constexpr std::uint8_t kWriteBlock = 0x1B;

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

// Every label and button shows all of its text at this DPI (so at least as much as at 96 DPI):
// the ink on the screen spans what the whole text makes when drawn alone, and a label's ink stops
// short of the edge its text runs towards (a clipped glyph would touch it). The program paints
// when its queue is empty, so a control caught between erasing and drawing is read again.
void ExpectTextsShown(Session& s, int dpi) {
  Checks& k = s.checks();
  Program& p = s.program();
  struct Item {
    int id;
    bool button;
    bool rightAligned;
  };
  const Item items[] = {
      {IDC_LABEL_UNIT, false, false},
      {IDC_LABEL_BOOTLOADER, false, false},
      {IDC_LABEL_ESC, false, false},
      {IDC_VERSION_UNIT, false, true},
      {IDC_VERSION_BOOTLOADER, false, true},
      {IDC_VERSION_ESC, false, true},
      {IDC_HINT_LABEL, false, false},
      {IDC_CLOSE, true, false},
      {IDC_UPDATE, true, false},
  };
  const std::uint32_t background = Rgb(GetSysColor(COLOR_BTNFACE));
  for (const Item& item : items) {
    HWND control = GetDlgItem(p.dialog(), item.id);
    if (control == nullptr) {
      k.Expect(false, "dialog item " + std::to_string(item.id) + " is missing");
      continue;
    }
    const std::wstring text = p.ItemText(item.id);
    const int whole = InkOfWholeText(text, dpi);
    RECT client{};
    GetClientRect(control, &client);
    POINT origin{0, 0};
    ClientToScreen(control, &origin);
    // A push button's 3-D edge, border and focus rectangle lie within 4 pixels (at 96 DPI) of
    // its sides; its label is centred well inside.
    const int inset = item.button ? MulDiv(4, dpi, 96) : 0;
    InkSpan shown;
    bool wholeShown = false, clipped = false;
    for (int attempt = 0; attempt < 20 && (!wholeShown || clipped); ++attempt) {
      if (attempt != 0)
        Sleep(100);
      shown = InkOf(
          CaptureScreen({origin.x, origin.y, origin.x + client.right, origin.y + client.bottom}),
          background, inset);
      // One pixel of slack for where the text starts within a pixel.
      wholeShown = shown.width() + 1 >= whole;
      clipped = !item.button && shown.first >= 0 &&
                (item.rightAligned ? shown.first == 0 : shown.last >= client.right - 1);
    }
    std::printf("    %d DPI: item %5d %-22s ink %3d px of the whole text's %3d px, in %3ld px\n",
                dpi, item.id, Printable(text).c_str(), shown.width(), whole, client.right);
    const std::string what =
        std::to_string(dpi) + " DPI: item " + std::to_string(item.id) + " " + Printable(text);
    k.Expect(wholeShown, what + " shows " + std::to_string(shown.width()) +
                             " px of ink of the whole text's " + std::to_string(whole));
    k.Expect(!clipped, what + " reaches the edge of its control: clipped");
  }
}

// Where the logo goes in the dialog's client area, by the fixed formulas, and how large.
struct LogoPlace {
  int x, y, width, height;
};

LogoPlace LogoPlaceOf(HWND dialog, int bitmapWidth, int bitmapHeight) {
  RECT d{}, g{};
  GetWindowRect(dialog, &d);
  GetWindowRect(GetDlgItem(dialog, IDC_VERSION_GROUP), &g);
  LogoPlace place{};
  place.x = g.right - (d.left + GetSystemMetrics(SM_CXDLGFRAME)) + 20;
  place.y = g.top - (d.top + GetSystemMetrics(SM_CYCAPTION));
  place.width = std::min<int>(bitmapWidth / 2, d.right - g.right - 45);
  place.height =
      static_cast<int>(static_cast<float>(place.width) / static_cast<float>(bitmapWidth) *
                       static_cast<float>(bitmapHeight));
  return place;
}

// The logo on the screen is, pixel for pixel, the bitmap drawn afresh by the formulas: at the
// first paint and at a later one (`when`). The program paints when its queue is empty, so the
// screen is read again for a while before it counts as different.
void ExpectLogoAsDrawn(Session& s, const std::string& when) {
  Checks& k = s.checks();
  const HWND dialog = s.program().dialog();
  const ModuleHandle program(
      LoadLibraryExW(s.settings().exePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  HBITMAP bitmap = program ? LoadBitmapW(program.get(), MAKEINTRESOURCEW(IDB_LOGO)) : nullptr;
  BITMAP size{};
  const bool readable = bitmap != nullptr && GetObjectW(bitmap, sizeof size, &size) != 0;
  if (bitmap != nullptr)
    DeleteObject(bitmap);
  if (!readable) {
    k.Expect(false, "the program's logo bitmap cannot be read");
    return;
  }
  const LogoPlace place = LogoPlaceOf(dialog, size.bmWidth, size.bmHeight);
  const std::uint32_t background = Rgb(GetSysColor(COLOR_BTNFACE));
  const ScreenPixels expected =
      DrawnLogo(program.get(), IDB_LOGO, place.width, place.height, background);
  POINT origin{place.x, place.y};
  ClientToScreen(dialog, &origin);
  std::size_t differing = SIZE_MAX;
  for (int attempt = 0; attempt < 20 && differing != 0; ++attempt) {
    if (attempt != 0)
      Sleep(100);
    differing = DifferentPixels(
        CaptureScreen({origin.x, origin.y, origin.x + place.width, origin.y + place.height}),
        expected);
  }
  std::printf("    logo %s: %dx%d at %d,%d of the client area; %s\n", when.c_str(), place.width,
              place.height, place.x, place.y,
              differing == 0 ? "as drawn afresh" : "DIFFERENT from the bitmap drawn afresh");
  k.Expect(!expected.pixels.empty(), "the logo drawn afresh for comparison is empty");
  k.Expect(differing == 0, "the logo " + when + ": " +
                               (differing == SIZE_MAX ? std::string("no pixels to compare")
                                                      : std::to_string(differing)) +
                               " of " + std::to_string(expected.pixels.size()) +
                               " pixels differ from the bitmap drawn afresh by the formulas");
}

void RunDpiLayout(Session& s) {
  Checks& k = s.checks();
  Program& p = s.program();
  // Read other windows' rectangles in physical pixels, as the program (DPI-aware) lays them out.
  SetProcessDPIAware();
  const int dpi = ScreenDpi();
  const std::string tag = std::to_string(dpi) + "dpi";
  std::printf("    desktop at %d DPI\n", dpi);

  // The block failure ends the run soon after the progress window has been seen.
  DevicePlan plan = ReadyUnit();
  plan.faults.push_back({kWriteBlock, 250, sim::FaultKind::Refuse, 5, 0});
  BusDeviceServer& unit = s.Plug(plan);
  p.Start();
  p.WaitForDialog();
  s.ExpectDialog(Msg(IDS_READY, s.lang()), true, {L"MAVIRA", L"1.2", L"1.5", L"3.2", true},
                 "start-up");
  ExpectTextsShown(s, dpi);
  ExpectLogoAsDrawn(s, "at start-up");
  // A later paint of the whole dialog draws the same logo (painted before RedrawWindow returns).
  RedrawWindow(p.dialog(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  ExpectLogoAsDrawn(s, "repainted");
  s.Screenshot("dialog-" + tag);

  p.PressButton(IDC_UPDATE);
  const MessageBoxInfo warning = p.WaitForBox(10000, "the warning box");
  k.ExpectEq(warning.caption, Msg(IDS_NOTE_CAPTION, s.lang()), "warning caption");
  const std::string icon = BoxIcon(warning.window);
  k.Expect(icon == "warning", "the warning box should show the warning icon, shows " + icon);
  s.Screenshot("box-" + tag);
  p.AnswerBox(warning, IDOK);

  HWND progress = nullptr;
  WaitUntil(k, 30000, "the progress window", [&] {
    progress = p.ProgressWindow();
    return progress != nullptr && IsWindowVisible(progress);
  });
  // Drawn for a while: the transfer pumps no messages, but the window paints as it opens.
  Sleep(1500);
  RECT window{}, dialog{};
  GetWindowRect(progress, &window);
  GetWindowRect(p.dialog(), &dialog);
  s.Screenshot("progress-" + tag);
  const int width = window.right - window.left, height = window.bottom - window.top;
  std::printf("    progress window %dx%d at %ld,%ld; dialog %ld,%ld-%ld,%ld\n", width, height,
              window.left, window.top, dialog.left, dialog.top, dialog.right, dialog.bottom);
  k.ExpectEq(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(MulDiv(400, dpi, 96)),
             "progress window width at " + tag);
  k.ExpectEq(static_cast<std::uint64_t>(height), static_cast<std::uint64_t>(MulDiv(50, dpi, 96)),
             "progress window height at " + tag);
  k.Expect(window.left == dialog.left + ((dialog.right - dialog.left) >> 1) - width / 2 &&
               window.top == dialog.top + ((dialog.bottom - dialog.top) >> 1) - height / 2,
           "the progress window should be centred on the dialog at " + tag);

  const MessageBoxInfo failure = p.WaitForBox(60000, "the block failure box");
  s.ExpectFailureBox(failure, IDS_WRITE_BLOCK_FAILED, 5);
  p.AnswerBox(failure, IDOK);
  p.WaitNoBox(10000, "the dialog to settle");
  k.Expect(unit.Requests().size() > 250, "the transfer should have reached the failing block");
  s.CloseAndFinish();
}

}  // namespace

std::vector<Scenario> DpiScenarios() {
  return {{"layout", RunDpiLayout}};
}

}  // namespace e2e
