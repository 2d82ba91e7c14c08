#pragma once

#include "dialog/connection_view.h"
#include "dialog/dialog_view.h"
#include "dialog/error_reporter.h"
#include "dialog/update_runner.h"
#include "dialog/version_panel.h"
#include "protocol/unit_link.h"
#include "protocol/waiter.h"
#include "texts/message_catalogue.h"
#include "update/image_integrity.h"
#include "update/progress_window.h"

// The dialog's logic wired together once, over the seams a front end provides: the Windows entry
// point builds one, the page's worker builds one, a host test builds one over fakes the same way.
class DialogLogic {
 public:
  struct Seams {
    DialogView& view;
    UnitLink& link;
    const Catalogue& texts;
    ProgressWindow& progress;
    Waiter& waiter;
    // Hears of every update that passes the questions, to keep its record; none in tests that
    // do not look.
    SessionObserver* record = nullptr;
  };

  // `busyText`: how a unit held by someone else is shown (see ConnectionView).
  DialogLogic(const Seams& seams, const CarriedFirmware& firmware,
              MessageId busyText = IDS_UNIT_BUSY)
      : panel(seams.view, seams.link),
        reporter(seams.view, seams.link, seams.texts, panel),
        connection(seams.view, seams.link, seams.texts, panel, busyText),
        runner({seams.view, seams.link, seams.texts, panel, reporter, seams.progress, seams.waiter,
                seams.record},
               firmware) {}
  DialogLogic(const DialogLogic&) = delete;
  DialogLogic& operator=(const DialogLogic&) = delete;

  VersionPanel panel;
  ErrorReporter reporter;
  ConnectionView connection;
  UpdateRunner runner;
};
