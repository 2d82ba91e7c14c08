#include "dialog/error_reporter.h"

#include <string>

#include "texts/failure_text.h"

void ErrorReporter::Report(std::wstring_view message, std::wstring_view caption, ResultCode result,
                           std::uint32_t lastError) {
  // No closing request is sent: the unit is abandoned in whatever state the failure left it.
  link_.Close();
  view_.EnableUpdate(false);
  panel_.Refresh();

  view_.ShowMessage(FailureText(message, result, lastError, texts_), caption, MessageIcon::Error,
                    MessageButtons::Ok);

  // Device events handled while the box was open may have changed the hint; this one wins.
  view_.SetHint(texts_.Text(IDS_RETRY_HINT));
}
