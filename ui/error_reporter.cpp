#include "ui/error_reporter.h"

#include <string>

#include "protocol/unit_link.h"
#include "resources/resource_ids.h"
#include "ui/dialog_view.h"
#include "ui/message_catalogue.h"
#include "ui/message_format.h"
#include "ui/version_panel.h"

namespace ErrorReporter {

void Report(std::wstring_view message, std::wstring_view caption, ResultCode result,
            std::uint32_t lastError) {
  // No closing request is sent: the unit is abandoned in whatever state the failure left it.
  TheUnitLink().Close();
  View().EnableItem(IDC_UPDATE, false);
  VersionPanel::Refresh();

  // -1 means the unit was not there to ask, so there is no code worth showing.
  std::wstring text(message);
  if (result != RESULT_NO_DEVICE) {
    text += L"\r\n";
    text += FormatWithHexPair(Text(IDS_ERROR_CODES), static_cast<std::uint32_t>(result), lastError);
  }
  View().ShowMessage(text, caption, MessageIcon::Error, MessageButtons::Ok);

  // Device events handled while the box was open may have changed the hint; this one wins.
  View().SetHint(Text(IDS_RETRY_HINT));
}

}  // namespace ErrorReporter
