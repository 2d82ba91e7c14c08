#include "tests/e2e/driver/session.h"

#include "tests/e2e/driver/program_copy.h"

#include <cstdio>
#include <map>

#include "protocol/vendor.h"
#include "resources/resource_ids.h"
#include "tests/e2e/driver/screenshot.h"

namespace e2e {

namespace {

// The driver's stderr file from `offset` on; empty when there is none.
std::string WineStderr(const std::wstring& path, std::uint64_t offset) {
  std::string text;
  if (path.empty())
    return text;
  FILE* f = _wfopen(path.c_str(), L"rb");
  if (f == nullptr)
    return text;
  if (_fseeki64(f, static_cast<long long>(offset), SEEK_SET) == 0) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
      text.append(buf, n);
  }
  std::fclose(f);
  return text;
}

}  // namespace

const std::vector<std::uint8_t>& ReadImage(const std::wstring& path) {
  static std::map<std::wstring, std::vector<std::uint8_t>> cache;
  std::vector<std::uint8_t>& image = cache[path];
  if (image.empty()) {
    image = ReadFileBytes(path);
  }
  return image;
}

std::size_t BlockCount(const std::vector<std::uint8_t>& image) {
  return expected::UpdateBlocks(image).size();
}

std::vector<expected::RequestPattern> Concat(std::vector<expected::RequestPattern> a,
                                             const std::vector<expected::RequestPattern>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

void Deliver(Session& s, WPARAM code, const std::wstring& path, const std::string& what,
             Checks::Where where) {
  std::unique_ptr<AsyncSend> send = s.program().SendDeviceChange(code, path);
  send->Join(s.checks(), 20000, what + " to be handled", where);
}

void ExpectFailedUpdateEnd(Session& s, const BusDeviceServer& unit, std::size_t updateRequests) {
  s.program().WaitNoBox(10000, "the dialog to settle");
  // The program is back in its message loop, so all it sent is recorded by the time the unit
  // sees its handle closed.
  WaitUntil(s.checks(), 5000, "the link to be closed after the failure",
            [&] { return unit.OpenConnections() == 0; });
  s.ExpectDialog(Msg(IDS_RETRY_HINT, s.lang()), false, NoUnitPanel(L"MAVIRA"),
                 "after the failure box");
  s.ExpectRequests(
      unit,
      Concat(expected::ReadyIdentification(), expected::UpdateRequests(s.image(), updateRequests)),
      "trace");
}

Panel NoUnitPanel(std::wstring unitLabel) {
  return {std::move(unitLabel), L"0.0.0", L"0.0.0", L"0.0.0", false};
}
Panel InitialPanel(Language lang) {
  return NoUnitPanel(Msg(IDS_LABEL_UNIT, lang));
}

DevicePlan ReadyUnit(const std::wstring& tag, std::uint16_t productId) {
  DevicePlan d;
  d.name = Narrow(tag);
  d.productId = productId;
  return d;
}

DevicePlan OtherHidDevice(const std::wstring& tag) {
  DevicePlan d;
  d.name = Narrow(tag);
  d.vendorId = 0x046D;  // some other maker's keyboard or mouse
  d.productId = 0xC077;
  d.isUnit = false;
  return d;
}

Session::Session(const RunSettings& settings, const std::string& name)
    : settings_(settings), name_(name) {
  // The driver's process ID keeps buses (registry keys and pipe names) of parallel runs apart.
  std::string bus = settings.group + "." + name + "." + std::to_string(GetCurrentProcessId());
  bus_ = std::make_unique<SimBus>(std::wstring(bus.begin(), bus.end()));
  program_ = std::make_unique<Program>(checks_, settings.exePath, bus_->name());
  stderrStart_ = WineStderr(settings_.wineStderr, 0).size();
}

Session::~Session() {
  TearDown();
}

void Session::TearDown() {
  // The program first, then its devices: a device thread may wait for the program to read.
  if (program_) {
    const std::string problem = program_->End();
    checks_.Expect(problem.empty(), problem);
  }
  if (bus_) {
    for (const std::string& stuck : bus_->StopAll())
      checks_.Expect(false, stuck);
  }
}

BusDeviceServer& Session::Plug(const DevicePlan& plan) {
  const std::vector<std::string> unplayable = sim::Unplayable(plan, sim::Rig::Wine);
  if (!unplayable.empty())
    checks_.Abort("the Wine bus cannot play " + unplayable.front() + " (device \"" + plan.name +
                  "\")");
  BusDeviceServer& d = bus_->Plug(plan);
  devices_.push_back(&d);
  return d;
}

void Session::StartProgram() {
  program_->Start();
  program_->WaitForDialog();
}

void Session::ExpectDialog(const std::wstring& hint, bool updateEnabled, const Panel& panel,
                           const std::string& when) {
  Program& p = *program_;
  checks_.ExpectEq(p.ItemText(IDC_HINT), hint, when + ": hint");
  checks_.Expect(p.ItemEnabled(IDC_UPDATE) == updateEnabled,
                 when + ": Update should be " + (updateEnabled ? "enabled" : "disabled"));
  checks_.Expect(p.ItemEnabled(IDC_CLOSE), when + ": Close should be enabled");
  checks_.ExpectEq(p.ItemText(IDC_LABEL_UNIT), panel.unitLabel, when + ": unit row label");
  checks_.ExpectEq(p.ItemText(IDC_VERSION_UNIT), panel.unit, when + ": unit version");
  checks_.ExpectEq(p.ItemText(IDC_VERSION_BOOTLOADER), panel.bootloader,
                   when + ": bootloader version");
  checks_.ExpectEq(p.ItemText(IDC_VERSION_ESC), panel.esc, when + ": ESC version");
  for (int id : {IDC_LABEL_UNIT, IDC_LABEL_BOOTLOADER, IDC_LABEL_ESC, IDC_VERSION_UNIT,
                 IDC_VERSION_BOOTLOADER, IDC_VERSION_ESC}) {
    checks_.Expect(p.ItemEnabled(id) == panel.enabled, when + ": panel item " + std::to_string(id) +
                                                           " should be " +
                                                           (panel.enabled ? "enabled" : "greyed"));
  }
}

void Session::ExpectRequests(const BusDeviceServer& device,
                             const std::vector<expected::RequestPattern>& patterns,
                             const std::string& when) {
  std::vector<sim::RecordedRequest> actual = device.Requests();
  int reported = 0;
  for (std::size_t i = 0; i < patterns.size() && i < actual.size() && reported < 5; ++i) {
    std::string m = expected::Mismatch(patterns[i], actual[i].bytes);
    if (!m.empty()) {
      checks_.Expect(false, when + ": request " + std::to_string(i + 1) + ", " + m);
      ++reported;
    }
  }
  if (actual.size() != patterns.size()) {
    std::string detail;
    std::size_t from = std::min(actual.size(), patterns.size());
    if (from < actual.size())
      detail = ", first extra request starts " + expected::Hex(actual[from].bytes, 8);
    if (from < patterns.size())
      detail = ", first missing: " + patterns[from].name;
    checks_.Expect(false, when + ": " + std::to_string(actual.size()) + " requests, expected " +
                              std::to_string(patterns.size()) + detail);
  }
}

std::uint32_t Session::ExpectFailureBox(const MessageBoxInfo& box, MessageId message,
                                        std::int32_t result) {
  checks_.ExpectEq(box.caption, Msg(IDS_UPDATE_FAILED, lang()), "failure box caption");
  checks_.Expect(box.buttons == std::vector<int>{IDOK}, "failure box should have OK alone");
  if (result == -1) {
    checks_.ExpectEq(box.text, Msg(message, lang()), "failure box text (no code line)");
    return 0;
  }
  // The second number is whatever the OS last reported; take it from the box, check the rest.
  std::uint32_t second = 0;
  std::size_t dash = box.text.rfind(L"-0x");
  if (dash != std::wstring::npos && box.text.size() == dash + 11) {
    second =
        static_cast<std::uint32_t>(std::wcstoul(box.text.substr(dash + 3).c_str(), nullptr, 16));
  }
  checks_.ExpectEq(box.text, FailureText(message, result, second, lang()), "failure box text");
  return second;
}

void Session::Screenshot(const std::string& label) {
  if (settings_.screenshotDir.empty())
    return;
  std::string file = settings_.group + "-" + name_ + "-" + label + ".bmp";
  std::wstring path = settings_.screenshotDir + L"\\" + std::wstring(file.begin(), file.end());
  if (!SaveScreenBmp(path))
    std::printf("    (screenshot %s failed)\n", file.c_str());
}

void Session::CloseAndFinish() {
  Screenshot("end");  // every scenario's last state
  program_->Close();
  FinishChecks(true);
}

void Session::FinishChecks(bool exitedNormally) {
  finished_ = true;
  std::wstring misuse = bus_->Misuse();
  checks_.Expect(misuse.empty(),
                 "the HID doubles saw calls against their contract: " + Printable(misuse));
  if (exitedNormally) {
    checks_.ExpectEq(bus_->OpenSets(), 0, "device-info sets not destroyed at exit");
    checks_.ExpectEq(bus_->OpenPreparsed(), 0, "preparsed data not freed at exit");
  }
  for (BusDeviceServer* d : devices_) {
    for (const std::string& problem : d->WireProblems())
      checks_.Expect(false, problem);
  }
  // The program's Unix stderr is the driver's: Wine notes an exception it swallowed in a window
  // procedure there (WINEDEBUG=err+seh), which on Windows would have ended the program.
  std::string err = WineStderr(settings_.wineStderr, stderrStart_);
  std::size_t at = err.find(":seh:");
  if (at != std::string::npos) {
    std::size_t start = err.rfind('\n', at);
    start = start == std::string::npos ? 0 : start + 1;
    checks_.Expect(false, "Wine reported an exception in the program: " +
                              err.substr(start, err.find('\n', at) - start));
  }
}

}  // namespace e2e
