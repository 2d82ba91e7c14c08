// The browser front end's entry point, run in a dedicated worker: a hidden tab's page has its
// timers throttled to about one a second, which would stretch the update's 2,037 20 ms waits to
// over half an hour; a worker's are not.
#include "carried_image_digest.h"

#include "dialog/dialog_logic.h"
#include "protocol/claiming_transport.h"
#include "protocol/unit_link.h"
#include "protocol/vendor.h"
#include "texts/message_catalogue.h"
#include "texts/text_encoding.h"
#include "texts/window_title.h"
#include "update/compiled_in_image.h"
#include "update/firmware_package.h"
#include "update/update_record.h"
#include "web/browser_language.h"
#include "web/browser_unit_claims.h"
#include "web/browser_waiter.h"
#include "web/page_channel.h"
#include "web/page_dialog_view.h"
#include "web/page_records.h"
#include "web/webhid_transport.h"
#include "web/worker_inbox.h"
#include "web/worker_loop.h"

namespace {

// The texts the dialog template and the title carry on Windows, and the row labels the dialog
// sets at start-up.
void ShowPageTexts(PageChannel& page, const Catalogue& texts, std::size_t language) {
  const std::string_view code = BuiltInLanguages()[language].code;
  page.PageText("lang", std::wstring(code.begin(), code.end()));
  page.PageText("title", MainWindowTitle());
  page.PageText("versions", texts.Text(IDS_DIALOG_VERSION_GROUP));
  page.PageText("hint", texts.Text(IDS_DIALOG_HINT_LABEL));
  page.PageText("update", texts.Text(IDS_DIALOG_UPDATE));
  page.PageText("connect", texts.Text(IDS_WEB_CONNECT));
  page.PageText("cancel", texts.Text(IDS_WEB_CANCEL));
  page.PageText("yes", texts.Text(IDS_WEB_YES));
  page.PageText("no", texts.Text(IDS_WEB_NO));
  page.PageText("save-report", texts.Text(IDS_WEB_SAVE_REPORT));
  page.PageText("label-unit", texts.Text(IDS_LABEL_UNIT));
  page.PageText("label-bootloader", texts.Text(IDS_LABEL_BOOTLOADER));
  page.PageText("label-esc", texts.Text(IDS_LABEL_ESC));
}

}  // namespace

int main() {
  // The page says first which language the browser speaks and whether it has WebHID.
  InboxMessage start = NextInboxMessage();
  while (start.kind != InboxKind::Start) {
    start = NextInboxMessage();
  }

  // The whole state, built once here and alive for as long as the page is open.
  const std::size_t language = LanguageOfTag(start.text, BuiltInLanguages());
  const TableCatalogue texts(BuiltInTable(), language);
  PageChannel page;
  WorkerLoop loop(page);
  PageDialogView view(page, loop);
  PageProgress progress(page);
  BrowserWaiter waiter;
  WebHidTransport webHid;
  // Each unit is claimed before anything is sent to it: another tab of this page leaves it alone
  // while this one holds it.
  BrowserUnitClaims claims;
  ClaimingTransport transport(webHid, claims);
  UnitLink link(transport, waiter);
  // Each update's record goes to the page, which keeps it.
  BrowserWallClock wallClock;
  PageRecordSink records(page);
  UpdateRecorder recorder(wallClock, records, {"web", Utf8FromWide(FirmwareVersionText())});
  // A Web Lock is seen by this page's tabs alone, so a held unit is held by another tab.
  DialogLogic logic({view, link, texts, progress, waiter, &recorder},
                    CarriedFirmware{CarriedImage(), CARRIED_IMAGE_SHA256}, IDS_WEB_UNIT_BUSY);
  loop.Attach(logic);

  ShowPageTexts(page, texts, language);
  if (start.number == 0) {
    // Nothing here can reach a unit: say so, and name the programs that can.
    view.EnableUpdate(false);
    logic.panel.Refresh();
    view.SetHint(texts.Text(IDS_WEB_NO_WEBHID));
    page.Ready();
    return 0;
  }

  // The same units the other front ends accept; IsProgrammingUnit judges each device again.
  page.DeviceFilter(MAKER_VENDOR_ID, PRODUCT_ID_TORVEX, PRODUCT_ID_MAVIRA);
  // The start-up scan finds a unit this origin was granted before, if one is plugged in.
  logic.connection.ShowStartupState(link.Open());
  page.Ready();
  loop.Run();
  return 0;
}
