// CPU time of the protocol and update logic for one full update of the carried image's size,
// with a transport that answers at once and waits that return at once.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <span>
#include <vector>

#include "dialog/dialog_logic.h"
#include "dialog/dialog_view.h"
#include "protocol/unit_link.h"
#include "protocol/unit_report.h"
#include "tests/support/fake_clock.h"
#include "texts/message_catalogue.h"
#include "update/firmware_package.h"
#include "update/progress_window.h"
#include "update/sha256.h"

namespace {

constexpr std::size_t kImageBytes = 97'744;
constexpr std::size_t kBlocks = BlocksForImage(kImageBytes);

// A ready unit that accepts everything without delay.
class InstantTransport : public HidTransport {
 public:
  RequestResult FindAndOpen(OpenedDevice& out) override {
    // Any path (wide on Windows, bytes elsewhere): an update never looks at it.
    out = {0x10, DevicePath(1, DevicePathChar('x')), 2};
    return {};
  }
  IoResult GetReportLengths(DeviceHandle, ReportLengths& out) override {
    out = {65, 65};
    return IoResult::Success();
  }
  IoResult WriteReport(DeviceHandle, std::span<const std::uint8_t> report) override {
    command_ = report[1];
    argument_ = report[3];
    return IoResult::Success();
  }
  ListenResult Listen(DeviceHandle, std::span<std::uint8_t>, std::uint32_t) override {
    return ListenResult::Quiet();
  }
  IoResult ReadReport(DeviceHandle, std::span<std::uint8_t> buffer) override {
    buffer[0] = REPORT_ID_IN;
    buffer[1] = 0;
    buffer[3] = 0;
    switch (command_) {
      case CMD_IDENTIFY:
        PutU16LE(buffer, 4, 3);  // an updatable ESC is connected
        break;
      case CMD_READ_ESC_BOOT_INFO:
        PutU32LE(buffer, 4, SUPPORTED_ESC_TYPES[0]);
        break;
      case CMD_SYSTEM_LOCK:
        buffer[3] = argument_;
        break;
      default:
        break;
    }
    return IoResult::Success();
  }
  void CloseDevice(DeviceHandle) override {}

 private:
  std::uint8_t command_ = 0;
  std::uint8_t argument_ = 0;
};

class SilentDialog : public DialogView {
 public:
  void ShowVersions(const VersionRows&) override {}
  void EnableUpdate(bool) override {}
  void SetHint(std::wstring_view) override {}
  void AppendHint(std::wstring_view) override {}
  MessageAnswer ShowMessage(std::wstring_view, std::wstring_view, MessageIcon,
                            MessageButtons buttons) override {
    return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
  }
};

class SilentProgress : public ProgressWindow {
 public:
  void Open(std::wstring_view) override {}
  void SetPosition(std::uint32_t percent) override { benchmark::DoNotOptimize(percent); }
  void Close() override {}
};

void FullUpdate(benchmark::State& state) {
  InstantTransport transport;
  NoWaitClock clock;
  SilentDialog dialog;
  SilentProgress progress;
  std::vector<std::uint8_t> image(kImageBytes);
  for (std::size_t i = 0; i < image.size(); ++i) {
    image[i] = static_cast<std::uint8_t>(i * 131);
  }
  const TableCatalogue texts(Language::English);
  UnitLink link(transport, clock);
  DialogLogic logic({dialog, link, texts, progress, clock},
                    CarriedFirmware{image, Sha256Of(image)});
  if (!link.Open().ok()) {
    state.SkipWithError("the instant unit did not identify");
    return;
  }
  for (auto _ : state) {
    logic.runner.Run();
  }
  if (!link.IsOpen() || link.identity().escFirmwareVersion() != FIRMWARE_VERSION) {
    state.SkipWithError("the update did not succeed");
  }
  state.counters["blocks"] = static_cast<double>(kBlocks);
  state.counters["per_block"] =
      benchmark::Counter(static_cast<double>(kBlocks) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(FullUpdate)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
