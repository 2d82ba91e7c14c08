#include "update/update_session.h"

#include "update/firmware_package.h"

namespace {

SessionOutcome Ended(SessionEnd end, UpdateStage stage = UpdateStage::Lock,
                     RequestResult result = {}) {
  SessionOutcome outcome;
  outcome.end = end;
  outcome.stage = stage;
  outcome.result = result;
  return outcome;
}

}  // namespace

bool UpdateSession::Confirmed(UpdatePrompts& prompts) {
  if (!prompts.Confirm(Confirmation::Warning)) {
    return false;
  }
  // Read after the first question: a unit removed or plugged in while it was asked counts as it
  // is now (a removed one reads version 0 and is not asked about).
  if (IsDowngradeOrSame(link_.identity().escFirmwareVersion())) {
    return prompts.Confirm(Confirmation::Downgrade);
  }
  return true;
}

SessionOutcome UpdateSession::Run(UpdatePrompts& prompts, std::wstring_view progressTitle,
                                  UpdateGuard* guard, SessionObserver* observer) {
  if (!link_.IsOpen()) {
    return Ended(SessionEnd::NoUnit, UpdateStage::Lock, {RESULT_NO_DEVICE});
  }

  // A build without its image, or with an image that is not the one the build recorded, is
  // refused before anything is asked or sent: confirming an update that cannot start would only
  // mislead, an empty image would end in "success" right after erasing the ESC, and a damaged
  // copy of the program must not flash a damaged image.
  switch (CheckCarriedFirmware(firmware_)) {
    case ImageCheck::Missing:
      return Ended(SessionEnd::ImageMissing);
    case ImageCheck::Damaged:
      return Ended(SessionEnd::ImageDamaged);
    case ImageCheck::Intact:
      break;
  }

  if (!Confirmed(prompts)) {
    return Ended(SessionEnd::Declined);
  }

  if (observer != nullptr) {
    observer->UpdateBegun(link_, firmware_);
  }
  const SessionOutcome outcome = RunProcedure(guard, progressTitle, observer);
  if (observer != nullptr) {
    observer->UpdateEnded(outcome);
  }
  return outcome;
}

SessionOutcome UpdateSession::RunProcedure(UpdateGuard* guard, std::wstring_view progressTitle,
                                           SessionObserver* observer) {
  // The questions may have let a removal close the link; the lock stage's own check then fails
  // the update with "no unit", as it must be reported.
  if (guard != nullptr) {
    guard->Raise();
  }
  const UpdateOutcome outcome = procedure_.Run(
      firmware_.image, progressTitle, guard != nullptr ? &guard->stop() : nullptr, observer);
  if (guard != nullptr) {
    guard->Lower();
  }

  if (outcome.succeeded()) {
    return Ended(SessionEnd::Done);
  }
  link_.Close();
  if (outcome.stopped) {
    return Ended(SessionEnd::Stopped, *outcome.failedStage);
  }
  return Ended(SessionEnd::Failed, *outcome.failedStage, outcome.result);
}
