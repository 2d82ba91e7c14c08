#pragma once

#include "dialog/dialog_view.h"
#include "dialog/error_reporter.h"
#include "dialog/version_panel.h"
#include "protocol/unit_link.h"
#include "protocol/waiter.h"
#include "texts/message_catalogue.h"
#include "update/image_integrity.h"
#include "update/progress_window.h"
#include "update/update_session.h"

// What the Update button does: the update session, asking through the dialog's message boxes,
// and its outcome shown in the dialog.
class UpdateRunner {
 public:
  struct Parts {
    DialogView& view;
    UnitLink& link;
    const Catalogue& texts;
    VersionPanel& panel;
    ErrorReporter& reporter;
    ProgressWindow& progress;
    Waiter& waiter;
    SessionObserver* record = nullptr;  // told of each update past the questions, for its record
  };

  UpdateRunner(const Parts& parts, const CarriedFirmware& firmware)
      : parts_(parts), session_(parts.link, parts.progress, parts.waiter, firmware) {}

  void Run();

 private:
  Parts parts_;
  UpdateSession session_;
};
