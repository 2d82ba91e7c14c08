// A copy of the program with one byte of its carried image changed must refuse to update with
// its own error box and send the unit nothing.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/e2e/driver/hardening.h"
#include "tests/e2e/driver/program_copy.h"
#include "tests/e2e/driver/release_scenarios.h"
#include "tests/e2e/driver/screen_pixels.h"

namespace e2e {

namespace {

// The carried image as the loader finds it in `exe` (resource 146).
std::vector<std::uint8_t> CarriedResource(const std::wstring& exe) {
  std::vector<std::uint8_t> bytes;
  HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr)
    return bytes;
  if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDR_FIRMWARE), RT_RCDATA)) {
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
    if (data != nullptr)
      bytes.assign(data, data + SizeofResource(module, found));
  }
  FreeLibrary(module);
  return bytes;
}

void RunDamagedImage(Session& s) {
  Checks& k = s.checks();
  const std::vector<std::uint8_t>& image = s.image();
  if (image.empty())
    k.Abort("the firmware image could not be read");
  ProgramCopy copy(s, L"damaged", L"damaged-updater.exe");
  std::vector<std::uint8_t> program = ReadFileBytes(copy.path());
  // The image is stored whole, once, in the program file: the resource's bytes.
  const auto found = std::search(program.begin(), program.end(), image.begin(), image.end());
  if (found == program.end())
    k.Abort("the carried image is not inside the program file");
  k.Expect(std::search(found + 1, program.end(), image.begin(), image.end()) == program.end(),
           "the carried image should be stored once");
  const std::size_t offset =
      static_cast<std::size_t>(found - program.begin()) + image.size() / 2 + 13;
  program[offset] ^= 0x01;
  if (!WriteFileBytes(copy.path(), program))
    k.Abort("cannot write the damaged copy " + Narrow(copy.path()));

  // The change is inside the resource, as the loader sees it: one byte of the image, no more.
  const std::vector<std::uint8_t> carried = CarriedResource(copy.path());
  std::size_t differing = 0;
  for (std::size_t i = 0; i < carried.size() && i < image.size(); ++i)
    differing += carried[i] != image[i];
  k.Expect(carried.size() == image.size() && differing == 1,
           "the copy's resource 146 should differ from the image in exactly one byte, differs in " +
               std::to_string(differing) + " of " + std::to_string(carried.size()));
  std::printf("    damaged copy: byte %zu of the image (file offset %zu) changed\n",
              image.size() / 2 + 13, offset);

  copy.Run("damaged-copy", [](Session& run) {
    BusDeviceServer& unit = run.Plug(ReadyUnit());
    Program& p = run.program();
    p.Start();
    p.WaitForDialog();
    const Panel ready{L"MAVIRA", L"1.2", L"1.5", L"3.2", true};
    run.ExpectDialog(Msg(IDS_READY, run.lang()), true, ready, "start-up of the damaged copy");
    p.PressButton(IDC_UPDATE);
    const MessageBoxInfo box = p.WaitForBox(10000, "the damaged-image box");
    run.checks().ExpectEq(box.caption, Msg(IDS_UPDATE_FAILED, run.lang()), "box caption");
    run.checks().ExpectEq(box.text, Msg(IDS_IMAGE_DAMAGED, run.lang()), "box text");
    run.checks().Expect(box.buttons == std::vector<int>{IDOK}, "the box should offer OK alone");
    const std::string icon = BoxIcon(box.window);
    run.checks().Expect(icon == "error", "the box should show the error icon, shows " + icon);
    run.Screenshot("box");
    p.AnswerBox(box, IDOK);
    p.WaitNoBox(10000, "the dialog to settle");
    // Nothing sent, nothing changed: the identification at start-up is all the unit heard.
    run.ExpectDialog(Msg(IDS_READY, run.lang()), true, ready, "after the box");
    run.ExpectRequests(unit, expected::ReadyIdentification(), "trace");
    run.checks().ExpectEq(unit.OpenConnections(), 1, "the unit stays open");
    run.CloseAndFinish();
  });
}

}  // namespace

std::vector<Scenario> DamagedImageScenarios() {
  return {{"copy-with-one-image-byte-changed", RunDamagedImage}};
}

}  // namespace e2e
