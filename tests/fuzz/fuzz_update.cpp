// The whole update, from the start-up scan through the confirmations to success or the failure
// report, with arbitrary replies and failures at every request, arbitrary answers in every box,
// device events delivered while a box is open, and an arbitrary image.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <span>
#include <vector>

#include "dialog/dialog_logic.h"
#include "protocol/unit_link.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/fuzz_transport.h"
#include "tests/support/fake_clock.h"
#include "tests/support/recording_progress.h"
#include "tests/support/recording_view.h"
#include "tests/support/timeline.h"
#include "texts/message_catalogue.h"
#include "update/sha256.h"

namespace {

DeviceEvent EventFrom(FuzzedDataProvider& input) {
  DeviceEvent event;
  event.change = input.ConsumeBool() ? DeviceChange::Arrival : DeviceChange::Removal;
  event.deviceInterface = input.ConsumeBool();
  event.path = input.ConsumeBool() ? FUZZ_DEVICE_PATH : DevicePath("/dev/hidraw-other");
  return event;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  FuzzTransport transport(input, 128);
  NoWaitClock clock;
  Timeline timeline;
  RecordingView view(timeline);
  RecordingProgress progress(timeline);
  const TableCatalogue texts(Language::English);
  UnitLink link(transport, clock);
  const std::vector<std::uint8_t> image =
      input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 400));
  // Mostly the image the "build" recorded; now and then one that is not, which must send nothing.
  const Sha256Digest digest = input.ConsumeBool() ? Sha256Of(image) : Sha256Digest{};
  DialogLogic logic({view, link, texts, progress, clock}, CarriedFirmware{image, digest});

  for (int box = 0; box < 4; ++box) {
    RecordingView::Reply reply;
    reply.answer = static_cast<MessageAnswer>(input.ConsumeIntegralInRange<int>(0, 3));
    if (input.ConsumeBool()) {
      const DeviceEvent event = EventFrom(input);
      reply.whileOpen = [event, &logic] { logic.connection.OnDeviceChange(event); };
    }
    view.Script(reply);
  }

  logic.connection.ShowStartupState(link.Open());
  for (int run = 0; run < 2 && input.remaining_bytes() > 0; ++run) {
    const std::uint32_t writesBefore = transport.writes;
    const std::size_t boxesBefore = view.messages.size();
    logic.runner.Run();
    // Whatever happened, the progress display is gone and the user was told or asked something
    // unless nothing was sent.
    FUZZ_CHECK(!progress.open);
    FUZZ_CHECK(transport.writes == writesBefore || view.messages.size() > boxesBefore ||
               view.hint == TableText(IDS_SUCCESS, Language::English));
    FUZZ_CHECK(link.IsOpen() || transport.openHandles == 0);
    FUZZ_CHECK(progress.positions.empty() || progress.positions.back() <= 100);
  }

  link.Close();
  FUZZ_CHECK(transport.openHandles == 0);
  return 0;
}
