#include "update/update_runner.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "protocol/os_services.h"
#include "protocol/unit_link.h"
#include "resources/resource_ids.h"
#include "ui/dialog_view.h"
#include "ui/error_reporter.h"
#include "ui/message_catalogue.h"
#include "ui/version_panel.h"
#include "update/firmware_package.h"
#include "update/image_integrity.h"
#include "update/progress_window.h"

namespace UpdateRunner {
namespace {

constexpr std::uint32_t STAGE_GAP_MS = 20;
constexpr std::uint32_t AFTER_ERASE_MS = 4000;
constexpr std::uint32_t AFTER_BLOCK_MS = 20;
constexpr std::size_t WORD_BYTES = 4;

// The stages before the transfer, in the order the unit needs them.
struct Stage {
  ResultCode (*operation)(UnitLink& link);
  MessageId failureMessage;
  std::uint32_t waitAfterMs;  // waited whatever the result, before it is judged
};

constexpr Stage kStages[] = {
    {[](UnitLink& link) { return link.SetSystemLock(true); }, IDS_LOCK_FAILED, 0},
    {[](UnitLink& link) { return link.SetEscWriteProtection(false); }, IDS_PROTECT_FAILED, 0},
    // The unit erases for a while after it has answered.
    {[](UnitLink& link) { return link.Erase(); }, IDS_ERASE_FAILED, AFTER_ERASE_MS},
    {[](UnitLink& link) { return link.SetAddress(); }, IDS_SET_ADDRESS_FAILED, 0},
};

// The OS error belongs to the failed request, so it is read before anything else runs that could
// change it (fetching a text, closing the progress window).
void ReportFailure(MessageId message, ResultCode result) {
  const std::uint32_t lastError = LastOsError();
  ErrorReporter::Report(Text(message), Text(IDS_UPDATE_FAILED), result, lastError);
}

bool Confirmed() {
  if (View().ShowMessage(Text(IDS_NOTE_TEXT), Text(IDS_NOTE_CAPTION), MessageIcon::Warning,
                         MessageButtons::OkCancel) != MessageAnswer::Ok) {
    return false;
  }
  // Read after the first box: a unit removed or plugged in while it was open counts as it is now.
  const std::uint16_t installed = TheUnitLink().escFirmwareVersion();
  if (installed >= FIRMWARE_VERSION && installed != ESC_VERSION_NONE) {
    return View().ShowMessage(Text(IDS_DOWNGRADE_TEXT), Text(IDS_DOWNGRADE_CAPTION),
                              MessageIcon::Warning, MessageButtons::YesNo) == MessageAnswer::Yes;
  }
  return true;
}

// Sends the image in 48-byte blocks. A tail shorter than a block goes from a 0xFF-filled buffer,
// rounded up to whole words so that no byte of an image whose length is not a multiple of 4 is
// dropped. False after a failed block has been reported.
bool Transfer(std::span<const std::uint8_t> image) {
  UnitLink& link = TheUnitLink();
  // Progress is computed in 32 bits; images stay far below the 42,949,673 bytes where the
  // product (length * 100) would overflow.
  const std::uint32_t length = static_cast<std::uint32_t>(image.size());
  std::uint32_t remaining = length;
  std::size_t cursor = 0;

  while (remaining != 0) {
    ResultCode result;
    if (remaining >= BLOCK_BYTES) {
      result = link.WriteBlock(image.subspan(cursor, BLOCK_BYTES), BLOCK_BYTES / WORD_BYTES);
      cursor += BLOCK_BYTES;
      remaining -= static_cast<std::uint32_t>(BLOCK_BYTES);
    } else {
      std::array<std::uint8_t, BLOCK_BYTES> finalBlock;
      finalBlock.fill(0xFF);
      const std::span<const std::uint8_t> tail = image.subspan(cursor, remaining);
      std::copy(tail.begin(), tail.end(), finalBlock.begin());
      result = link.WriteBlock(finalBlock, (remaining + WORD_BYTES - 1) / WORD_BYTES);
      remaining = 0;
    }

    if (result != RESULT_OK) {
      const std::uint32_t lastError = LastOsError();
      Progress().Close();
      ErrorReporter::Report(Text(IDS_WRITE_BLOCK_FAILED), Text(IDS_UPDATE_FAILED), result,
                            lastError);
      return false;
    }

    Progress().SetPosition((length - remaining) * 100u / length);
    Progress().RaiseOnceIfForeground();
    WaitMilliseconds(AFTER_BLOCK_MS);
  }
  return true;
}

}  // namespace

void Run() {
  if (!TheUnitLink().IsOpen()) {
    ReportFailure(IDS_UNIT_GONE, RESULT_NO_DEVICE);
    return;
  }

  // A build without its image is refused before anything is asked or sent: confirming an update
  // that cannot start would only mislead, and with no blocks the run would end in "success" right
  // after erasing the ESC. The link and the dialog stay as they are.
  const std::span<const std::uint8_t> image = GetImage();
  if (image.empty()) {
    View().ShowMessage(Text(IDS_IMAGE_MISSING), Text(IDS_UPDATE_FAILED), MessageIcon::Error,
                       MessageButtons::Ok);
    return;
  }
  // The same for an image that is not the one the build recorded: a damaged copy of the program
  // must not flash a damaged image.
  if (!ImageIntact(image, ExpectedImageDigest())) {
    View().ShowMessage(Text(IDS_IMAGE_DAMAGED), Text(IDS_UPDATE_FAILED), MessageIcon::Error,
                       MessageButtons::Ok);
    return;
  }

  if (!Confirmed()) {
    return;
  }

  bool first = true;
  for (const Stage& stage : kStages) {
    if (!first) {
      WaitMilliseconds(STAGE_GAP_MS);
    }
    first = false;
    // The stage checks for an open unit itself: one removed during a confirmation gives -1.
    const ResultCode result = stage.operation(TheUnitLink());
    if (stage.waitAfterMs != 0) {
      WaitMilliseconds(stage.waitAfterMs);
    }
    if (result != RESULT_OK) {
      ReportFailure(stage.failureMessage, result);
      return;
    }
  }

  WaitMilliseconds(STAGE_GAP_MS);
  Progress().Open(Text(IDS_TRANSFER_RUNNING));
  if (!Transfer(image)) {
    return;
  }
  Progress().Close();

  // Back-to-back and never judged: the firmware is already written.
  TheUnitLink().SetEscWriteProtection(true);
  TheUnitLink().SetSystemLock(false);

  TheUnitLink().setEscFirmwareVersion(FIRMWARE_VERSION);
  View().EnableItem(IDC_UPDATE, false);
  VersionPanel::Refresh();
  View().SetHint(Text(IDS_SUCCESS));
}

}  // namespace UpdateRunner
