// A copy of the program whose main dialog cannot be created (its template names a control class
// that does not exist) must say so and end with a non-zero exit code, not vanish with 0.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/e2e/driver/hardening.h"
#include "tests/e2e/driver/program_copy.h"
#include "tests/e2e/driver/release_scenarios.h"

namespace e2e {

namespace {

void Append(std::vector<std::uint8_t>& bytes, const void* data, std::size_t size) {
  const auto* from = static_cast<const std::uint8_t*>(data);
  bytes.insert(bytes.end(), from, from + size);
}

// A template's strings are UTF-16, each ended by a zero unit.
void AppendWide(std::vector<std::uint8_t>& bytes, std::wstring_view text) {
  for (const wchar_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
  }
  bytes.push_back(0);
  bytes.push_back(0);
}

// A dialog template with one control of an unknown window class: creating the control fails, and
// without DS_NOFAILCREATE so does the whole dialog.
std::vector<std::uint8_t> UncreatableDialog() {
  std::vector<std::uint8_t> bytes;
  DLGTEMPLATE dialog{};
  dialog.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
  dialog.cdit = 1;
  dialog.cx = 120;
  dialog.cy = 60;
  Append(bytes, &dialog, sizeof dialog);
  const WORD none = 0;
  Append(bytes, &none, sizeof none);  // no menu
  Append(bytes, &none, sizeof none);  // the standard dialog class
  AppendWide(bytes, L"broken");
  bytes.resize((bytes.size() + 3) & ~std::size_t{3}, 0);  // items start on a DWORD
  DLGITEMTEMPLATE item{};
  item.style = WS_CHILD | WS_VISIBLE;
  item.cx = 50;
  item.cy = 14;
  item.id = 1;
  Append(bytes, &item, sizeof item);
  AppendWide(bytes, L"NoSuchWindowClass");
  AppendWide(bytes, L"");
  Append(bytes, &none, sizeof none);  // no creation data
  return bytes;
}

// The program has one template for every language, tagged neutral.
bool ReplaceDialog(const std::wstring& exe) {
  std::vector<std::uint8_t> dialog = UncreatableDialog();
  HANDLE update = BeginUpdateResourceW(exe.c_str(), FALSE);
  if (update == nullptr)
    return false;
  const bool ok = UpdateResourceW(update, RT_DIALOG, MAKEINTRESOURCEW(IDD_MAIN),
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), dialog.data(),
                                  static_cast<DWORD>(dialog.size())) != FALSE;
  return EndUpdateResourceW(update, ok ? FALSE : TRUE) != FALSE && ok;
}

void RunBrokenDialog(Session& s) {
  ProgramCopy copy(s, L"broken-dialog", L"broken-dialog-updater.exe");
  if (!ReplaceDialog(copy.path()))
    s.checks().Abort("cannot replace the dialog template of " + Narrow(copy.path()));

  copy.Run("broken-dialog", [](Session& run) {
    run.Plug(ReadyUnit());
    Program& p = run.program();
    p.Start();
    const MessageBoxInfo box = p.WaitForBox(20000, "the box that the dialog could not be made");
    run.checks().ExpectEq(box.caption, Msg(IDS_APP_ERROR, run.lang()), "box caption");
    run.checks().Expect(box.buttons == std::vector<int>{IDOK}, "the box should offer OK alone");
    run.checks().Expect(
        box.text.rfind(Msg(IDS_WINDOW_FAILED, run.lang()), 0) == 0,
        "the box should say that the window could not be created, says " + Printable(box.text));
    run.Screenshot("box");
    p.AnswerBox(box, IDOK);
    const DWORD exitCode = p.WaitExit(15000);
    run.checks().ExpectEq(exitCode, 1, "the exit code of a program whose dialog failed");
    std::printf("    broken dialog: box \"%s\", exit code %lu\n", Printable(box.text).c_str(),
                exitCode);
  });
}

}  // namespace

std::vector<Scenario> BrokenDialogScenarios() {
  return {{"copy-whose-dialog-cannot-be-created", RunBrokenDialog}};
}

}  // namespace e2e
