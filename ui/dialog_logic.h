#pragma once

#include <cstdint>
#include <span>

#include "protocol/os_services.h"
#include "protocol/unit_link.h"
#include "ui/connection_view.h"
#include "ui/dialog_view.h"
#include "ui/error_reporter.h"
#include "ui/message_catalogue.h"
#include "ui/update_runner.h"
#include "ui/version_panel.h"
#include "update/image_integrity.h"
#include "update/progress_window.h"
#include "update/update_procedure.h"

// The dialog's logic wired together once, over the seams a front end provides: the Windows entry
// point builds one, a host test builds one over fakes the same way.
class DialogLogic {
 public:
  struct Seams {
    DialogView& view;
    UnitLink& link;
    const Catalogue& texts;
    ProgressWindow& progress;
    OsServices& os;
  };

  DialogLogic(const Seams& seams, const CarriedFirmware& firmware)
      : panel(seams.view, seams.link),
        reporter(seams.view, seams.link, seams.texts, panel),
        connection(seams.view, seams.link, seams.texts, panel),
        procedure(seams.link, seams.progress, seams.os),
        runner({seams.view, seams.link, seams.texts, panel, reporter, procedure, seams.os},
               firmware) {}
  DialogLogic(const DialogLogic&) = delete;
  DialogLogic& operator=(const DialogLogic&) = delete;

  VersionPanel panel;
  ErrorReporter reporter;
  ConnectionView connection;
  UpdateProcedure procedure;
  UpdateRunner runner;
};
