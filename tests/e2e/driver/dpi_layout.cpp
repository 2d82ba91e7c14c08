// The dialog, a box and the progress window at the desktop's DPI: every label and button shows
// its whole text, the progress window keeps its proportions and centring, with screenshots.
#include <cstdio>
#include <string>

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
