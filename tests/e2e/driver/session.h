// One scenario's world: a fresh simulated bus, the program started on it, the checks made, and
// the checks every scenario shares (dialog state, request patterns, clean ending).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/driver/program.h"
#include "tests/e2e/driver/sim_bus.h"
#include "tests/e2e/driver/support.h"
#include "tests/e2e/driver/texts.h"
#include "tests/support/expected_requests.h"

namespace e2e {

struct RunSettings {
  std::wstring exePath;
  std::wstring imagePath;
  std::wstring wineStderr;     // the file this driver's Unix stderr goes to (Wine's notes)
  std::wstring screenshotDir;  // empty: no screenshots
  Language lang = Language::English;
  std::string group;
};

// Expected state of the version panel.
struct Panel {
  std::wstring unitLabel;  // label 40010
  std::wstring unit, bootloader, esc;
  bool enabled = false;
};

// The panel when no unit is open; label 40010 keeps whatever it showed.
Panel NoUnitPanel(std::wstring unitLabel);
Panel InitialPanel(Language lang);

// The bytes of an image file, read once and kept for the run; empty when it cannot be read.
const std::vector<std::uint8_t>& ReadImage(const std::wstring& path);

class Session {
 public:
  Session(const RunSettings& settings, const std::string& name);
  ~Session();  // TearDown

  // Ends the program and every device, each wait bounded, and records in the checks what did not
  // end: call it before reading the checks, also after an abort.
  void TearDown();

  Checks& checks() { return checks_; }
  SimBus& bus() { return *bus_; }
  Program& program() { return *program_; }
  Language lang() const { return settings_.lang; }
  const RunSettings& settings() const { return settings_; }
  // The firmware image the program carries: the run's image file, read once per run.
  const std::vector<std::uint8_t>& image() const { return ReadImage(settings_.imagePath); }

  // Aborts the scenario when the plan asks for what this bus cannot play.
  BusDeviceServer& Plug(const DevicePlan& plan);
  void StartProgram();

  // Hint text, Update state and version panel, letter for letter.
  void ExpectDialog(const std::wstring& hint, bool updateEnabled, const Panel& panel,
                    const std::string& when);
  // The device's request trace matches `patterns` (each request at its output report length).
  void ExpectRequests(const BusDeviceServer& device,
                      const std::vector<expected::RequestPattern>& patterns,
                      const std::string& when);
  // A failure box: caption 40002, OK only, text = message [+ "\r\n" + code line]. The second
  // number is the OS error, which only the time-out case fixes; it is returned.
  std::uint32_t ExpectFailureBox(const MessageBoxInfo& box, MessageId message, std::int32_t result);

  void Screenshot(const std::string& label);
  // Close, exit code 0, and what the doubles, the wire and Wine's stderr reported.
  void CloseAndFinish();

 private:
  void FinishChecks(bool exitedNormally);

  RunSettings settings_;
  std::string name_;
  Checks checks_;
  std::unique_ptr<SimBus> bus_;
  std::unique_ptr<Program> program_;
  std::vector<BusDeviceServer*> devices_;
  bool finished_ = false;
  std::uint64_t stderrStart_ = 0;  // Wine's notes from here on belong to this scenario
};

// The number of write-block requests an update of `image` takes.
std::size_t BlockCount(const std::vector<std::uint8_t>& image);

// `a` followed by `b`.
std::vector<expected::RequestPattern> Concat(std::vector<expected::RequestPattern> a,
                                             const std::vector<expected::RequestPattern>& b);

// Sends WM_DEVICECHANGE `code` (0x8000 arrival, 0x8004 removal) for `path` and waits, bounded,
// for the program to have handled it.
void Deliver(Session& s, WPARAM code, const std::wstring& path, const std::string& what,
             Checks::Where where = Checks::Where::current());

// Once the failure box of an update has been answered: the dialog settles on the retry hint with
// the link closed, and the unit has received the identification and the update's first
// `updateRequests` requests, nothing after them (not even the closing pair).
void ExpectFailedUpdateEnd(Session& s, const BusDeviceServer& unit, std::size_t updateRequests);

// `tag` names the device, unique on the bus.
DevicePlan ReadyUnit(const std::wstring& tag = L"unit", std::uint16_t productId = 2);
DevicePlan OtherHidDevice(const std::wstring& tag = L"mouse");

}  // namespace e2e
