#include "dialog/update_runner.h"

#include "texts/failure_text.h"

namespace {

// The two questions as the dialog's message boxes; each goes on only on its first button.
class DialogPrompts final : public UpdatePrompts {
 public:
  DialogPrompts(DialogView& view, const Catalogue& texts) : view_(view), texts_(texts) {}

  bool Confirm(Confirmation question) override {
    switch (question) {
      case Confirmation::Warning:
        return view_.ShowMessage(texts_.Text(IDS_NOTE_TEXT), texts_.Text(IDS_NOTE_CAPTION),
                                 MessageIcon::Warning,
                                 MessageButtons::OkCancel) == MessageAnswer::Ok;
      case Confirmation::Downgrade:
        return view_.ShowMessage(texts_.Text(IDS_DOWNGRADE_TEXT),
                                 texts_.Text(IDS_DOWNGRADE_CAPTION), MessageIcon::Warning,
                                 MessageButtons::YesNo) == MessageAnswer::Yes;
    }
    return false;
  }

 private:
  DialogView& view_;
  const Catalogue& texts_;
};

}  // namespace

void UpdateRunner::Run() {
  const Catalogue& texts = parts_.texts;
  DialogPrompts prompts(parts_.view, texts);
  // The dialog pumps no messages from the lock to the end: nothing can interrupt the update, so
  // it needs no guard.
  const SessionOutcome outcome =
      session_.Run(prompts, texts.Text(IDS_TRANSFER_RUNNING), nullptr, parts_.record);
  switch (outcome.end) {
    case SessionEnd::Done:
      parts_.view.EnableUpdate(false);
      parts_.panel.Refresh();
      parts_.view.SetHint(texts.Text(IDS_SUCCESS));
      return;
    case SessionEnd::NoUnit:
      parts_.reporter.Report(texts.Text(IDS_UNIT_GONE), texts.Text(IDS_UPDATE_FAILED),
                             outcome.result.code, outcome.result.osError);
      return;
    case SessionEnd::ImageMissing:
    case SessionEnd::ImageDamaged:
      // The link and the dialog stay as they are: nothing was asked or sent.
      parts_.view.ShowMessage(texts.Text(ImageRefusalMessage(outcome.end)),
                              texts.Text(IDS_UPDATE_FAILED), MessageIcon::Error,
                              MessageButtons::Ok);
      return;
    case SessionEnd::Declined:
      return;
    case SessionEnd::Stopped:
    case SessionEnd::Failed:
      parts_.reporter.Report(texts.Text(StageFailureMessage(outcome.stage, outcome.result.code)),
                             texts.Text(IDS_UPDATE_FAILED), outcome.result.code,
                             outcome.result.osError);
      return;
  }
}
