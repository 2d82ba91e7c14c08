#include "ui/update_runner.h"

#include "resources/resource_ids.h"
#include "ui/failure_text.h"
#include "update/firmware_package.h"

bool UpdateRunner::Confirmed() {
  const Catalogue& texts = parts_.texts;
  if (parts_.view.ShowMessage(texts.Text(IDS_NOTE_TEXT), texts.Text(IDS_NOTE_CAPTION),
                              MessageIcon::Warning,
                              MessageButtons::OkCancel) != MessageAnswer::Ok) {
    return false;
  }
  // Read after the first box: a unit removed or plugged in while it was open counts as it is now.
  if (IsDowngradeOrSame(parts_.link.identity().escFirmwareVersion())) {
    return parts_.view.ShowMessage(texts.Text(IDS_DOWNGRADE_TEXT),
                                   texts.Text(IDS_DOWNGRADE_CAPTION), MessageIcon::Warning,
                                   MessageButtons::YesNo) == MessageAnswer::Yes;
  }
  return true;
}

void UpdateRunner::Run() {
  const Catalogue& texts = parts_.texts;
  if (!parts_.link.IsOpen()) {
    // Read before any text is fetched, as after every failure.
    const std::uint32_t lastError = parts_.os.LastOsError();
    parts_.reporter.Report(texts.Text(IDS_UNIT_GONE), texts.Text(IDS_UPDATE_FAILED),
                           RESULT_NO_DEVICE, lastError);
    return;
  }

  // A build without its image, or with an image that is not the one the build recorded, is
  // refused before anything is asked or sent: confirming an update that cannot start would only
  // mislead, an empty image would end in "success" right after erasing the ESC, and a damaged
  // copy of the program must not flash a damaged image. The link and the dialog stay as they are.
  const ImageCheck check = CheckCarriedFirmware(firmware_);
  if (check != ImageCheck::Intact) {
    parts_.view.ShowMessage(texts.Text(ImageRefusalMessage(check)), texts.Text(IDS_UPDATE_FAILED),
                            MessageIcon::Error, MessageButtons::Ok);
    return;
  }

  if (!Confirmed()) {
    return;
  }

  const UpdateOutcome outcome =
      parts_.procedure.Run(firmware_.image, texts.Text(IDS_TRANSFER_RUNNING));
  if (!outcome.succeeded()) {
    parts_.reporter.Report(texts.Text(StageFailureMessage(*outcome.failedStage)),
                           texts.Text(IDS_UPDATE_FAILED), outcome.result, outcome.osError);
    return;
  }

  parts_.view.EnableItem(IDC_UPDATE, false);
  parts_.panel.Refresh();
  parts_.view.SetHint(texts.Text(IDS_SUCCESS));
}
